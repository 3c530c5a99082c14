#!/usr/bin/env bash
# Runs the built program where resources run out, each case on a private X
# server whatever platform the caller's environment names: start-up where
# the display cannot be had (scripts/smoke/start-up.sh), then too few
# descriptors and no memory (scripts/smoke/limits.sh). Screenshots go to
# artifacts/.
# Usage: scripts/smoke-limits.sh [BUILD_DIR]
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
bin="${1:-$root/build}/app/quorlin"
mkdir -p "$root/artifacts"
env -u QT_QPA_PLATFORM -u WAYLAND_DISPLAY "$root/scripts/smoke/start-up.sh" "$bin"
env -u QT_QPA_PLATFORM -u WAYLAND_DISPLAY "$root/scripts/smoke/limits.sh" "$bin" "$root/artifacts"
