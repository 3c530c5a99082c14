#!/usr/bin/python3
"""Checks of the smoke sessions; each exits non-zero when its check fails.
  names PID COUNT: COUNT focusable controls, each with a name of its own (AT-SPI)
  text PID NAME TEXT...: the control NAME comes to hold every TEXT within 15 s
  flood PID ROUNDS [START]: ROUNDS times both sides flooded and stopped by their buttons; the
      descriptor count back to START (default: read now) within 20 s of the last round
  echo PAYLOAD [TIMEOUT_S]: PAYLOAD from 127.0.0.7 to 127.0.0.1:3456 until it comes back (8 s)"""
import contextlib
import os
import socket
import sys
import time

SERVER = ("127.0.0.1", 3456)
command, args = sys.argv[1], sys.argv[2:]
pid = None if command == "echo" else int(args.pop(0))
if command in ("names", "text", "flood"):  # echo runs where AT-SPI may not be
    import pyatspi


def until(get, done=bool, timeout=20):
    """GET() every 0.2 s until DONE(its value), for at most TIMEOUT s; its
    last value, None where it raised (a control or program going away)."""
    deadline = time.monotonic() + timeout
    while True:
        try:
            value = get()
        except Exception:
            value = None
        if (value is not None and done(value)) or time.monotonic() > deadline:
            return value
        time.sleep(0.2)


def named(name):
    app = pyatspi.findDescendant(pyatspi.Registry.getDesktop(0), lambda n: n.get_process_id() == pid,
                                 breadth_first=True)
    return pyatspi.findDescendant(app, lambda n: n.name == name) if name else app


def report(problems):
    print(*(f"atspi: {p}\n" for p in problems), sep="", end="", file=sys.stderr)
    return not problems


def names(expected):
    expected = int(expected)
    found = until(lambda: [(n.getRoleName(), n.name or "") for n in pyatspi.findAllDescendants(
        named(None), lambda n: n.getState().contains(pyatspi.STATE_FOCUSABLE))],
        lambda f: len(f) >= expected) or []
    for role, name in found:
        print(f"atspi: {role}: {name!r}")
    all_names = [name for _, name in found]
    problems = [f"{len(found)} focusable controls found, {expected} expected"] if len(found) != expected else []
    problems += [f"a {role} has no name" for role, name in found if not name.strip()]
    problems += [f"name {n!r} is used {all_names.count(n)} times"
                 for n in sorted(set(all_names)) if n and all_names.count(n) > 1]
    return report(problems)


def text(name, *wanted):
    held = until(lambda: named(name).queryText().getText(0, -1), lambda h: all(w in h for w in wanted), 15)
    if held is None:
        return report([f"no control named {name!r}"])
    print(f"atspi: {name}: {held!r}")
    return report([f"{name} does not hold {w!r}" for w in wanted if w not in held])


def enabled(*buttons):
    """The first of BUTTONS (names) to be enabled, within 20 s."""
    button = until(lambda: next((b for b in map(named, buttons)
                                 if b and b.getState().contains(pyatspi.STATE_ENABLED)), None))
    if button is None:
        sys.exit(f"atspi: none of {buttons} is enabled")
    return button


def press(name):
    enabled(name).queryAction().doAction(0)


def start(side):
    """Starts SIDE unless it runs already."""
    button = enabled(f"{side} 开始", f"{side} 结束")
    if button.name.endswith("开始"):
        button.queryAction().doAction(0)


def sender(k, timeout):
    s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    s.bind((f"127.0.0.{7 + k}", 0))
    s.settimeout(timeout)
    return s


def send_flood(count=20000):
    """COUNT datagrams of up to 1400 bytes to each side from eight loopback
    senders (127.0.0.7 and up), for at most 10 s."""
    senders = [sender(k, 0) for k in range(8)]
    deadline = time.monotonic() + 10
    for n in range(count):
        if time.monotonic() > deadline:
            break
        payload = b"flood %d " % n + b"x" * (n * 37 % 1400)
        for port in (3456, 50001):
            with contextlib.suppress(OSError):  # a full send buffer, say
                senders[n % 8].sendto(payload, ("127.0.0.1", port))
        if n % 20 == 0:
            time.sleep(0.001)


def flood(rounds, at_start=None):
    def fds():
        return len(os.listdir(f"/proc/{pid}/fd"))

    rounds, at_start = int(rounds), fds() if at_start is None else int(at_start)
    print(f"descriptors: {at_start} before the first start")
    for r in range(1, rounds + 1):
        start("服务器")
        start("客户端")
        send_flood()
        press("服务器 结束")  # enabled once the server side runs
        press("服务器 开始")
        send_flood()
        press("服务器 结束")
        press("客户端 结束")
        # Each start button is enabled again once its side has stopped.
        enabled("服务器 开始")
        enabled("客户端 开始")
        until(fds, lambda n: n <= at_start, 20 if r == rounds else 5)
        print(f"descriptors: {fds()} after round {r}")
    return fds() <= at_start


def echo(payload, timeout=8):
    s = sender(0, 0.2)

    def round_trip():
        s.sendto(payload.encode(), SERVER)
        return s.recvfrom(2000) == (payload.encode(), SERVER)

    ok = until(round_trip, timeout=float(timeout))
    print("echo: echoed from" if ok else "echo: nothing came back from", SERVER)
    return ok


sys.exit(0 if {"names": names, "text": text, "flood": flood, "echo": echo}[command](*args) else 1)
