#!/usr/bin/env bash
# Builds preset bench and runs every benchmark, or those named (append echo rate trip stop startup
# peers), each figure beside its target; non-zero if one was missed. Run it on a quiet machine.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/bootstrap.sh" run
cd "$root"
cmake --preset bench >/dev/null
cmake --build --preset bench -j "$(nproc)"
QT_QPA_PLATFORM=offscreen exec "$root/build/bench/bench/quorlin_bench" "$@"
