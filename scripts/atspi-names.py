#!/usr/bin/python3
"""Walks the accessibility tree of one running program over the AT-SPI bus
and checks that every focusable control has a non-empty name of its own.
Usage: atspi-names.py PID COUNT [TIMEOUT_S]: COUNT is how many focusable
controls the window has. Prints each one's role and name; exits non-zero
when one is missing, unnamed or named like another."""
import sys
import time

import pyatspi

pid = int(sys.argv[1])
expected = int(sys.argv[2])
deadline = time.monotonic() + float(sys.argv[3] if len(sys.argv) > 3 else 15)


def find_app():
    desktop = pyatspi.Registry.getDesktop(0)
    for i in range(desktop.childCount):
        app = desktop.getChildAtIndex(i)
        try:
            if app is not None and app.get_process_id() == pid:
                return app
        except Exception:
            pass
    return None


def walk(node, depth, out):
    if node is None or depth > 40:
        return
    if node.getState().contains(pyatspi.STATE_FOCUSABLE):
        out.append((node.getRoleName(), node.name or ""))
    for i in range(node.childCount):
        walk(node.getChildAtIndex(i), depth + 1, out)


focusable = []
while time.monotonic() < deadline:
    app = find_app()
    if app is not None and app.childCount > 0:
        focusable = []
        walk(app, 0, focusable)
        if len(focusable) >= expected:
            break
    time.sleep(0.2)

for role, name in focusable:
    print(f"atspi: {role}: {name!r}")
names = [name for _, name in focusable]
problems = []
if len(focusable) != expected:
    problems.append(f"{len(focusable)} focusable controls found, {expected} expected")
problems += [f"a {role} has no name" for role, name in focusable if not name.strip()]
problems += [f"name {n!r} is used {names.count(n)} times" for n in sorted(set(names)) if n and names.count(n) > 1]
for p in problems:
    print(f"atspi: {p}", file=sys.stderr)
sys.exit(1 if problems else 0)
