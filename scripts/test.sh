#!/usr/bin/env bash
# Builds the agent with AddressSanitizer and UndefinedBehaviorSanitizer and runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh
# ccache makes a rebuild of unchanged sources, the fuzz build's above all, nearly free.
launcher=()
if command -v ccache >/dev/null; then
    # Paths relative to the checkout, so that every clone shares the cache.
    export CCACHE_BASEDIR="${CCACHE_BASEDIR:-$PWD}" CCACHE_NOHASHDIR="${CCACHE_NOHASHDIR:-1}"
    launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
fi
jobs=$(nproc)

# Short fuzz runs of the parsers of outside input (clang's libFuzzer), one per
# tests/fuzz/<name>_fuzz.cpp. Their build needs nothing of the main build, so it runs
# beside the main build and the tests, which leave cores idle while they wait on children.
fuzz=build/fuzz
cmake -S tests/fuzz -B "$fuzz" -G Ninja -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    "${launcher[@]}" >/dev/null
# In a session of its own, so that the script can stop all of it when it ends early.
setsid cmake --build "$fuzz" -j "$jobs" >"$fuzz/build.log" 2>&1 &
fuzz_build=$!
trap 'kill -- -"$fuzz_build" 2>/dev/null || true' EXIT

build=build/sanitize
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKZ_SANITIZE=ON -DKZ_BUILD_BENCH=ON \
    "${launcher[@]}"
cmake --build "$build" -j "$jobs"

export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
ctest --test-dir "$build" --output-on-failure -j "$jobs"

if ! wait "$fuzz_build"; then
    cat "$fuzz/build.log"
    exit 1
fi
trap - EXIT

# Each target is seeded from tests/fuzz/corpus/<name>_fuzz and guided by
# tests/fuzz/dict/<name>_fuzz.dict when there is one; a crash, a hang, a leak or a failed
# check fails the test command. Each target fuzzes on one core, as many at once as there
# are cores, so every target gets its full time.
fuzz_target() {
    local target=$1
    mkdir -p "$fuzz/corpus/$target" "tests/fuzz/corpus/$target"
    local options=(-max_total_time="${KZ_FUZZ_SECONDS:-10}" -timeout=10 -rss_limit_mb=2048
                   -artifact_prefix="$fuzz/$target-")
    [ -f "tests/fuzz/dict/$target.dict" ] && options+=(-dict="tests/fuzz/dict/$target.dict")
    if "$fuzz/$target" "${options[@]}" "$fuzz/corpus/$target" "tests/fuzz/corpus/$target" \
        >"$fuzz/$target.log" 2>&1; then
        echo "Fuzzed $target: $(grep -o 'Done [0-9]* runs.*' "$fuzz/$target.log" || true)"
    else
        cat "$fuzz/$target.log"
        echo "Fuzzing $target FAILED (log: $fuzz/$target.log)"
        touch "$fuzz/$target.failed"
    fi
}

rm -f "$fuzz"/*.failed
for source in tests/fuzz/*_fuzz.cpp; do
    while [ "$(jobs -rp | wc -l)" -ge "$jobs" ]; do wait -n || true; done
    fuzz_target "$(basename "$source" .cpp)" &
done
wait
if compgen -G "$fuzz/*.failed" >/dev/null; then exit 1; fi
