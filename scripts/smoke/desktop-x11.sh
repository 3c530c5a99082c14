#!/usr/bin/env bash
# The program's names over AT-SPI and its layout at twice the scale; with "weston",
# then XWayland under headless weston, where Qt < 6.6 runs (natively: no seat, a crash).
# Usage: dbus-run-session -- scripts/smoke/desktop-x11.sh BIN ARTIFACTS FOCUSABLE [weston]
set -euo pipefail
[ -n "${smoke_x:-}" ] || exec env smoke_x=1 xvfb-run -a -s "-screen 0 2560x2048x24" "$0" "$@"
bin="$1"; artifacts="$2"; focusable="$3"
probe="$(dirname "$0")/probe.py"
smoke_name=smoke
# shellcheck source=scripts/smoke/session.sh
. "$(dirname "$0")/session.sh"
size() { xwininfo -id "$smoke_wid" | sed -n 's/^ *\(Width\|Height\): *//p' | paste -sd x; }

/usr/libexec/at-spi-bus-launcher --launch-immediately &
smoke_started+=($!)

smoke_launch env QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 "$bin"
smoke_main_window
timeout 30 "$probe" names "$smoke_pid" "$focusable" || smoke_fail "accessible names"
# Every descriptor comes back after floods, stops and starts.
timeout 120 "$probe" flood "$smoke_pid" 3 ||
    smoke_fail "descriptors not back after floods and both stops"
plain="$(size)"
smoke_end_by_esc

smoke_launch env QT_SCALE_FACTOR=2 "$bin"
smoke_main_window
sleep 0.5
import -window "$smoke_wid" "$artifacts/smoke-scale2.png"
scaled="$(size)"
smoke_end_by_esc
w="${plain%x*}"; h="${plain#*x}"
echo "smoke: window ${plain} at scale 1, ${scaled} at scale 2"
[ "$scaled" = "$((2 * w))x$((2 * h))" ] || smoke_fail "at scale 2 the window is ${scaled}, not twice ${plain}"
echo "smoke: names and scale ok"
[ "${4-}" = weston ] || exit 0

smoke_name="smoke: wayland"
runtime="$(mktemp -d)"
smoke_dirs+=("$runtime")
smoke_on_fail() { [ ! -s "$runtime/weston.log" ] || tail -n 20 "$runtime/weston.log" >&2; }
smoke_weston "$runtime" smoke --xwayland
weston_up() {
    display="$(sed -n 's/.*xserver listening on display \(:[0-9]*\).*/\1/p' "$runtime/weston.log")"
    [ -n "$display" ] && [ -S "$runtime/smoke" ]
}
smoke_until 100 weston_up || smoke_fail "weston did not start"
export XDG_RUNTIME_DIR="$runtime" XDG_SESSION_TYPE=wayland WAYLAND_DISPLAY=smoke DISPLAY="$display"
unset XAUTHORITY
smoke_launch "$bin"
smoke_main_window
smoke_ended && smoke_fail "the program ended"
# From the server log: Tab to the server start, Enter, seven Tabs to the echo box, Space.
xdotool key --delay 60 Tab Return Tab Tab Tab Tab Tab Tab Tab space
timeout 10 "$probe" echo "hello from weston" || smoke_fail "no echo from the server side"
xdotool key Escape
smoke_wait_end Esc
if pgrep -f "^$bin" >/dev/null; then smoke_fail "a process of the program is left"; fi
echo "smoke: wayland ok"
