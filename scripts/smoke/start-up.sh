#!/usr/bin/env bash
# The built program's start-up where the display cannot be had, one row a
# case, on a private X server: each ends in one line on standard error and
# status 1, or in a working window.
# Usage: scripts/smoke/start-up.sh BIN
set -euo pipefail
# shellcheck disable=SC2034 # read by the rows, through eval
bin="$1"
smoke_name="smoke-limits: start-up"
# shellcheck source=scripts/smoke/session.sh
. "$(dirname "$0")/session.sh"

# The display Qt is given and what must come of it. "line": one line on
# standard error and status 1 (an abort would be 134, a hang 124);
# "window": a window that ends on Esc with status 0; "either": one of those
# two (the path form of DISPLAY opens with a libxcb that knows it, 1.16 on);
# "runs": still running after 3 s (where no window can be looked for).
# Commands are expanded here.
rows="$(
    cat <<'ROWS'
line     no-display       env -u DISPLAY "$bin"
line     dead-display     env DISPLAY=:251 "$bin"
line     dead-argument    "$bin" -display :251
line     no-such-screen   env DISPLAY="$DISPLAY.5" "$bin"
line     trailing-dot     env DISPLAY="$DISPLAY." "$bin"
either   path-form        env DISPLAY="/tmp/.X11-unix/X${DISPLAY#:}" "$bin"
line     no-cookie        env XAUTHORITY=/dev/null "$bin"
line     accepts-closes   env DISPLAY="127.0.0.1:$closing" "$bin"
line     backlog-full     env DISPLAY=":$stuck" "$bin"
window   closed-standard  bash -c 'exec "$0" <&- >&- 2>&-' "$bin"
runs     offscreen        env -u DISPLAY QT_QPA_PLATFORM=offscreen "$bin"
runs     wayland-only     env -u DISPLAY WAYLAND_DISPLAY="$wayland" XDG_RUNTIME_DIR="$runtime" "$bin"
ROWS
)"

smoke_x_server 1280x1024x24
runtime="$(mktemp -d)"
smoke_dirs+=("$runtime")

# Display numbers nothing listens on, for a loopback port that accepts and
# closes at once and a local socket whose one-deep backlog is kept full.
free_display() {
    local n
    for n in $(seq "$1" "$(($1 + 99))"); do
        [ -e "/tmp/.X11-unix/X$n" ] || (exec 3<>"/dev/tcp/127.0.0.1/$((6000 + n))") 2>/dev/null \
            || { echo "$n"; return; }
    done
}
closing="$(free_display 300)"
stuck="$(free_display 400)"
timeout 120 python3 "$(dirname "$0")/x-listener.py" closing "$((6000 + closing))" &
smoke_started+=($!)
timeout 120 python3 "$(dirname "$0")/x-listener.py" stuck "/tmp/.X11-unix/X$stuck" &
smoke_started+=($!)
smoke_dirs+=("/tmp/.X11-unix/X$stuck")
wayland=""
if command -v weston >/dev/null; then
    wayland="quorlin-start-up-$$"
    renderer=()
    if weston --help 2>&1 | grep -q -- --renderer; then renderer=(--renderer=pixman); fi
    XDG_RUNTIME_DIR="$runtime" timeout 120 weston --backend=headless-backend.so "${renderer[@]}" \
        --socket="$wayland" --idle-time=0 >"$runtime/weston.log" 2>&1 &
    smoke_started+=($!)
fi
sleep 1

while read -r expect name command; do
    [ -n "$expect" ] || continue
    if [ "$name" = wayland-only ] && [ ! -S "$runtime/$wayland" ]; then
        echo "$smoke_name $name: skipped, no weston"
        continue
    fi
    case "$expect" in
    either)
        smoke_launch eval "exec $command" 2>"$runtime/err"
        smoke_wid="$(smoke_window Quorlin 15)"
        if [ -n "$smoke_wid" ]; then
            smoke_end_by_esc
            echo "$smoke_name $name: a window, ended by Esc"
            continue
        fi
        status=0
        wait "$smoke_pid" || status=$?
        smoke_pid=""
        out="$(cat "$runtime/err")"
        if [ "$status" -ne 1 ] || [ "$(wc -l <<<"$out")" -ne 1 ] || [[ "$out" != quorlin:* ]]; then
            smoke_fail "$name: no window, and status $status: $out"
        fi
        echo "$smoke_name $name: $out"
        ;;
    line)
        set +e
        out="$(eval "timeout 20 $command" 2>&1 >/dev/null)"
        status=$?
        set -e
        if [ "$status" -ne 1 ] || [ "$(wc -l <<<"$out")" -ne 1 ] || [[ "$out" != quorlin:* ]]; then
            smoke_fail "$name: status $status: $out"
        fi
        echo "$smoke_name $name: $out"
        ;;
    window)
        smoke_launch eval "exec $command"
        smoke_main_window
        smoke_end_by_esc
        echo "$smoke_name $name: a window, ended by Esc"
        ;;
    runs)
        smoke_launch eval "exec $command" 2>"$runtime/err"
        sleep 3
        kill -0 "$smoke_pid" 2>/dev/null || smoke_fail "$name: ended: $(cat "$runtime/err")"
        kill "$smoke_pid"
        wait "$smoke_pid" 2>/dev/null || true
        smoke_pid=""
        echo "$smoke_name $name: still running after 3 s"
        ;;
    esac
done <<<"$rows"
