#!/usr/bin/env python3
"""x-listener.py SERVER MS: prints three free display numbers and serves them until killed:
closing (on 127.0.0.1, accepts and closes at once), stuck (a local socket whose one-deep backlog
is kept full) and slow (a local socket relaying to the X server at SERVER by its abstract socket,
each chunk MS ms late each way; no descriptors pass, so no shared memory)."""
import os
import queue
import socket
import sys
import threading
import time


def free_display(first):
    """The first display number from first on with no local socket or port."""
    for n in range(first, first + 100):
        if not os.path.exists(f"/tmp/.X11-unix/X{n}") and socket.socket().connect_ex(("127.0.0.1", 6000 + n)):
            return n
    sys.exit(f"x-listener: no free display from {first}")


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


def local(n, backlog):
    server = socket.socket(socket.AF_UNIX)
    server.bind(f"/tmp/.X11-unix/X{n}")
    server.listen(backlog)
    return server


def serve_slow(server):
    while True:
        client = server.accept()[0]
        upstream = socket.socket(socket.AF_UNIX)
        upstream.connect("\0" + sys.argv[1])  # a server of another namespace may hold the path
        for a, b in ((client, upstream), (upstream, client)):
            threading.Thread(target=carry, args=(a, b, int(sys.argv[2]) / 1000), daemon=True).start()


closing, stuck, slow = free_display(300), free_display(400), free_display(500)
closer = socket.create_server(("127.0.0.1", 6000 + closing), backlog=8)
held = local(stuck, 0)
filler = socket.socket(socket.AF_UNIX)  # kept: it holds the backlog full
filler.connect(f"/tmp/.X11-unix/X{stuck}")
threading.Thread(target=serve_slow, args=(local(slow, 8),), daemon=True).start()
print(closing, stuck, slow, flush=True)
while True:
    closer.accept()[0].close()
