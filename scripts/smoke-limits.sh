#!/usr/bin/env bash
# Runs the built program where resources run out: no usable display at
# start-up (the rows below), then on a private X server too few descriptors
# at start-up and for a Start (a limit set at start and one lowered on the
# running program) and no memory for a Start's thread (scripts/smoke/limits.sh).
# Every error box must be drawn and answer its key, and the window must work
# afterwards. Screenshots go to artifacts/.
# Usage: scripts/smoke-limits.sh [BUILD_DIR]
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$root/build}"
bin="$build/app/quorlin"
artifacts="$root/artifacts"
mkdir -p "$artifacts"
fail() { echo "smoke-limits: $*" >&2; exit 1; }

# One start-up row: LABEL, what must happen, then the environment it starts
# in, on top of one with no DISPLAY, no WAYLAND_DISPLAY and no platform named.
#   line: one line and status 1, no abort (an abort is status 134)
#   runs: still running after 2 s
start_row() {
    local label="$1" expect="$2" seconds=10 out status
    shift 2
    [ "$expect" = runs ] && seconds=2
    set +e
    out="$(env -u QT_QPA_PLATFORM -u WAYLAND_DISPLAY -u DISPLAY "$@" timeout "$seconds" "$bin" 2>&1)"
    status=$?
    set -e
    case "$expect" in
    line)
        [ "$status" -eq 1 ] || fail "$label: status $status ($out)"
        [ "$(wc -l <<<"$out")" -eq 1 ] || fail "$label: more than one line: $out"
        ;;
    runs) [ "$status" -eq 124 ] || fail "$label: ended with status $status ($out)" ;;
    *) fail "$label: no such outcome: $expect" ;;
    esac
    echo "smoke-limits: start-up, $label: ok"
}

#         label                      outcome  environment
start_row "DISPLAY empty"            line     DISPLAY=
start_row "DISPLAY names no server"  line     DISPLAY=:251
# A platform the user names is left alone: offscreen runs without a display.
start_row "offscreen, no display"    runs     QT_QPA_PLATFORM=offscreen

# On the X server, whatever platform the caller's environment names.
env -u QT_QPA_PLATFORM -u WAYLAND_DISPLAY "$root/scripts/smoke/limits.sh" "$bin" "$artifacts"
