#!/usr/bin/env bash
# Builds the Windows library from the same sources with mingw-w64:
#   build/windows/i686/    KZMTAFILTER.DLL, the 32-bit library the MTA loads, and the
#                          libraries it loads (KZAISO, KZAISP, KZFLTMSA, KZAVGEN)
#   build/windows/x86_64/  the same for 64-bit Windows, with kzmta.exe and the test programs
# Each build tree is build/windows/<arch>/tree.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh windows
launcher=()
if command -v ccache >/dev/null; then
    # Paths relative to the checkout, so that every clone shares the cache.
    export CCACHE_BASEDIR="${CCACHE_BASEDIR:-$PWD}" CCACHE_NOHASHDIR="${CCACHE_NOHASHDIR:-1}"
    launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
fi
libraries=(kzmtafilter KZAISO KZAISP KZFLTMSA KZAVGEN)

build() {
    local arch=$1
    shift
    local tree=build/windows/$arch/tree
    cmake -S . -B "$tree" -G Ninja -DCMAKE_TOOLCHAIN_FILE="cmake/toolchain-mingw-$arch.cmake" \
        -DCMAKE_BUILD_TYPE=Release "${launcher[@]}" >/dev/null
    cmake --build "$tree" -j "$(nproc)" --target "$@"
    cp "$tree"/bin/*.DLL "build/windows/$arch/"
    if compgen -G "$tree/bin/*.exe" >/dev/null; then cp "$tree"/bin/*.exe "build/windows/$arch/"; fi
}

build i686 "${libraries[@]}"
build x86_64 "${libraries[@]}" kzmta windows_platform_tests windows_e2e_tests
