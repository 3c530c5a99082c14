#!/usr/bin/env bash
# A Wayland session for a Qt older than 6.6: headless weston with XWayland,
# as a desktop has. Qt 6.4 would crash natively here (no input seat), so the
# program runs through XWayland (app/PlatformChoice) and is driven with
# xdotool there: it must show its window, echo a datagram from a loopback
# sender (SCRIPTS/udp-echo.py) and end by Esc.
# Usage: scripts/smoke/wayland-weston.sh BIN SCRIPTS
set -euo pipefail
bin="$1"; scripts="$2"
smoke_name="smoke: wayland"
# shellcheck source=scripts/smoke/session.sh
. "$(dirname "$0")/session.sh"

runtime="$(mktemp -d)"
smoke_dirs+=("$runtime")
weston_log="$runtime/weston.log"
smoke_on_fail() { [ ! -s "$weston_log" ] || tail -n 20 "$weston_log" >&2; }
socket="quorlin-smoke-$$"
XDG_RUNTIME_DIR="$runtime" weston --backend=headless-backend.so --socket="$socket" --xwayland \
    --idle-time=0 >"$weston_log" 2>&1 &
smoke_started+=($!)
weston=$!
# XWayland and the Wayland socket are there, or weston has ended.
weston_up() {
    display="$(sed -n 's/.*xserver listening on display \(:[0-9]*\).*/\1/p' "$weston_log")"
    { [ -n "$display" ] && [ -S "$runtime/$socket" ]; } || ! kill -0 "$weston" 2>/dev/null
}
smoke_until 100 weston_up || true
[ -n "$display" ] || smoke_fail "weston did not start"
export XDG_RUNTIME_DIR="$runtime" XDG_SESSION_TYPE=wayland WAYLAND_DISPLAY="$socket" DISPLAY="$display"
unset XAUTHORITY

smoke_launch "$bin"
smoke_main_window
kill -0 "$smoke_pid" 2>/dev/null || smoke_fail "the program ended"
# From the server log: Tab to the server start, Enter (the focus moves on to
# the stop button), seven Tabs to the echo box, Space.
xdotool key --delay 60 Tab Return Tab Tab Tab Tab Tab Tab Tab space
timeout 10 /usr/bin/python3 "$scripts/udp-echo.py" "hello from weston" || smoke_fail "no echo from the server side"
xdotool key Escape
smoke_wait_end Esc
if pgrep -f "^$bin" >/dev/null; then smoke_fail "a process of the program is left"; fi
echo "smoke: wayland ok"
