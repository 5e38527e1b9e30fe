#!/usr/bin/env bash
# Kills running `kzmta run` processes many more times than the test command does, then
# checks that every message is still queued, handed on or where its filters put it, and
# that nothing is left behind. Not part of CI: it takes minutes.
#   scripts/crash-test.sh [KILLS] [ROUNDS]     (defaults 1000 and 3; each round its own seed)
# Uses the sanitizer build of scripts/test.sh (BUILD_DIR overrides it).
set -euo pipefail
cd "$(dirname "$0")/.."
build="${BUILD_DIR:-build/sanitize}"
kills="${1:-1000}"
rounds="${2:-3}"
[ -d "$build" ] || { echo "no build in $build: run scripts/test.sh first" >&2; exit 1; }
cmake --build "$build" --target e2e_tests kzmta kzmtafilter
export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}"
for round in $(seq 1 "$rounds"); do
    seed=$((20261206 + round))
    echo "round $round of $rounds: $kills kills, seed $seed"
    KZ_CRASH_KILLS="$kills" KZ_CRASH_SEED="$seed" \
        "$build/bin/e2e_tests" --gtest_filter='KzmtaCrash.*'
done
