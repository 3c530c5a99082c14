#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test headless.
# Exits non-zero on the first failure.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/bootstrap.sh"

jobs="$(nproc)"
export QT_QPA_PLATFORM=offscreen

echo "== build and test (debug)"
cmake -S "$root" -B "$root/build" -G Ninja -DCMAKE_BUILD_TYPE=Debug >/dev/null
cmake --build "$root/build" -j "$jobs"
ctest --test-dir "$root/build" --output-on-failure -j "$jobs"

echo "== installed program on a private X server"
"$root/scripts/smoke-x11.sh" "$root/build"

# Sanitizers and fuzzing, each in its own clang build folder (scripts/sanitize.sh).
"$root/scripts/sanitize.sh" asan tsan fuzz
