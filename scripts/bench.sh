#!/usr/bin/env bash
# Builds an optimised tree in build-bench/ and runs every benchmark in one
# run, printing each figure beside its target. Arguments pick benchmarks:
# append echo rate trip stop startup peers (default: all). Exits non-zero if a target
# was missed. Run it on an otherwise quiet machine.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/bootstrap.sh"
cmake -S "$root" -B "$root/build-bench" -G Ninja -DCMAKE_BUILD_TYPE=Release -DQUORLIN_WERROR=ON \
    -DQUORLIN_BUILD_TESTS=OFF >/dev/null
cmake --build "$root/build-bench" -j "$(nproc)" --target quorlin_bench
QT_QPA_PLATFORM=offscreen exec "$root/build-bench/bench/quorlin_bench" "$@"
