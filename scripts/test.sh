#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test headless,
# each stage printing its time; stops at the first failure.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/bootstrap.sh" test
cd "$root"
CMAKE_BUILD_PARALLEL_LEVEL="$(nproc)"
export CMAKE_BUILD_PARALLEL_LEVEL CTEST_PARALLEL_LEVEL="$CMAKE_BUILD_PARALLEL_LEVEL" QT_QPA_PLATFORM=offscreen
# A copy of everything printed, for the closing total.
log="$(mktemp)"
trap 'rm -f "$log"' EXIT
exec > >(tee "$log") 2>&1
started=""
# TITLE [COMMAND...]: ends the last stage with its time, starts TITLE and runs COMMAND.
stage() {
    [ -z "$started" ] || echo "-- took $((SECONDS - started)) s"
    started=$SECONDS
    [ $# -eq 0 ] || echo "== $1"
    "${@:2}"
}

# Every C++ file outside the build folders (a copy may have no git). The
# options are ones clang-format 14, 19 and 21 lay out alike.
stage "formatting ($(clang-format --version | sed 's/.*version \([0-9.]*\).*/\1/'))"
find . -path './build*' -prune -o \( -name '*.cpp' -o -name '*.h' \) -print0 |
    xargs -0 -r clang-format --dry-run -Werror
echo "formatting: clean"
# *.sh, and the files that start with a shell's #! line (.ci/run, debian/tests/*).
stage "shell scripts (shellcheck $(shellcheck --version | sed -n 's/^version: //p'))"
mapfile -d '' -t shells < <(find scripts .ci debian/tests -type f \( -name '*.sh' -o -exec sh -c \
    'head -n 1 "$1" | grep -Eq "^#!.*[/ ](ba|da)?sh([[:space:]]|$)"' sh {} \; \) -print0 | sort -z)
shellcheck "${shells[@]}"
echo "shellcheck: ${#shells[@]} scripts clean"

stage "build and test (preset debug)" cmake --workflow --preset debug
stage "Debian package and desktop metadata" scripts/package.sh
stage "installed program on a private X server" scripts/smoke-x11.sh build/debug
stage "built program out of descriptors, out of memory and without a display" scripts/smoke-limits.sh build/debug
stage "installed program: accessible names, twice the scale, a Wayland session" scripts/smoke-desktop.sh build/debug
stage "AddressSanitizer + UndefinedBehaviorSanitizer" cmake --workflow --preset asan-ubsan
stage "ThreadSanitizer" cmake --workflow --preset tsan
stage "fuzzing (QUORLIN_FUZZ_SECONDS=${QUORLIN_FUZZ_SECONDS:-20} per harness)" cmake --workflow --preset fuzz
stage

# Each stage stopped the run on failure: the total is over every CTest run.
passed=$(sed -n 's/.*tests passed, 0 tests failed out of \([0-9]*\).*/\1/p' "$log" | awk '{n += $1} END {print n + 0}')
echo "total: $passed passed, 0 failed"
