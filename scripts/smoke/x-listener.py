#!/usr/bin/env python3
"""Stands in for an X server that does not answer, until killed.

  x-listener.py closing PORT   accepts on 127.0.0.1:PORT and closes at once
  x-listener.py stuck PATH     a local socket whose one-deep backlog is kept full
"""
import socket
import sys
import time

kind, where = sys.argv[1], sys.argv[2]
if kind == "closing":
    server = socket.socket()
    server.bind(("127.0.0.1", int(where)))
    server.listen(8)
    while True:
        server.accept()[0].close()
else:
    server = socket.socket(socket.AF_UNIX)
    server.bind(where)
    server.listen(0)
    filler = socket.socket(socket.AF_UNIX)
    filler.connect(where)
    time.sleep(120)
