#!/usr/bin/env bash
# Builds the release configuration and runs the demonstration: a complete mail
# environment in a scratch folder, filtered by the agent through the MTA stand-in.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release -DKZ_BUILD_TESTS=OFF
cmake --build build -j "$(nproc)"
exec build/bin/kzmta demo "$@"
