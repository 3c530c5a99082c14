#!/usr/bin/env bash
# Builds the optimised tree of preset bench (build/bench/) and runs every
# benchmark in one run, printing each figure beside its target. Arguments pick
# benchmarks: append echo rate trip stop startup peers (default: all). Exits
# non-zero if a target was missed. Run it on an otherwise quiet machine.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/bootstrap.sh" run
cd "$root"
cmake --preset bench >/dev/null
cmake --build --preset bench -j "$(nproc)"
QT_QPA_PLATFORM=offscreen exec "$root/build/bench/bench/quorlin_bench" "$@"
