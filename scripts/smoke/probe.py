#!/usr/bin/python3
"""Looks into one running program (PID) for the smoke sessions.

  probe.py names PID COUNT [TIMEOUT_S]  every one of COUNT focusable controls
        has a name of its own (AT-SPI); prints each one's role and name
  probe.py text PID NAME TIMEOUT_S TEXT...  the control NAME comes to hold
        every TEXT (AT-SPI); prints what it holds
  probe.py flood PID ROUNDS [START]  ROUNDS times: floods both sides and
        stops them by their buttons (AT-SPI); the descriptor count must come
        back to START (default: read now) within 20 s of the last round
  swaymsg -t get_tree | probe.py sway PID  one line per window of PID:
        title, app id, floating or tiled, focused or not, content size
Exits non-zero when the check fails."""
import json
import os
import socket
import sys
import time

command, pid = sys.argv[1], int(sys.argv[2])


def app():
    """The program's accessible application, or None."""
    import pyatspi

    desktop = pyatspi.Registry.getDesktop(0)
    for i in range(desktop.childCount):
        node = desktop.getChildAtIndex(i)
        try:
            if node is not None and node.get_process_id() == pid:
                return node
        except Exception:
            pass
    return None


def nodes(node, depth=0):
    """NODE and everything below it, depth first."""
    if node is None or depth > 40:
        return
    yield node
    for i in range(node.childCount):
        yield from nodes(node.getChildAtIndex(i), depth + 1)


def named(name):
    return next((n for n in nodes(app()) if n.name == name), None)


def names(expected, timeout=15):
    import pyatspi

    deadline = time.monotonic() + timeout
    focusable = []
    while time.monotonic() < deadline:
        root = app()
        if root is not None and root.childCount > 0:
            focusable = [(n.getRoleName(), n.name or "") for n in nodes(root)
                         if n.getState().contains(pyatspi.STATE_FOCUSABLE)]
            if len(focusable) >= expected:
                break
        time.sleep(0.2)
    for role, name in focusable:
        print(f"atspi: {role}: {name!r}")
    all_names = [name for _, name in focusable]
    problems = []
    if len(focusable) != expected:
        problems.append(f"{len(focusable)} focusable controls found, {expected} expected")
    problems += [f"a {role} has no name" for role, name in focusable if not name.strip()]
    problems += [f"name {n!r} is used {all_names.count(n)} times"
                 for n in sorted(set(all_names)) if n and all_names.count(n) > 1]
    for p in problems:
        print(f"atspi: {p}", file=sys.stderr)
    return not problems


def text(name, timeout, wanted):
    deadline = time.monotonic() + timeout
    held = None
    while time.monotonic() < deadline:
        node = named(name)
        if node is not None:
            held = node.queryText().getText(0, -1)
            if all(w in held for w in wanted):
                break
        time.sleep(0.2)
    if held is None:
        print(f"atspi: no control named {name!r}", file=sys.stderr)
        return False
    print(f"atspi: {name}: {held!r}")
    missing = [w for w in wanted if w not in held]
    for w in missing:
        print(f"atspi: {name} does not hold {w!r}", file=sys.stderr)
    return not missing


def enabled(*buttons, timeout=20):
    """The first of BUTTONS (names) to be enabled, and its name."""
    import pyatspi

    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        try:
            for name in buttons:
                button = named(name)
                if button is not None and button.getState().contains(pyatspi.STATE_ENABLED):
                    return button, name
        except Exception:
            pass
        time.sleep(0.2)
    sys.exit(f"atspi: none of {buttons} is enabled")


def press(name):
    enabled(name)[0].queryAction().doAction(0)


def start(side):
    """Starts SIDE unless it runs already."""
    button, name = enabled(f"{side} 开始", f"{side} 结束")
    if name.endswith("开始"):
        button.queryAction().doAction(0)


def send_flood(count=20000):
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


def flood(rounds, at_start):
    def fds():
        return len(os.listdir(f"/proc/{pid}/fd"))

    at_start = fds() if at_start is None else at_start
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
        deadline = time.monotonic() + (20 if r == rounds else 5)
        while fds() > at_start and time.monotonic() < deadline:
            time.sleep(0.2)
        print(f"descriptors: {fds()} after round {r}")
    return fds() <= at_start


def sway(node, floating=False):
    if node.get("pid") == pid:
        rect = node.get("window_rect") or node.get("rect", {})
        print("\t".join([node.get("name") or "", node.get("app_id") or "",
                         "floating" if floating else "tiled",
                         "focused" if node.get("focused") else "unfocused",
                         f"{rect.get('width')}x{rect.get('height')}"]))
    for child in node.get("nodes", []):
        sway(child, floating)
    for child in node.get("floating_nodes", []):
        sway(child, True)
    return True


args = sys.argv[3:]
ok = {
    "names": lambda: names(int(args[0]), float(args[1]) if len(args) > 1 else 15),
    "text": lambda: text(args[0], float(args[1]), args[2:]),
    "flood": lambda: flood(int(args[0]), int(args[1]) if len(args) > 1 else None),
    "sway": lambda: sway(json.load(sys.stdin)),
}[command]()
sys.exit(0 if ok else 1)
