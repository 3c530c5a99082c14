#!/usr/bin/env bash
# Native Wayland for Qt >= 6.6 under headless sway, which has an input seat:
# wtype types, swaymsg matches windows by sway's criteria and closes them.
# Reads only BIN and the files beside it (it may run as a user of its own).
# Usage: dbus-run-session -- wayland-sway.sh BIN QT_VERSION (XDG_RUNTIME_DIR set, 0700)
set -euo pipefail
bin="$1"; qt_version="$2"; runtime="$XDG_RUNTIME_DIR"
probe="$(dirname "$0")/probe.py"
smoke_name="smoke: wayland"
# shellcheck source=scripts/smoke/session.sh
. "$(dirname "$0")/session.sh"

# wlroots keeps keymaps and buffers in /dev/shm. No XWayland (no DISPLAY
# to fall back on), no helpers of its own.
[ -w /dev/shm ] || smoke_fail "/dev/shm is not writable"
printf 'xwayland disable\nswaybg_command -\nswaynag_command -\n' >"$runtime/sway.conf"
WLR_BACKENDS=headless WLR_LIBINPUT_NO_DEVICES=1 WLR_RENDERER=pixman \
    sway -c "$runtime/sway.conf" >"$runtime/sway.log" 2>&1 &
sway=$!
smoke_started+=("$sway")
smoke_on_fail() { kill -0 "$sway" 2>/dev/null || tail -n 20 "$runtime/sway.log" >&2; }
SWAYSOCK="$runtime/sway-ipc.$(id -u).$sway.sock"
sway_up() {
    socket="$(find "$runtime" -maxdepth 1 -type s -name 'wayland-*' -printf '%f\n' | head -n1)"
    [ -n "$socket" ] && [ -S "$SWAYSOCK" ]
}
smoke_until 100 sway_up || smoke_fail "sway did not start"
export SWAYSOCK WAYLAND_DISPLAY="$socket"

/usr/libexec/at-spi-bus-launcher --launch-immediately &
smoke_started+=($!)
smoke_launch env QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 "$bin"
# CRITERIA: a window of the program matches them.
has() { smoke_ended && smoke_fail "the program ended"; swaymsg "[pid=$smoke_pid $1] nop" >/dev/null 2>&1; }
smoke_until 150 has 'title="^Quorlin$"' || smoke_fail "no window titled Quorlin appeared"
# sway floats a window whose minimum and maximum sizes are equal.
has 'title="^Quorlin$" app_id="^org\.quorlin\.quorlin$" floating con_id=__focused__' ||
    smoke_fail "the window is not of app id org.quorlin.quorlin, floating (fixed size) and focused"
fds_at_start="$(find "/proc/$smoke_pid/fd" -mindepth 1 -maxdepth 1 | wc -l)"

# Into the server log, where the focus starts; Tab to the server start,
# Enter (the focus moves to stop), seven Tabs to the echo box, Space. One
# wtype: each brings a keymap, and a key sent before it is taken in is lost.
wtype -s 300 -d 40 "typed on wayland" -k Tab -k Return -k Tab -k Tab -k Tab -k Tab -k Tab -k Tab -k Tab -k space
timeout 10 "$probe" echo "hello from sway" || smoke_fail "no echo from the server side"
timeout 20 "$probe" text "$smoke_pid" "服务器 日志" "typed on wayland" "hello from sway" ||
    smoke_fail "the server log does not show the typed text and the datagram"
# Every descriptor comes back, Qt's Wayland buffers included.
timeout 120 "$probe" flood "$smoke_pid" 3 "$fds_at_start" ||
    smoke_fail "descriptors not back after floods and both stops"

# F1 opens the About box, Esc closes it alone. F1 is sent again if lost to
# a new keymap (the box is modal, so a second one is harmless).
f1() { wtype -s 300 -k F1; smoke_until 100 has 'title="^关于 Quorlin$" con_id=__focused__'; }
f1 || f1 || f1 || smoke_fail "F1 did not open the About box"
wtype -s 300 -k Escape
about_gone() { ! has 'title="^关于 Quorlin$"'; }
smoke_until 100 about_gone || smoke_fail "Esc did not close the About box"
has 'title="^Quorlin$"' || smoke_fail "Esc in the About box closed the window"
if command -v grim >/dev/null; then grim "$runtime/smoke-wayland.png" || echo "smoke: wayland: no screenshot" >&2; fi

# A close request, as the compositor's close button sends.
swaymsg "[pid=$smoke_pid] kill" >/dev/null
smoke_wait_end "the close request"

# The limit lowered to the first descriptor the program does not hold: a
# Start has only the reserve, and its error box opens and closes on Enter.
# One wtype, its keymap taken in before the limit falls (a later keymap
# would be a descriptor too many: docs/startup-and-limits.md).
# N: the program shows N windows titled Quorlin (its error box is one).
quorlins() { [ "$(swaymsg -t get_tree | grep -c '"name": "Quorlin"')" -eq "$1" ]; }
smoke_launch env QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 "$bin"
smoke_until 150 quorlins 1 || smoke_fail "lowered limit: no window"
wtype -s 4000 -k Tab -k Return -s 5000 -k Return &
typist=$!
smoke_started+=("$typist")
sleep 2
lowest=0
while [ "$lowest" -lt 1024 ] && [ -e "/proc/$smoke_pid/fd/$lowest" ]; do lowest=$((lowest + 1)); done
prlimit --pid "$smoke_pid" --nofile="$lowest":
smoke_until 50 quorlins 2 || smoke_fail "lowered limit $lowest: the Start's error box did not open"
wait "$typist" || smoke_fail "lowered limit: wtype failed"
smoke_until 50 quorlins 1 || smoke_fail "lowered limit $lowest: Enter did not close the error box"
prlimit --pid "$smoke_pid" --nofile=1024:
swaymsg "[pid=$smoke_pid] kill" >/dev/null
smoke_wait_end "the close request, after the error box at limit $lowest"
echo "smoke: wayland: limit lowered to $lowest while running: the error box opened and closed on Enter"
if pgrep -f "^$bin" >/dev/null; then smoke_fail "a process of the program is left"; fi
echo "smoke: wayland ok (native, Qt $qt_version)"
