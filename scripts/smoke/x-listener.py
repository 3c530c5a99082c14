#!/usr/bin/env python3
"""Stands in for an X server that does not answer, or answers slowly, until killed.

  x-listener.py closing PORT          accepts on 127.0.0.1:PORT and closes at once
  x-listener.py stuck PATH            a local socket whose one-deep backlog is kept full
  x-listener.py slow PATH SERVER MS   a local socket forwarding to the local socket
                                      SERVER, each chunk held back MS ms each way
"""
import queue
import socket
import sys
import threading
import time

kind, where = sys.argv[1], sys.argv[2]


def carry(source, sink, delay):
    """Forwards what source sends to sink, each chunk delay seconds late."""
    held = queue.Queue()

    def send():
        data = b"-"
        while data:
            due, data = held.get()
            time.sleep(max(0.0, due - time.monotonic()))
            try:
                sink.sendall(data)
                if not data:
                    sink.shutdown(socket.SHUT_WR)
            except OSError:  # the other end has gone
                return

    threading.Thread(target=send, daemon=True).start()
    data = b"-"
    while data:
        try:
            data = source.recv(65536)
        except OSError:
            data = b""
        held.put((time.monotonic() + delay, data))


if kind == "closing":
    server = socket.create_server(("127.0.0.1", int(where)), backlog=8)
else:
    server = socket.socket(socket.AF_UNIX)
    server.bind(where)
    server.listen(0 if kind == "stuck" else 8)
if kind == "stuck":
    filler = socket.socket(socket.AF_UNIX)
    filler.connect(where)
    time.sleep(120)
while kind != "stuck":
    client = server.accept()[0]
    if kind == "closing":
        client.close()
        continue
    upstream = socket.socket(socket.AF_UNIX)
    upstream.connect(sys.argv[3])
    for a, b in ((client, upstream), (upstream, client)):
        threading.Thread(target=carry, args=(a, b, int(sys.argv[4]) / 1000), daemon=True).start()
