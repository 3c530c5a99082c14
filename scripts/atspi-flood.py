#!/usr/bin/python3
"""Floods both sides of one running program and stops them, ROUNDS times,
pressing its start and stop buttons over the AT-SPI bus; prints the
program's descriptor count before the first start and after each round's
stops. Usage: atspi-flood.py PID ROUNDS [START]: START is the count
before the first start (default: read now). Exits non-zero when, after the
last round, the count stays above START for 20 s or a button cannot be
pressed."""
import os
import socket
import sys
import time

import pyatspi

pid = int(sys.argv[1])
rounds = int(sys.argv[2])


def fds():
    return len(os.listdir(f"/proc/{pid}/fd"))


def find(node, name, depth=0):
    if node is None or depth > 40:
        return None
    if node.name == name:
        return node
    for i in range(node.childCount):
        found = find(node.getChildAtIndex(i), name, depth + 1)
        if found is not None:
            return found
    return None


def enabled(*names, timeout=20):
    """The first of the buttons NAMES to be enabled, and its name."""
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        desktop = pyatspi.Registry.getDesktop(0)
        for i in range(desktop.childCount):
            app = desktop.getChildAtIndex(i)
            try:
                if app is None or app.get_process_id() != pid:
                    continue
                for name in names:
                    button = find(app, name)
                    if button is not None and button.getState().contains(pyatspi.STATE_ENABLED):
                        return button, name
            except Exception:
                pass
        time.sleep(0.2)
    sys.exit(f"atspi: none of {names} is enabled")


def press(name):
    enabled(name)[0].queryAction().doAction(0)


def start(side):
    """Starts SIDE unless it runs already."""
    button, name = enabled(f"{side} 开始", f"{side} 结束")
    if name.endswith("开始"):
        button.queryAction().doAction(0)


def flood(count=20000):
    """COUNT datagrams of up to 1400 bytes to each side from eight loopback
    senders (127.0.0.7 and up), for at most 10 s."""
    senders = [socket.socket(socket.AF_INET, socket.SOCK_DGRAM) for _ in range(8)]
    for k, s in enumerate(senders):
        s.bind((f"127.0.0.{7 + k}", 0))
        s.setblocking(False)
    deadline = time.monotonic() + 10
    for n in range(count):
        if time.monotonic() > deadline:
            break
        payload = b"flood %d " % n + b"x" * (n * 37 % 1400)
        for port in (3456, 50001):
            try:
                senders[n % 8].sendto(payload, ("127.0.0.1", port))
            except OSError:  # a full send buffer, say
                pass
        if n % 20 == 0:
            time.sleep(0.001)
    for s in senders:
        s.close()


at_start = int(sys.argv[3]) if len(sys.argv) > 3 else fds()
print(f"descriptors: {at_start} before the first start")
for r in range(1, rounds + 1):
    start("服务器")
    start("客户端")
    flood()
    press("服务器 结束")  # enabled once the server side runs
    press("服务器 开始")
    flood()
    press("服务器 结束")
    press("客户端 结束")
    # Each start button is enabled again once its side has stopped.
    enabled("服务器 开始")
    enabled("客户端 开始")
    deadline = time.monotonic() + (20 if r == rounds else 5)
    while fds() > at_start and time.monotonic() < deadline:
        time.sleep(0.2)
    print(f"descriptors: {fds()} after round {r}")
sys.exit(1 if fds() > at_start else 0)
