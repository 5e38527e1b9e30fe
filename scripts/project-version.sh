#!/usr/bin/env bash
# Prints the project's version, from project() in CMakeLists.txt.
set -euo pipefail
cd "$(dirname "$0")/.."
version=$(sed -n 's/^project(kzmtafilter VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
[ -n "$version" ] || { echo "no project version in CMakeLists.txt" >&2; exit 1; }
echo "$version"
