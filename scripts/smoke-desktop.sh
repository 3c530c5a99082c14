#!/usr/bin/env bash
# The installed program on the desktops it meets: its controls' names over
# the AT-SPI accessibility bus, its layout at twice the scale (both on a
# private X server), and a Wayland session (headless weston 10 with XWayland),
# where it shows its window, echoes a datagram from a loopback sender and
# ends on Esc. Screenshots go to artifacts/. Binds UDP port 3456: run it
# under the same lock as the other tests that do.
# Usage: scripts/smoke-desktop.sh [BUILD_DIR]
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$root/build}"
artifacts="$root/artifacts"
mkdir -p "$artifacts"

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
prefix="$work/prefix"
cmake --install "$build" --prefix "$prefix" >/dev/null
bin=""
for name in quorlin Quorlin; do
    [ -x "$prefix/bin/$name" ] && bin="$prefix/bin/$name" && break
done
[ -n "$bin" ] || { echo "smoke: no program installed in bin/" >&2; exit 1; }

# Every control but the four labels can take the focus.
focusable=18

# --- On a private X server: accessible names, then the layout at scale 2.
session='
set -euo pipefail
bin="$1"; artifacts="$2"; focusable="$3"; atspi="$4"
pid=""
fail() { echo "smoke: $*" >&2; [ -n "$pid" ] && kill "$pid" 2>/dev/null; exit 1; }
# Starts the program, waits for its window and prints the window id.
start() {
    "$@" "$bin" & pid=$!
    wid="$(timeout 15 xdotool search --sync --onlyvisible --pid "$pid" --name "^Quorlin\$" | head -n1)" || true
    [ -n "$wid" ] || fail "the window did not appear ($*)"
}
# Ends the program by Esc and checks that it is gone with status 0.
end_by_esc() {
    xdotool windowfocus --sync "$wid"
    xdotool key Escape
    for _ in $(seq 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
    kill -0 "$pid" 2>/dev/null && fail "still running 5 s after Esc"
    wait "$pid" || fail "exited with status $?"
    pid=""
}
size() { xwininfo -id "$wid" | sed -n "s/^ *\(Width\|Height\): *//p" | paste -sd x; }

/usr/libexec/at-spi-bus-launcher --launch-immediately & bus=$!
trap "kill $bus 2>/dev/null || true" EXIT
start env QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1
timeout 30 /usr/bin/python3 "$atspi" "$pid" "$focusable" 20 || fail "accessible names"
plain="$(size)"
end_by_esc

start env QT_SCALE_FACTOR=2
sleep 0.5
import -window "$wid" "$artifacts/smoke-scale2.png"
scaled="$(size)"
end_by_esc
w="${plain%x*}"; h="${plain#*x}"
echo "smoke: window ${plain} at scale 1, ${scaled} at scale 2"
[ "$scaled" = "$((2 * w))x$((2 * h))" ] || fail "at scale 2 the window is ${scaled}, not twice ${plain}"
echo "smoke: names and scale ok"
'
env -u QT_QPA_PLATFORM -u QT_SCALE_FACTOR timeout 120 xvfb-run -a -s "-screen 0 2560x2048x24" \
    dbus-run-session -- bash -c "$session" smoke "$bin" "$artifacts" "$focusable" "$root/scripts/atspi-names.py" \
    2> >(grep -v "^dbus-daemon" >&2)

# --- A Wayland session: headless weston 10 with XWayland, as a desktop has.
# Qt 6.4 would crash natively here (no input seat), so the program runs
# through XWayland (app/PlatformChoice) and is driven with xdotool there; a
# Qt that runs it natively needs a Wayland-side driver instead.
runtime="$work/runtime"
mkdir -m 700 "$runtime"
socket="quorlin-smoke-$$"
XDG_RUNTIME_DIR="$runtime" timeout 120 weston --backend=headless-backend.so --socket="$socket" --xwayland \
    --idle-time=0 >"$work/weston.log" 2>&1 &
weston=$!
stop_weston() { kill "$weston" 2>/dev/null || true; wait "$weston" 2>/dev/null || true; }
trap 'stop_weston; rm -rf "$work"' EXIT
display=""
for _ in $(seq 100); do
    display="$(sed -n "s/.*xserver listening on display \(:[0-9]*\).*/\1/p" "$work/weston.log")"
    [ -n "$display" ] && [ -S "$runtime/$socket" ] && break
    sleep 0.1
done
[ -n "$display" ] || { echo "smoke: weston did not start" >&2; cat "$work/weston.log" >&2; exit 1; }

wayland_session='
set -euo pipefail
bin="$1"
pid=""
fail() { echo "smoke: wayland: $*" >&2; [ -n "$pid" ] && kill "$pid" 2>/dev/null; exit 1; }
"$bin" & pid=$!
wid="$(timeout 15 xdotool search --sync --onlyvisible --pid "$pid" --name "^Quorlin\$" | head -n1)" || true
[ -n "$wid" ] || fail "the window did not appear"
kill -0 "$pid" 2>/dev/null || fail "the program ended"
# From the server log: Tab to the server start, Enter (the focus moves on to
# the stop button), seven Tabs to the echo box, Space.
xdotool key --delay 60 Tab Return Tab Tab Tab Tab Tab Tab Tab space
timeout 10 /usr/bin/python3 - <<"PY" || fail "no echo from the server side"
import socket, time
s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
s.bind(("127.0.0.7", 0))
s.settimeout(0.2)
deadline = time.monotonic() + 8
while time.monotonic() < deadline:
    s.sendto(b"hello from weston", ("127.0.0.1", 3456))
    try:
        data, peer = s.recvfrom(2000)
    except socket.timeout:
        continue
    if data == b"hello from weston" and peer == ("127.0.0.1", 3456):
        print("smoke: wayland: echoed from", peer)
        raise SystemExit(0)
raise SystemExit(1)
PY
xdotool key Escape
for _ in $(seq 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
kill -0 "$pid" 2>/dev/null && fail "still running 5 s after Esc"
wait "$pid" || fail "exited with status $?"
pgrep -f "^$bin" >/dev/null && fail "a process of the program is left"
echo "smoke: wayland ok"
'
env -u QT_QPA_PLATFORM -u QT_SCALE_FACTOR XDG_RUNTIME_DIR="$runtime" XDG_SESSION_TYPE=wayland \
    WAYLAND_DISPLAY="$socket" DISPLAY="$display" timeout 60 bash -c "$wayland_session" smoke "$bin"
