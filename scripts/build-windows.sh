#!/usr/bin/env bash
# Builds the Windows library from the same sources with mingw-w64:
#   build/windows/i686/    KZMTAFILTER.DLL, the 32-bit library the MTA loads, the
#                          libraries it loads (KZAISO, KZAISP, KZFLTMSA, KZAVGEN, KZWINDNS,
#                          KZFLTMBF, KZDomainKeys) and the test programs
#                          and kzmta.exe
#   build/windows/x86_64/  the same for 64-bit Windows
#   build/windows/KZMTAFILTER-<version>-setup.exe  the installer (NSIS, installer/) of
#                          every 32-bit DLL built, for the mail server's Application Directory
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
# The DNS blacklist library and the Bayesian classifier, with SQLite compiled in.
libraries+=(KZWINDNS KZFLTMBF)
# The DKIM verifier.
libraries+=(KZDomainKeys)
scripts/fetch-sqlite.sh build/windows/sqlite
# cpp-httplib's header for kzmta web.
scripts/fetch-httplib.sh build/windows/httplib
# OpenSSL's static libraries for its TLS (build/windows/openssl-<arch>).
scripts/fetch-openssl.sh i686 x86_64

build() {
    local arch=$1
    shift
    local tree=build/windows/$arch/tree
    cmake -S . -B "$tree" -G Ninja -DCMAKE_TOOLCHAIN_FILE="cmake/toolchain-mingw-$arch.cmake" \
        -DCMAKE_BUILD_TYPE=Release -DKZ_SQLITE_AMALGAMATION="$PWD/build/windows/sqlite" \
        -DKZ_HTTPLIB_DIR="$PWD/build/windows/httplib" -DKZ_OPENSSL_DIR="$PWD/build/windows/openssl-$arch" \
        "${launcher[@]}" >/dev/null
    cmake --build "$tree" -j "$(nproc)" --target "$@"
    cp "$tree"/bin/*.DLL "build/windows/$arch/"
    if compgen -G "$tree/bin/*.exe" >/dev/null; then cp "$tree"/bin/*.exe "build/windows/$arch/"; fi
}

build i686 "${libraries[@]}" kzmta windows_platform_tests windows_e2e_tests
build x86_64 "${libraries[@]}" kzmta windows_platform_tests windows_e2e_tests

# The installer carries every 32-bit DLL the build made.
version=$(scripts/project-version.sh)
list=build/windows/installer-libraries.nsh
for dll in build/windows/i686/*.DLL; do
    echo "!insertmacro \${LIBRARY_MACRO} \"$(basename "$dll")\""
done >"$list"
makensis -V2 -DVERSION="$version" -DLIBRARY_DIR="$PWD/build/windows/i686" -DLIBRARIES="$PWD/$list" \
    -DOUTFILE="$PWD/build/windows/KZMTAFILTER-$version-setup.exe" installer/kzmtafilter.nsi
