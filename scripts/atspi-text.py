#!/usr/bin/python3
"""Waits until the control named NAME in one running program holds every
TEXT, read over the AT-SPI bus. Usage: atspi-text.py PID NAME TIMEOUT_S
TEXT...: prints what the control holds; exits non-zero when a TEXT is still
missing at the deadline or no such control exists."""
import sys
import time

import pyatspi

pid = int(sys.argv[1])
name = sys.argv[2]
deadline = time.monotonic() + float(sys.argv[3])
wanted = sys.argv[4:]


def find(node, depth=0):
    if node is None or depth > 40:
        return None
    if node.name == name:
        return node
    for i in range(node.childCount):
        found = find(node.getChildAtIndex(i), depth + 1)
        if found is not None:
            return found
    return None


def control():
    desktop = pyatspi.Registry.getDesktop(0)
    for i in range(desktop.childCount):
        app = desktop.getChildAtIndex(i)
        try:
            if app is not None and app.get_process_id() == pid:
                return find(app)
        except Exception:
            pass
    return None


text = None
while time.monotonic() < deadline:
    node = control()
    if node is not None:
        text = node.queryText().getText(0, -1)
        if all(w in text for w in wanted):
            break
    time.sleep(0.2)

if text is None:
    print(f"atspi: no control named {name!r}", file=sys.stderr)
    sys.exit(1)
print(f"atspi: {name}: {text!r}")
missing = [w for w in wanted if w not in text]
for w in missing:
    print(f"atspi: {name} does not hold {w!r}", file=sys.stderr)
sys.exit(1 if missing else 0)
