#!/usr/bin/env bash
# Runs the built program where resources run out, on a private X server:
# too few descriptors at start-up and for a Start (a limit set at start and
# one lowered on the running program), no memory for a Start's thread, and
# no display at all. Every error box must be drawn and answer its key, and
# the window must work afterwards. Screenshots go to artifacts/.
# Usage: scripts/smoke-limits.sh [BUILD_DIR]
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$root/build}"
bin="$build/app/quorlin"
artifacts="$root/artifacts"
mkdir -p "$artifacts"
fail() { echo "smoke-limits: $*" >&2; exit 1; }

# Without a display: one line, status 1, no abort (an abort is status 134).
for display in "" ":251"; do
    set +e
    out="$(env -u QT_QPA_PLATFORM -u WAYLAND_DISPLAY DISPLAY="$display" "$bin" 2>&1)"
    status=$?
    set -e
    [ "$status" -eq 1 ] || fail "DISPLAY='$display': status $status ($out)"
    [ "$(wc -l <<<"$out")" -eq 1 ] || fail "DISPLAY='$display': more than one line: $out"
done
# A platform the user names is left alone: offscreen runs without a display.
set +e
env -u DISPLAY -u WAYLAND_DISPLAY QT_QPA_PLATFORM=offscreen timeout 2 "$bin"
status=$?
set -e
[ "$status" -eq 124 ] || fail "offscreen without a display ended with status $status"

# Runs inside the X session. Descriptors the caller left open are closed so
# that the limits below count from the three standard ones.
session='
set -euo pipefail
bin="$1"; artifacts="$2"
for fd in $(ls /proc/$$/fd); do [ "$fd" -gt 2 ] && eval "exec $fd>&-" 2>/dev/null || true; done
fail() { echo "smoke-limits: $*" >&2; [ -n "${pid:-}" ] && kill -9 "$pid" 2>/dev/null; exit 1; }
windows() { xdotool search --onlyvisible --pid "$pid" 2>/dev/null | wc -l; }
windows_become() {
    for _ in $(seq 50); do [ "$(windows)" -eq "$1" ] && return 0; sleep 0.1; done
    return 1
}
# Buttons by their dialog-unit centres at base units 7 x 14.
server_start() { xdotool mousemove --window "$wid" 420 21 click 1; }
client_start() { xdotool mousemove --window "$wid" 420 283 click 1; }
launch() {
    ( ulimit -S -n "$1"; exec "$bin" ) & pid=$!
    wid="$(timeout 15 xdotool search --sync --onlyvisible --pid "$pid" --name "^Quorlin\$" | head -n1)" || true
    [ -n "$wid" ] || fail "limit $1: the window did not appear"
    xdotool windowfocus --sync "$wid"
}
# After a Start: either it started (one window) or its error box is up, drawn
# (more than a couple of colours in it) and closed by the given key.
answer_box() {
    sleep 0.7
    [ "$(windows)" -eq 1 ] && return 0
    box="$(xdotool search --onlyvisible --pid "$pid" | grep -vx "$wid" | head -n1)"
    [ -n "$box" ] || fail "$1: no error box"
    sleep 0.3
    import -window "$box" "$artifacts/smoke-limits-$1.png"
    colours="$(identify -format %k "$artifacts/smoke-limits-$1.png")"
    [ "$colours" -gt 4 ] || fail "$1: the error box was never drawn ($colours colours)"
    xdotool windowfocus --sync "$box"
    xdotool key "$2"
    windows_become 1 || fail "$1: $2 did not close the error box"
    boxes=$((boxes + 1))
}
finish() {
    xdotool windowfocus --sync "$wid"
    xdotool key Escape
    for _ in $(seq 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
    kill -0 "$pid" 2>/dev/null && fail "$1: still running 5 s after Esc"
    wait "$pid" || fail "$1: exited with status $?"
    pid=
}

# Too few for start-up: one line and status 1.
set +e
out="$( (ulimit -S -n 8; exec "$bin") 2>&1)"; status=$?
set -e
[ "$status" -eq 1 ] || fail "limit 8: status $status ($out)"
grep -q "too few file descriptors" <<<"$out" || fail "limit 8: $out"

# A limit set at start: whichever Start runs out shows its box.
boxes=0
launch 11
server_start; answer_box limit-server Return
client_start; answer_box limit-client space
server_start; answer_box limit-again Escape
[ "$boxes" -ge 1 ] || fail "limit 11: no Start failed, so nothing was checked"
finish "limit 11"
echo "smoke-limits: limit 11 at start: $boxes error boxes drawn and answered"

# A limit lowered on the running program, just above the highest
# descriptor it holds: the next Start has none left but the reserve.
boxes=0
launch 1024
highest="$(ls /proc/$pid/fd | sort -n | tail -n1)"
prlimit --pid "$pid" --nofile=$((highest + 1)):
server_start; answer_box lowered-server Return
client_start; answer_box lowered-client Return
[ "$boxes" -ge 1 ] || fail "lowered limit: no Start failed"
prlimit --pid "$pid" --nofile=1024:
client_start; sleep 0.5
[ "$(windows)" -eq 1 ] || fail "lowered limit: the window did not work once the limit was raised again"
finish "lowered limit"
echo "smoke-limits: limit lowered while running: $boxes error boxes drawn and answered"

# No memory for a thread: the address space held to what the program
# already maps. The Start fails with its box, or is abandoned; no abort.
boxes=0
launch 1024
size="$(awk "/^VmSize/ {print \$2 * 1024}" /proc/$pid/status)"
prlimit --pid "$pid" --as="$size:"
server_start
kill -0 "$pid" 2>/dev/null || fail "out of memory: the program ended at Start"
answer_box out-of-memory Return
kill -0 "$pid" 2>/dev/null || fail "out of memory: the program ended after its box"
prlimit --pid "$pid" --as=unlimited:
kill -0 "$pid" 2>/dev/null || fail "out of memory: the program ended"
finish "out of memory"
echo "smoke-limits: out of memory at Start: $boxes error box drawn and answered, no abort"
echo "smoke-limits: ok"
'
# On the X server, whatever platform the caller's environment names.
env -u QT_QPA_PLATFORM -u WAYLAND_DISPLAY \
    xvfb-run -a -s "-screen 0 1280x1024x24" bash -c "$session" _ "$bin" "$artifacts"
