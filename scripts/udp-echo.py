#!/usr/bin/python3
"""Sends PAYLOAD from 127.0.0.7 to the program's server side on
127.0.0.1:3456 until the same bytes come back from there, for at most
TIMEOUT_S seconds. Usage: udp-echo.py PAYLOAD [TIMEOUT_S]. Exits non-zero
when nothing was echoed."""
import socket
import sys
import time

payload = sys.argv[1].encode()
server = ("127.0.0.1", 3456)
deadline = time.monotonic() + float(sys.argv[2] if len(sys.argv) > 2 else 8)
s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
s.bind(("127.0.0.7", 0))
s.settimeout(0.2)
while time.monotonic() < deadline:
    s.sendto(payload, server)
    try:
        data, peer = s.recvfrom(2000)
    except socket.timeout:
        continue
    if data == payload and peer == server:
        print("echo: echoed from", peer)
        sys.exit(0)
sys.exit(1)
