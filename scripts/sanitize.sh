#!/usr/bin/env bash
# The sanitizer and fuzzing stages of scripts/test.sh, one per argument:
#   asan  the whole suite under AddressSanitizer + UndefinedBehaviorSanitizer
#         (preset asan-ubsan, build/asan-ubsan/)
#   tsan  the whole suite under ThreadSanitizer (preset tsan, build/tsan/): the Qt-free tests
#         (labels net, stress, fuzz) with no suppressions at all, the tests that
#         run Qt with tests/sanitizer/tsan-qt.supp for Qt's own thread pool
#   fuzz  every libFuzzer harness (preset fuzz, build/fuzz/) for
#         QUORLIN_FUZZ_SECONDS seconds (default 20) from its seed corpus
# All are built with clang (CMakePresets.json). Any sanitizer report fails the stage.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
jobs="$(nproc)"
export QT_QPA_PLATFORM=offscreen
symbolizer="$("$root/scripts/llvm-tool.sh" llvm-symbolizer)"
qt_free='^(text|net|guard|stress|fuzz)$'

cd "$root"
# Configures and builds the tree of one preset.
build() {
    cmake --preset "$1" >/dev/null
    cmake --build --preset "$1" -j "$jobs"
}

for stage in "$@"; do
    start=$SECONDS
    case "$stage" in
    asan)
        echo "== AddressSanitizer + UndefinedBehaviorSanitizer"
        build asan-ubsan
        ASAN_OPTIONS="halt_on_error=1:detect_leaks=1:external_symbolizer_path=$symbolizer" \
        UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1:external_symbolizer_path=$symbolizer" \
            ctest --test-dir "$root/build/asan-ubsan" --output-on-failure -j "$jobs"
        ;;
    tsan)
        echo "== ThreadSanitizer"
        build tsan
        options="halt_on_error=1 exitcode=66 second_deadlock_stack=1 external_symbolizer_path=$symbolizer"
        TSAN_OPTIONS="$options" \
            ctest --test-dir "$root/build/tsan" --output-on-failure -j "$jobs" -L "$qt_free"
        TSAN_OPTIONS="$options suppressions=$root/tests/sanitizer/tsan-qt.supp" \
            ctest --test-dir "$root/build/tsan" --output-on-failure -j "$jobs" -LE "$qt_free"
        ;;
    fuzz)
        echo "== fuzzing"
        build fuzz
        # New inputs go to a scratch folder and the committed seeds are only
        # read; an input that breaks a harness is kept in build/fuzz/artifacts/.
        work="$(mktemp -d)"
        trap 'rm -rf "$work"' EXIT
        artifacts="$root/build/fuzz/artifacts"
        mkdir -p "$artifacts"
        for seeds in "$root"/tests/fuzz/corpus/*/; do
            harness="$(basename "$seeds")"
            mkdir -p "$work/$harness"
            if ! ASAN_OPTIONS="external_symbolizer_path=$symbolizer" \
                "$root/build/fuzz/tests/fuzz/$harness" -max_total_time="${QUORLIN_FUZZ_SECONDS:-20}" \
                -timeout=10 -rss_limit_mb=2048 -artifact_prefix="$artifacts/$harness-" \
                "$work/$harness" "$seeds" >"$work/$harness.log" 2>&1; then
                tail -n 60 "$work/$harness.log"
                echo "fuzz: $harness failed; the input is in $artifacts" >&2
                exit 1
            fi
            echo "-- $harness: $(grep -E '^#[0-9]+[[:space:]]+DONE' "$work/$harness.log" | tail -n 1)"
        done
        ;;
    *)
        echo "sanitize.sh: unknown stage $stage" >&2
        exit 2
        ;;
    esac
    echo "-- $stage took $((SECONDS - start)) s"
done
