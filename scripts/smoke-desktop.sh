#!/usr/bin/env bash
# The installed program on the desktops it meets: its controls' names over
# the AT-SPI accessibility bus, its layout at twice the scale (both on a
# private X server), and a Wayland session where it shows its window and
# echoes a datagram from a loopback sender. With Qt >= 6.6 that session is
# native (headless sway: the title from the compositor, typed keys, the
# compositor's close request); below, headless weston with XWayland, ended
# by Esc. Screenshots go to artifacts/. Binds UDP port 3456: run it under
# the same lock as the other tests that do.
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

# --- A Wayland session. The program picks its platform by the Qt it runs
# against (app/PlatformChoice), so the stage does too.
qt_core="$(ldd "$bin" | sed -n 's/^[[:space:]]*libQt6Core\.so\.6 => \([^ ]*\) .*/\1/p')"
qt_version="$(readlink -f "$qt_core" | sed -n 's/.*libQt6Core\.so\.\([0-9]*\.[0-9]*\)\..*/\1/p')"
[ -n "$qt_version" ] || { echo "smoke: cannot tell which Qt the program runs against" >&2; exit 1; }
qt_major="${qt_version%%.*}"
qt_minor="${qt_version#*.}"
if [ "$qt_major" -gt 6 ] || { [ "$qt_major" -eq 6 ] && [ "$qt_minor" -ge 6 ]; }; then
# Qt >= 6.6 runs natively (no DISPLAY) under headless sway, which has an
# input seat: wtype types through its virtual keyboard, swaymsg reads the
# window's title and sends the close request. sway refuses to run as root,
# so as root the session runs as a user made for this stage alone.
for tool in sway swaymsg wtype; do
    command -v "$tool" >/dev/null || { echo "smoke: wayland: $tool is not installed (Qt $qt_version runs natively)" >&2; exit 1; }
done
user=""
stage_pids() { [ -n "$user" ] && pgrep -u "$user" || true; }
stop_stage() {
    [ -n "$user" ] || return 0
    local left
    left="$(stage_pids)"
    # shellcheck disable=SC2086
    [ -z "$left" ] || kill $left 2>/dev/null || true
    for _ in $(seq 30); do [ -z "$(stage_pids)" ] && break; sleep 0.1; done
    left="$(stage_pids)"
    # shellcheck disable=SC2086
    [ -z "$left" ] || kill -KILL $left 2>/dev/null || true
    for _ in $(seq 30); do [ -z "$(stage_pids)" ] && break; sleep 0.1; done
    userdel "$user" 2>/dev/null || true
    user=""
}
trap 'stop_stage; rm -rf "$work"' EXIT
home="$work/home"
runtime="$work/runtime"
mkdir -p "$home"
mkdir -m 700 "$runtime"
as_user=()
if [ "$(id -u)" -eq 0 ]; then
    user="quorlin-smoke-$$"
    useradd --system --user-group --no-create-home --home-dir "$home" --shell /usr/sbin/nologin "$user"
    chown "$user:" "$home" "$runtime"
    chmod o+x "$work"
    as_user=(setpriv --reuid="$(id -u "$user")" --regid="$(id -g "$user")" --clear-groups)
fi

native_session='
set -euo pipefail
bin="$1"; scripts="$2"; qt_version="$3"; runtime="$XDG_RUNTIME_DIR"
pid=""; sway=""; bus=""
fail() {
    echo "smoke: wayland: $*" >&2
    if [ -n "$sway" ] && ! kill -0 "$sway" 2>/dev/null; then tail -n 20 "$runtime/sway.log" >&2; fi
    exit 1
}
cleanup() {
    for p in $pid $bus $sway; do kill "$p" 2>/dev/null || true; done
    for p in $pid $bus $sway; do wait "$p" 2>/dev/null || true; done
}
trap cleanup EXIT
tree() { swaymsg -t get_tree | /usr/bin/python3 "$scripts/sway-window.py" "$pid"; }

# wlroots keeps keymaps and output buffers in POSIX shared memory (a chroot
# needs /dev/shm mounted).
[ -w /dev/shm ] || fail "/dev/shm is not writable"
# No XWayland (no DISPLAY to fall back on), no helpers of its own.
printf "xwayland disable\nswaybg_command -\nswaynag_command -\n" >"$runtime/sway.conf"
WLR_BACKENDS=headless WLR_LIBINPUT_NO_DEVICES=1 WLR_RENDERER=pixman \
    sway -c "$runtime/sway.conf" >"$runtime/sway.log" 2>&1 & sway=$!
socket=""; SWAYSOCK=""
for _ in $(seq 100); do
    socket="$(cd "$runtime" && ls -1 | grep -x "wayland-[0-9]*" | head -n1)" || true
    SWAYSOCK="$(ls -1 "$runtime"/sway-ipc.*.sock 2>/dev/null | head -n1)" || true
    [ -n "$socket" ] && [ -S "$runtime/$socket" ] && [ -S "$SWAYSOCK" ] && break
    kill -0 "$sway" 2>/dev/null || break
    sleep 0.1
done
[ -n "$socket" ] && [ -S "$SWAYSOCK" ] || { cat "$runtime/sway.log" >&2; fail "sway did not start"; }
export SWAYSOCK WAYLAND_DISPLAY="$socket"

/usr/libexec/at-spi-bus-launcher --launch-immediately & bus=$!
QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 "$bin" & pid=$!
window=""
for _ in $(seq 150); do
    window="$(tree | grep "^Quorlin	" | head -n1)" || true
    [ -n "$window" ] && break
    kill -0 "$pid" 2>/dev/null || fail "the program ended"
    sleep 0.1
done
[ -n "$window" ] || fail "no window titled Quorlin appeared"
echo "smoke: wayland: window: $window"
IFS="	" read -r _ app_id placement focus _ <<<"$window"
[ "$app_id" = "org.quorlin.quorlin" ] || fail "app id is $app_id, not the desktop entry name"
# sway floats a window whose minimum and maximum sizes are equal.
[ "$placement" = floating ] || fail "the window is tiled: its size does not reach the compositor as fixed"
[ "$focus" = focused ] || fail "the window does not have the focus"

# Text into the server log, where the focus starts; then Tab to the server
# start, Enter (the focus moves on to the stop button), seven Tabs to the
# echo box, Space. One wtype for all: each one brings a keymap of its own,
# and a key sent before the program has taken the keymap in is lost.
wtype -s 300 -d 40 "typed on wayland" -k Tab -k Return -k Tab -k Tab -k Tab -k Tab -k Tab -k Tab -k Tab -k space
timeout 10 /usr/bin/python3 "$scripts/udp-echo.py" "hello from sway" || fail "no echo from the server side"
timeout 20 /usr/bin/python3 "$scripts/atspi-text.py" "$pid" "服务器 日志" 15 "typed on wayland" "hello from sway" \
    || fail "the server log does not show the typed text and the datagram"
if command -v grim >/dev/null; then grim "$runtime/smoke-wayland.png" || echo "smoke: wayland: no screenshot" >&2; fi

# A close request from the compositor, as its close button or shortcut sends.
swaymsg "[pid=$pid] kill" >/dev/null
for _ in $(seq 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
kill -0 "$pid" 2>/dev/null && fail "still running 5 s after the close request"
status=0; wait "$pid" || status=$?
pid=""
[ "$status" -eq 0 ] || fail "exited with status $status after the close request"
pgrep -f "^$bin" >/dev/null && fail "a process of the program is left"
echo "smoke: wayland ok (native, Qt $qt_version)"
'
env -u QT_QPA_PLATFORM -u QT_SCALE_FACTOR -u DISPLAY -u WAYLAND_DISPLAY -u SWAYSOCK \
    HOME="$home" XDG_RUNTIME_DIR="$runtime" XDG_SESSION_TYPE=wayland \
    timeout -k 5 90 "${as_user[@]}" dbus-run-session -- bash -c "$native_session" smoke "$bin" "$root/scripts" "$qt_version" \
    2> >(grep -v "^dbus-daemon" >&2) || {
    status=$?
    [ "$status" -ne 124 ] || echo "smoke: wayland: the session took more than 90 s" >&2
    exit "$status"
}
[ -f "$runtime/smoke-wayland.png" ] && cp "$runtime/smoke-wayland.png" "$artifacts/"
# Everything the session started (compositor, buses) ends with it.
for _ in $(seq 50); do [ -z "$(stage_pids)" ] && break; sleep 0.1; done
left="$(stage_pids)"
[ -z "$left" ] || { ps -o pid,args -p "$(paste -sd, <<<"$left")" >&2; echo "smoke: wayland: processes left after the session" >&2; exit 1; }
exit 0
fi

# Qt < 6.6: headless weston with XWayland, as a desktop has.
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
bin="$1"; scripts="$2"
pid=""
fail() { echo "smoke: wayland: $*" >&2; [ -n "$pid" ] && kill "$pid" 2>/dev/null; exit 1; }
"$bin" & pid=$!
wid="$(timeout 15 xdotool search --sync --onlyvisible --pid "$pid" --name "^Quorlin\$" | head -n1)" || true
[ -n "$wid" ] || fail "the window did not appear"
kill -0 "$pid" 2>/dev/null || fail "the program ended"
# From the server log: Tab to the server start, Enter (the focus moves on to
# the stop button), seven Tabs to the echo box, Space.
xdotool key --delay 60 Tab Return Tab Tab Tab Tab Tab Tab Tab space
timeout 10 /usr/bin/python3 "$scripts/udp-echo.py" "hello from weston" || fail "no echo from the server side"
xdotool key Escape
for _ in $(seq 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
kill -0 "$pid" 2>/dev/null && fail "still running 5 s after Esc"
wait "$pid" || fail "exited with status $?"
pgrep -f "^$bin" >/dev/null && fail "a process of the program is left"
echo "smoke: wayland ok"
'
env -u QT_QPA_PLATFORM -u QT_SCALE_FACTOR XDG_RUNTIME_DIR="$runtime" XDG_SESSION_TYPE=wayland \
    WAYLAND_DISPLAY="$socket" DISPLAY="$display" timeout 60 bash -c "$wayland_session" smoke "$bin" "$root/scripts"
