#!/usr/bin/env bash
# The program's start-up where the display or the limits are not what a
# desktop gives, one row a case.
# Usage: scripts/smoke/start-up.sh BIN
# shellcheck disable=SC2034,SC2053 # the rows read variables through eval; their patterns are globs
set -euo pipefail
[ -n "${smoke_x:-}" ] || exec env smoke_x=1 xvfb-run -a -s "-screen 0 1280x1024x24" "$0" "$@"
bin="$1"
smoke_name="smoke-limits: start-up"
# shellcheck source=scripts/smoke/session.sh
. "$(dirname "$0")/session.sh"

# A row: what must come of it | name | a glob | the command (expanded here).
#   line    status 1, standard error matching the glob (Qt's words pass
#           through) and its last line the program's own ("quorlin: ...")
#   abort   status 134 (the abort asked of Qt), after the glob
#   waits   alive after 3 s on under 0.5 s of CPU, ended by the glob's signal
#   window  a window within the glob's seconds, ended by Esc
#   either  a window, or a line (libxcb 1.16 on opens DISPLAY's path form)
#   runs    alive after 3 s (no window to look for)
#   floor   under the glob's ulimit option at the command's value, a line
#           naming the limit that works: one below it that line, at it a window
read -r -d '' rows <<'ROWS' || true
line   | no-display      | *could?not?connect?to?display*                | env -u DISPLAY "$bin"
line   | dead-display    | *quorlin:?cannot?open?the?display:?could?not?connect?to?display?:251 | env DISPLAY=:251 "$bin"
line   | dead-argument   | *could?not?connect?to?display?:251            | "$bin" -display :251
line   | no-such-screen  | *could?not?connect?to?display*                | env DISPLAY="$DISPLAY.5" "$bin"
line   | trailing-dot    | *could?not?connect?to?display*                | env DISPLAY="$DISPLAY." "$bin"
either | path-form       | *could?not?connect?to?display*                | env DISPLAY="/tmp/.X11-unix/X${DISPLAY#:}" "$bin"
line   | no-cookie       | *Authorization?required*could?not?connect*    | env XAUTHORITY=/dev/null "$bin"
line   | accepts-closes  | *could?not?connect?to?display*                | env DISPLAY="127.0.0.1:$closing" "$bin"
line   | debug-rules     | *init_platform*could?not?connect?to?display?:251 | env DISPLAY=:251 QT_LOGGING_RULES='qt.qpa.*=true' "$bin"
abort  | fatal-warnings  | *could?not?connect?to?display?:251*           | env DISPLAY=:251 QT_FATAL_WARNINGS=1 "$bin"
line   | file-size-limit | *could?not?connect?to?display?:251            | prlimit --fsize=0 env DISPLAY=:251 "$bin"
line   | no-compositor   | *quorlin:?cannot?open?the?display:?Failed?to?create?wl_display* | env -u DISPLAY QT_QPA_PLATFORM=wayland WAYLAND_DISPLAY=quorlin-none XDG_RUNTIME_DIR="$runtime" "$bin"
waits  | backlog-full    | TERM                                          | env DISPLAY=":$stuck" "$bin"
waits  | backlog-int     | INT                                           | env --default-signal=INT DISPLAY=":$stuck" "$bin"
waits  | wayland-backlog | TERM                                          | env -u DISPLAY QT_QPA_PLATFORM=wayland WAYLAND_DISPLAY="/tmp/.X11-unix/X$stuck" "$bin"
window | slow-display    | 120                                           | env DISPLAY=":$slow" QT_XCB_NO_MITSHM=1 "$bin"
window | closed-standard | 15                                            | bash -c 'exec "$0" <&- >&- 2>&-' "$bin"
runs   | offscreen       | -                                             | env -u DISPLAY QT_QPA_PLATFORM=offscreen "$bin"
runs   | minimal         | -                                             | env -u DISPLAY QT_QPA_PLATFORM=minimal "$bin"
runs   | wayland-only    | -                                             | env -u DISPLAY WAYLAND_DISPLAY=start-up XDG_RUNTIME_DIR="$runtime" "$bin"
floor  | descriptors     | -n                                            | 15
floor  | address-space   | -v                                            | 100000
ROWS

runtime="$(mktemp -d)"
smoke_dirs+=("$runtime")

# Stand-in displays: one that closes at once, one whose backlog is full, and
# one 0.1 s away each way (Qt's start-up makes some sixty round trips), with
# no shared memory, as over a forwarded link.
coproc timeout 600 python3 "$(dirname "$0")/x-listener.py" "/tmp/.X11-unix/X${DISPLAY#:}" 100
smoke_started+=("$COPROC_PID")
read -r -t 10 closing stuck slow <&"${COPROC[0]}" || smoke_fail "the stand-in displays did not start"
smoke_dirs+=("/tmp/.X11-unix/X$stuck" "/tmp/.X11-unix/X$slow")
# The relay's display and the path form of DISPLAY (which libxcb looks up as :0) take the server's cookie.
cookie="$(xauth list "$DISPLAY" | awk '{print $3; exit}')"
xauth -q add ":$slow" . "$cookie"
xauth -q add :0 . "$cookie"
smoke_weston "$runtime" start-up
sleep 1

check_line() { [[ "$1" == 1 && "${2##*$'\n'}" == quorlin:* && "$2" == $3 ]] || smoke_fail "$name: status $1: $2"; }
capture() { status=0; out="$("$@" 2>&1 >/dev/null)" || status=$?; }
# alive|SECONDS: starts the row's command, its standard error to a file; fails
# if it ends within 3 s, or waits SECONDS for its window (smoke_wid, up).
launch_row() {
    started=$SECONDS
    smoke_launch eval "exec $command" 2>"$runtime/err"
    if [ "$1" = alive ]; then
        sleep 3
        ! smoke_ended || smoke_fail "$name: ended: $(cat "$runtime/err")"
    else
        smoke_wid="$(smoke_window Quorlin "$1")" || smoke_wid=""
        up=$((SECONDS - started))
    fi
}
while read -r expect _ name _ pattern _ command; do
    case "$expect" in
    line)
        capture eval "timeout 20 $command"
        check_line "$status" "$out" "$pattern"
        echo "$smoke_name $name: ${out##*$'\n'}"
        ;;
    abort)
        capture eval "timeout 20 $command"
        if [ "$status" -ne 134 ] || [[ "$out" != $pattern ]]; then smoke_fail "$name: status $status: $out"; fi
        echo "$smoke_name $name: Qt's warning, then the abort asked for"
        ;;
    either | window)
        seconds=15
        [ "$expect" = either ] || seconds="$pattern"
        launch_row "$seconds"
        if [ -n "$smoke_wid" ]; then
            xdotool windowfocus --sync "$smoke_wid"
            xdotool key Escape
            # Over a slow display the end takes as long as the start.
            [ "$expect" = either ] || smoke_until $((seconds * 10)) smoke_ended || true
            smoke_wait_end Esc
            echo "$smoke_name $name: a window after $up s, ended by Esc"
        elif [ "$expect" = window ]; then
            smoke_fail "$name: no window within $seconds s: $(cat "$runtime/err")"
        else
            smoke_reap
            check_line "$smoke_status" "$(cat "$runtime/err")" "$pattern"
            echo "$smoke_name $name: $(tail -n 1 "$runtime/err")"
        fi
        ;;
    waits)
        launch_row alive
        cpu="$(awk '{c = ($14 + $15) / 100; print int(c * 10) / 10; exit !(c < 0.5)}' "/proc/$smoke_pid/stat")" ||
            smoke_fail "$name: $cpu s of CPU while waiting"
        kill -s "$pattern" "$smoke_pid"
        smoke_until 50 smoke_ended || smoke_fail "$name: SIG$pattern did not end it"
        smoke_reap
        [ "$smoke_status" -eq $((128 + $(kill -l "$pattern"))) ] || smoke_fail "$name: status $smoke_status after SIG$pattern"
        echo "$smoke_name $name: waits ($cpu s of CPU in 3 s), ended by SIG$pattern"
        ;;
    runs)
        launch_row alive
        kill "$smoke_pid"
        smoke_reap
        echo "$smoke_name $name: still running after 3 s"
        ;;
    floor)
        capture smoke_limited "$pattern" "$command" timeout 20 "$bin"
        check_line "$status" "$out" "*raise?it?to?at?least?[0-9]*"
        works="$(sed -n 's/.*raise it to at least \([0-9]*\).*/\1/p' <<<"${out##*$'\n'}")"
        capture smoke_limited "$pattern" $((works - 1)) timeout 20 "$bin"
        check_line "$status" "$out" "*raise?it?to?at?least?$works*"
        smoke_launch smoke_limited "$pattern" "$works" "$bin"
        smoke_main_window
        smoke_end_by_esc
        echo "$smoke_name $name: ${out##*$'\n'}; at $works a window, ended by Esc"
        ;;
    esac
done <<<"$rows"
