#!/usr/bin/env bash
# Builds the agent with AddressSanitizer and UndefinedBehaviorSanitizer and runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh
build=build/sanitize
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKZ_SANITIZE=ON -DKZ_BUILD_BENCH=ON
cmake --build "$build" -j "$(nproc)"

export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
ctest --test-dir "$build" --output-on-failure -j "$(nproc)"

# A short fuzz run of the script engine's lexer and parser (clang's libFuzzer); a crash
# or a failed check fails the test command.
fuzz=build/fuzz
cmake -S tests/fuzz -B "$fuzz" -G Ninja -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build "$fuzz" -j "$(nproc)"
mkdir -p "$fuzz/corpus"
"$fuzz/script_fuzz" -max_total_time=25 -rss_limit_mb=2048 "$fuzz/corpus" tests/fixtures/script
