#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test headless.
# Exits non-zero on the first failure.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/bootstrap.sh"

jobs="$(nproc)"
# Keep a copy of everything printed, to total the test counts at the end.
log="$(mktemp)"
trap 'rm -f "$log"' EXIT
exec > >(tee "$log") 2>&1
export QT_QPA_PLATFORM=offscreen

# Every tracked C++ file as the project's .clang-format lays it out; any
# difference fails the run. The options are ones clang-format 14 (Debian 12)
# and 19 (Debian 13) lay out alike, so both releases give one verdict.
format="$("$root/scripts/llvm-tool.sh" clang-format)"
echo "== formatting ($("$format" --version | sed 's/.*version \([0-9.]*\).*/\1/'))"
if git -C "$root" rev-parse --is-inside-work-tree >/dev/null 2>&1; then
    (cd "$root" && git ls-files -z -- '*.cpp' '*.h' | xargs -0 -r "$format" --dry-run -Werror)
else
    (cd "$root" && find . -path './build*' -prune -o \( -name '*.cpp' -o -name '*.h' \) -print0 \
        | xargs -0 -r "$format" --dry-run -Werror)
fi
echo "formatting: clean"

echo "== build and test (debug)"
cmake -S "$root" -B "$root/build" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DQUORLIN_WERROR=ON >/dev/null
cmake --build "$root/build" -j "$jobs"
ctest --test-dir "$root/build" --output-on-failure -j "$jobs"

echo "== Debian package and desktop metadata"
"$root/scripts/package.sh"

echo "== installed program on a private X server"
"$root/scripts/smoke-x11.sh" "$root/build"

echo "== built program out of descriptors, out of memory and without a display"
"$root/scripts/smoke-limits.sh" "$root/build"

echo "== installed program: accessible names, twice the scale, a Wayland session"
"$root/scripts/smoke-desktop.sh" "$root/build"

# Sanitizers and fuzzing, each in its own clang build folder (scripts/sanitize.sh).
"$root/scripts/sanitize.sh" asan tsan fuzz

# One closing line over every stage's suite (each stage stopped the run on failure).
passed=$(sed -n 's/.*tests passed, 0 tests failed out of \([0-9]*\).*/\1/p' "$log" | awk '{n += $1} END {print n + 0}')
echo "total: $passed passed, 0 failed"
