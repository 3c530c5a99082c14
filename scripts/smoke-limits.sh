#!/usr/bin/env bash
# Runs the built program where resources run out: the start-up cases
# (displays that cannot be opened, closed standard descriptors, Wayland
# alone: scripts/smoke/start-up.sh), then too few descriptors at start-up and
# for a Start (a limit set at start and one lowered on the running program,
# above and below the reserve) and no memory for a Start's thread
# (scripts/smoke/limits.sh).
# Every error box must be drawn and answer its key, and the window must work
# afterwards. Screenshots go to artifacts/.
# Usage: scripts/smoke-limits.sh [BUILD_DIR]
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$root/build}"
bin="$build/app/quorlin"
artifacts="$root/artifacts"
mkdir -p "$artifacts"

# Start-up where the display cannot be had, then the limits: each on a
# private X server, whatever platform the caller's environment names.
env -u QT_QPA_PLATFORM -u WAYLAND_DISPLAY "$root/scripts/smoke/start-up.sh" "$bin"
env -u QT_QPA_PLATFORM -u WAYLAND_DISPLAY "$root/scripts/smoke/limits.sh" "$bin" "$artifacts"
