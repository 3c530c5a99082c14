#!/usr/bin/env bash
# On a private X server, inside a D-Bus session: the installed program's
# controls' names over the AT-SPI accessibility bus, then its layout at
# twice the scale. The scale-2 screenshot goes to ARTIFACTS.
# Usage: dbus-run-session -- scripts/smoke/desktop-x11.sh BIN ARTIFACTS FOCUSABLE
set -euo pipefail
bin="$1"; artifacts="$2"; focusable="$3"
probe="$(dirname "$0")/probe.py"
smoke_name=smoke
# shellcheck source=scripts/smoke/session.sh
. "$(dirname "$0")/session.sh"
size() { xwininfo -id "$smoke_wid" | sed -n 's/^ *\(Width\|Height\): *//p' | paste -sd x; }
start() {
    local smoke_name="smoke: $*"
    smoke_launch "$@" "$bin"
    smoke_main_window
}

smoke_x_server 2560x2048x24
/usr/libexec/at-spi-bus-launcher --launch-immediately &
smoke_started+=($!)

start env QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1
timeout 30 "$probe" names "$smoke_pid" "$focusable" 20 || smoke_fail "accessible names"
# Floods with a stop and start between, then both stops: every descriptor
# comes back.
timeout 120 "$probe" flood "$smoke_pid" 3 ||
    smoke_fail "descriptors not back after floods and both stops"
plain="$(size)"
smoke_end_by_esc

start env QT_SCALE_FACTOR=2
sleep 0.5
import -window "$smoke_wid" "$artifacts/smoke-scale2.png"
scaled="$(size)"
smoke_end_by_esc
w="${plain%x*}"; h="${plain#*x}"
echo "smoke: window ${plain} at scale 1, ${scaled} at scale 2"
[ "$scaled" = "$((2 * w))x$((2 * h))" ] || smoke_fail "at scale 2 the window is ${scaled}, not twice ${plain}"
echo "smoke: names and scale ok"
