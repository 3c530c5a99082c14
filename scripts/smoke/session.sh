# shellcheck shell=bash
# What the smoke sessions share: the program started, its windows waited for and its
# end checked. Sessions set smoke_name (their messages' prefix); those on X run under
# xvfb-run -a (a free display, a cookie of its own). All started here ends with the shell.

smoke_pid=""     # the program, while it runs
smoke_wid=""     # its main window, once mapped (X or XWayland)
smoke_started=() # background processes that end with the session
smoke_dirs=()    # temporary folders removed with it

# The program first, then the rest newest first: buses before their server.
smoke_cleanup() {
    local i
    if [ -n "$smoke_pid" ]; then
        kill -KILL "$smoke_pid" 2>/dev/null || true
        smoke_started+=("$smoke_pid")
    fi
    for ((i = ${#smoke_started[@]} - 1; i >= 0; i--)); do
        kill "${smoke_started[i]}" 2>/dev/null || true
        wait "${smoke_started[i]}" 2>/dev/null || true
    done
    [ ${#smoke_dirs[@]} -eq 0 ] || rm -rf "${smoke_dirs[@]}"
}
trap smoke_cleanup EXIT

# A session with more to show (a compositor's log) defines smoke_on_fail.
smoke_fail() {
    echo "${smoke_name:-smoke}: $*" >&2
    ! declare -F smoke_on_fail >/dev/null || smoke_on_fail || true
    exit 1
}

# RUNTIME SOCKET [OPTION...]: headless weston on RUNTIME/SOCKET, logging to RUNTIME/weston.log.
smoke_weston() {
    local renderer=() # the software one, where weston asks (12 on)
    if weston --help 2>&1 | grep -q -- --renderer; then renderer=(--renderer=pixman); fi
    XDG_RUNTIME_DIR="$1" timeout 300 weston --backend=headless-backend.so "${renderer[@]}" \
        --socket="$2" --idle-time=0 "${@:3}" >"$1/weston.log" 2>&1 &
    smoke_started+=($!)
}

smoke_launch() { "$@" & smoke_pid=$!; }

# TITLE SECONDS: the id of the program's visible window TITLE once mapped; fails if none is
# within SECONDS. (--all: else xdotool takes either the process or the title.)
smoke_window() {
    timeout "$2" xdotool search --all --sync --onlyvisible --pid "$smoke_pid" --name "^$1\$" 2>/dev/null | head -n1 | grep .
}
smoke_main_window() { smoke_wid="$(smoke_window Quorlin 15)" || smoke_fail "the window did not appear"; }

# N COMMAND...: COMMAND every 0.1 s until it succeeds, at most N times.
smoke_until() {
    local i
    for ((i = 0; i < $1; i++)); do "${@:2}" && return 0; sleep 0.1; done
    return 1
}

smoke_limited() { ulimit -S "$1" "$2" && exec "${@:3}"; }

smoke_ended() { ! kill -0 "$smoke_pid" 2>/dev/null; }
smoke_reap() { smoke_status=0; wait "$smoke_pid" || smoke_status=$?; smoke_pid=""; }

smoke_windows_are() { [ "$(xdotool search --onlyvisible --pid "$smoke_pid" 2>/dev/null | wc -l)" -eq "$1" ]; }
smoke_windows_become() { smoke_until 50 smoke_windows_are "$1"; }

smoke_wait_end() {
    smoke_until 50 smoke_ended || smoke_fail "still running 5 s after $1"
    smoke_reap
    [ "$smoke_status" -eq 0 ] || smoke_fail "exited with status $smoke_status after $1"
}

# Esc ends the program (with no window manager, windowactivate fails).
smoke_end_by_esc() {
    xdotool windowfocus --sync "$smoke_wid"
    xdotool key Escape
    smoke_wait_end Esc
}
