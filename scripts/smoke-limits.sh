#!/usr/bin/env bash
# The built program's start-up (smoke/start-up.sh), then too few descriptors
# and no memory for a Start: each error box drawn and answering its key.
# Usage: scripts/smoke-limits.sh [BUILD_DIR]
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
bin="${1:-$root/build}/app/quorlin"
artifacts="$root/artifacts"
mkdir -p "$artifacts"
[ -n "${smoke_x:-}" ] ||
    exec env -u QT_QPA_PLATFORM -u WAYLAND_DISPLAY smoke_x=1 xvfb-run -a -s "-screen 0 1280x1024x24" "$0" "$@"
# The limits below count from the standard descriptors (bash's own, 255, closes on exec).
for fd in "/proc/$$/fd"/*; do
    fd="${fd##*/}"
    [ "$fd" -le 2 ] || [ "$fd" -eq 255 ] || eval "exec $fd>&-" 2>/dev/null || true
done
"$root/scripts/smoke/start-up.sh" "$bin"
# shellcheck source=scripts/smoke/session.sh
. "$root/scripts/smoke/session.sh"

# Buttons by their dialog-unit centres at base units 7 x 14.
server_start() { xdotool mousemove --window "$smoke_wid" 420 21 click 1; }
client_start() { xdotool mousemove --window "$smoke_wid" 420 283 click 1; }
launch() {
    smoke_name="smoke-limits: $1"
    boxes=0
    smoke_launch smoke_limited -n "$2" "$bin" 2>"$artifacts/smoke-limits-$1.err"
    smoke_main_window
    xdotool windowfocus --sync "$smoke_wid"
}
# BOX KEY: the Start ran (one window), or its error box is drawn and KEY closes it.
answer_box() {
    local box colours
    sleep 0.7
    ! smoke_windows_are 1 || return 0
    box="$(xdotool search --onlyvisible --pid "$smoke_pid" | grep -vx "$smoke_wid" | head -n1)"
    [ -n "$box" ] || smoke_fail "$1: no error box"
    sleep 0.3
    import -window "$box" "$artifacts/smoke-limits-$1.png"
    colours="$(identify -format %k "$artifacts/smoke-limits-$1.png")"
    [ "$colours" -gt 4 ] || smoke_fail "$1: the error box was never drawn ($colours colours)"
    xdotool windowfocus --sync "$box"
    xdotool key "$2"
    smoke_windows_become 1 || smoke_fail "$1: $2 did not close the error box"
    boxes=$((boxes + 1))
}
alive() { kill -0 "$smoke_pid" 2>/dev/null || smoke_fail "the program ended $1"; }
threads() { find "/proc/$smoke_pid/task" -mindepth 1 -maxdepth 1 | wc -l; }

smoke_name=smoke-limits

# One fewer than the program starts with: one line and status 1.
status=0
out="$(smoke_limited -n 19 "$bin" 2>&1)" || status=$?
[[ "$status" == 1 && "$out" == *"too few file descriptors"* ]] || smoke_fail "limit 19: status $status: $out"

# The lowest limit the program starts with: each Start runs or shows its box.
launch at-start 20
server_start; answer_box limit-server Return
client_start; answer_box limit-client space
server_start; answer_box limit-again Escape
smoke_end_by_esc
echo "smoke-limits: limit 20 at start: $boxes error boxes drawn and answered"

# Lowered to just above the highest descriptor held: a Start has only the reserve.
launch lowered 1024
highest="$(find "/proc/$smoke_pid/fd" -mindepth 1 -maxdepth 1 -printf '%f\n' | sort -n | tail -n1)"
prlimit --pid "$smoke_pid" --nofile=$((highest + 1)):
server_start; answer_box lowered-server Return
client_start; answer_box lowered-client Return
[ "$boxes" -ge 1 ] || smoke_fail "no Start failed"
prlimit --pid "$smoke_pid" --nofile=1024:
client_start; sleep 0.5
smoke_windows_are 1 || smoke_fail "the window did not work once the limit was raised again"
smoke_end_by_esc
echo "smoke-limits: limit lowered while running: $boxes error boxes drawn and answered"

# Lowered below the reserve: the Start says why on standard error, as no box
# could be drawn; raised again, the client side starts (a thread appears).
launch below 1024
prlimit --pid "$smoke_pid" --nofile=4:
server_start; sleep 1
smoke_windows_are 1 || smoke_fail "limit 4: a box opened"
grep -q "^quorlin: can not create socket (too few file descriptors" "$artifacts/smoke-limits-below.err" \
    || smoke_fail "limit 4: no line on standard error: $(cat "$artifacts/smoke-limits-below.err")"
prlimit --pid "$smoke_pid" --nofile=1024:
before="$(threads)"
client_start; sleep 0.5
[ "$(threads)" -gt "$before" ] || smoke_fail "limit 4: the window did not answer once the limit was raised"
smoke_end_by_esc
echo "smoke-limits: limit lowered to 4 while running: the reason on standard error, no box, the window answers"

# No address space beyond what is mapped: the Start shows its box or is abandoned, never aborts.
launch out-of-memory 1024
size="$(awk '/^VmSize/ {print $2 * 1024}' "/proc/$smoke_pid/status")"
prlimit --pid "$smoke_pid" --as="$size:"
server_start
alive "at Start"
answer_box out-of-memory Return
alive "after its box"
prlimit --pid "$smoke_pid" --as=unlimited:
alive "once the limit was raised"
smoke_end_by_esc
echo "smoke-limits: out of memory at Start: $boxes error box drawn and answered, no abort"
echo "smoke-limits: ok"
