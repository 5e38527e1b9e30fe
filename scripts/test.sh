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

# Short fuzz runs of the parsers of outside input (clang's libFuzzer), one per
# tests/fuzz/<name>_fuzz.cpp, each seeded from tests/fuzz/corpus/<name>_fuzz and guided by
# tests/fuzz/dict/<name>_fuzz.dict when there is one; a crash, a hang, a leak or a failed
# check fails the test command.
fuzz=build/fuzz
cmake -S tests/fuzz -B "$fuzz" -G Ninja -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build "$fuzz" -j "$(nproc)"
for source in tests/fuzz/*_fuzz.cpp; do
    target=$(basename "$source" .cpp)
    mkdir -p "$fuzz/corpus/$target" "tests/fuzz/corpus/$target"
    options=(-max_total_time="${KZ_FUZZ_SECONDS:-20}" -timeout=10 -rss_limit_mb=2048
             -artifact_prefix="$fuzz/$target-")
    [ -f "tests/fuzz/dict/$target.dict" ] && options+=(-dict="tests/fuzz/dict/$target.dict")
    echo "Fuzzing $target"
    "$fuzz/$target" "${options[@]}" "$fuzz/corpus/$target" "tests/fuzz/corpus/$target"
done
