#!/usr/bin/env bash
# Runs the built program where resources run out, on a private X server:
# too few descriptors at start-up and for a Start (a limit set at start and
# one lowered on the running program, above and below the reserve), no
# memory for a Start's thread, and the start-up cases: displays that cannot
# be opened, closed standard descriptors, Wayland alone. Every error box must
# be drawn and answer its key, and the window must work afterwards.
# Screenshots go to artifacts/.
# Usage: scripts/smoke-limits.sh [BUILD_DIR]
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$root/build}"
bin="$build/app/quorlin"
artifacts="$root/artifacts"
mkdir -p "$artifacts"
fail() { echo "smoke-limits: $*" >&2; exit 1; }

# Start-up cases, one row each: the display Qt is given and what must come
# of it. "line": one line on standard error and status 1 (an abort would be
# 134, a hang 124); "window": a window that ends on Esc with status 0;
# "runs": still running after 3 s (where no window can be looked for).
start_up_rows="$(cat <<'ROWS'
line     no-display       env -u DISPLAY "$bin"
line     dead-display     env DISPLAY=:251 "$bin"
line     dead-argument    "$bin" -display :251
line     no-such-screen   env DISPLAY="$DISPLAY.5" "$bin"
line     trailing-dot     env DISPLAY="$DISPLAY." "$bin"
line     path-form        env DISPLAY="/tmp/.X11-unix/X${DISPLAY#:}" "$bin"
line     no-cookie        env XAUTHORITY=/dev/null "$bin"
line     accepts-closes   env DISPLAY="127.0.0.1:$closing" "$bin"
line     backlog-full     env DISPLAY=":$stuck" "$bin"
window   closed-standard  bash -c 'exec "$0" <&- >&- 2>&-' "$bin"
runs     offscreen        env -u DISPLAY QT_QPA_PLATFORM=offscreen "$bin"
runs     wayland-only     env -u DISPLAY WAYLAND_DISPLAY="$wayland" XDG_RUNTIME_DIR="$runtime" "$bin"
ROWS
)"
# shellcheck disable=SC2016 # expanded by the session's own shell
start_up_session='
set -euo pipefail
bin="$1"; rows="$2"; runtime="$(mktemp -d)"; listeners=""
trap "kill \$listeners 2>/dev/null || true; rm -rf \"\$runtime\"" EXIT
fail() { echo "smoke-limits: start-up $*" >&2; exit 1; }
# Display numbers nothing listens on: a loopback port that accepts and
# closes at once, and a local socket whose one-deep backlog is kept full.
free_display() {
    for n in $(seq "$1" "$(($1 + 99))"); do
        [ -e "/tmp/.X11-unix/X$n" ] || (exec 3<>"/dev/tcp/127.0.0.1/$((6000 + n))") 2>/dev/null || { echo "$n"; return; }
    done
}
closing="$(free_display 300)"; stuck="$(free_display 400)"
timeout 120 python3 -c "
import socket, sys
s = socket.socket(); s.bind((\"127.0.0.1\", 6000 + int(sys.argv[1]))); s.listen(8)
while True: s.accept()[0].close()" "$closing" & listeners="$!"
timeout 120 python3 -c "
import socket, sys, time
s = socket.socket(socket.AF_UNIX); s.bind(sys.argv[1]); s.listen(0)
c = socket.socket(socket.AF_UNIX); c.connect(sys.argv[1]); time.sleep(120)" "/tmp/.X11-unix/X$stuck" & listeners="$listeners $!"
trap "kill \$listeners 2>/dev/null || true; rm -rf \"\$runtime\" \"/tmp/.X11-unix/X$stuck\"" EXIT
wayland=""
if command -v weston >/dev/null; then
    wayland="quorlin-start-up-$$"
    renderer=""; weston --help 2>&1 | grep -q -- --renderer && renderer=--renderer=pixman
    XDG_RUNTIME_DIR="$runtime" timeout 120 weston --backend=headless-backend.so $renderer --socket="$wayland" \
        --idle-time=0 >"$runtime/weston.log" 2>&1 & listeners="$listeners $!"
fi
sleep 1
while read -r expect name command; do
    [ -n "$expect" ] || continue
    [ "$name" != wayland-only ] || [ -S "$runtime/$wayland" ] || { echo "smoke-limits: start-up $name: skipped, no weston"; continue; }
    case "$expect" in
    line)
        set +e; out="$(eval "timeout 20 $command" 2>&1 >/dev/null)"; status=$?; set -e
        [ "$status" -eq 1 ] && [ "$(wc -l <<<"$out")" -eq 1 ] && [[ "$out" == quorlin:* ]] \
            || fail "$name: status $status: $out"
        echo "smoke-limits: start-up $name: $out" ;;
    window)
        (eval "exec $command") & pid=$!
        wid="$(timeout 15 xdotool search --sync --onlyvisible --pid "$pid" --name "^Quorlin\$" | head -n1)" || true
        [ -n "$wid" ] || { kill "$pid"; fail "$name: no window"; }
        xdotool windowfocus --sync "$wid"; xdotool key Escape
        timeout 5 tail --pid="$pid" -f /dev/null || { kill "$pid"; fail "$name: still running after Esc"; }
        wait "$pid" || fail "$name: status $?"
        echo "smoke-limits: start-up $name: a window, ended by Esc" ;;
    runs)
        (eval "exec $command") 2>"$runtime/err" & pid=$!
        sleep 3
        kill -0 "$pid" 2>/dev/null || { wait "$pid" || true; fail "$name: ended: $(cat "$runtime/err")"; }
        kill "$pid"; wait "$pid" 2>/dev/null || true
        echo "smoke-limits: start-up $name: still running after 3 s" ;;
    esac
done <<<"$rows"
'
env -u QT_QPA_PLATFORM -u WAYLAND_DISPLAY \
    xvfb-run -a -s "-screen 0 1280x1024x24" bash -c "$start_up_session" _ "$bin" "$start_up_rows"

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
    ( ulimit -S -n "$1"; [ -z "${2:-}" ] || exec 2>"$2"; exec "$bin" ) & pid=$!
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

# One fewer than the program starts with (the platform that needs most):
# one line and status 1.
set +e
out="$( (ulimit -S -n 17; exec "$bin") 2>&1)"; status=$?
set -e
[ "$status" -eq 1 ] || fail "limit 17: status $status ($out)"
grep -q "too few file descriptors" <<<"$out" || fail "limit 17: $out"

# A limit set at start, the lowest the program starts with: the window is
# drawn, and each Start either runs or shows its box.
boxes=0
launch 18
server_start; answer_box limit-server Return
client_start; answer_box limit-client space
server_start; answer_box limit-again Escape
finish "limit 18"
echo "smoke-limits: limit 18 at start: $boxes error boxes drawn and answered"

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

# A limit lowered below every descriptor the reserve holds: the Start says
# why on standard error, as no box could be drawn, and once the limit is
# raised again the window still answers: the client side starts (its
# receive thread appears) and Esc ends the program.
launch 1024 "$artifacts/smoke-limits-below.err"
prlimit --pid "$pid" --nofile=4:
server_start; sleep 1
[ "$(windows)" -eq 1 ] || fail "limit 4: a box opened"
grep -q "^quorlin: can not create socket (too few file descriptors" "$artifacts/smoke-limits-below.err" \
    || fail "limit 4: no line on standard error: $(cat "$artifacts/smoke-limits-below.err")"
prlimit --pid "$pid" --nofile=1024:
threads="$(ls /proc/$pid/task | wc -l)"
client_start; sleep 0.5
[ "$(ls /proc/$pid/task | wc -l)" -gt "$threads" ] || fail "limit 4: the window did not answer once the limit was raised"
finish "limit 4"
echo "smoke-limits: limit lowered to 4 while running: the reason on standard error, no box, the window answers"

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
