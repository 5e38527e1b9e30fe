#!/usr/bin/env bash
# Builds static OpenSSL libraries (libssl.a, libcrypto.a and their headers) for each
# mingw-w64 architecture given into build/windows/openssl-<arch>, for TLS in the Windows
# kzmta web: mingw has no OpenSSL package. The source is Debian's, pinned in
# scripts/openssl-source.sha256 (Debian's patches applied; scripts/debian-source.sh
# fetches and checks it). A build stays until the pinned version or the options below
# change, so a second run costs nothing.
#   scripts/fetch-openssl.sh i686 x86_64
set -euo pipefail
cd "$(dirname "$0")/.."

checksums=$PWD/scripts/openssl-source.sha256
debian=$(awk '/\.debian\.tar\.xz$/ { print $2 }' "$checksums")
version=${debian#openssl_}
version=${version%.debian.tar.xz}
# Only what a TLS server and client need: no shared libraries, programs or tests, and no
# legacy ciphers, engines or protocols nothing here speaks. No assembler keeps the cross
# build free of per-arch tool quirks; TLS speed is not what the console needs.
options=(no-shared no-module no-tests no-asm no-legacy no-engine no-dso no-comp
    no-dtls no-srp no-ssl3 no-idea no-mdc2 no-rc5 no-camellia no-seed no-sm2 no-sm3 no-sm4
    no-whirlpool no-cast no-bf no-rc2 no-md4 no-aria no-siphash no-ts no-cms no-ocsp)
# Where the libraries look for openssl.cnf: a folder only administrators may write to. The
# default would be /usr/local/ssl, which Windows reads as a folder of the current drive
# that any user can create. Fixed strings also keep the compiler cache shared by checkouts.
paths=("OPENSSLDIR=C:/Program Files/Common Files/SSL"
    "ENGINESDIR=C:/Program Files/OpenSSL/lib/engines-3"
    "MODULESDIR=C:/Program Files/OpenSSL/lib/ossl-modules")
stamp="$version ${options[*]} ${paths[*]}"

todo=()
for arch in "$@"; do
    [ "$(cat "build/windows/openssl-$arch/.package" 2>/dev/null)" = "$stamp" ] || todo+=("$arch")
done
[ "${#todo[@]}" -eq 0 ] && exit 0

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
scripts/debian-source.sh "$checksums" "$work/source"

launcher=""
command -v ccache >/dev/null && launcher="ccache "
for arch in "${todo[@]}"; do
    case $arch in
        i686) target=mingw ;;
        x86_64) target=mingw64 ;;
        *) echo "unknown architecture $arch" >&2; exit 1 ;;
    esac
    prefix=$PWD/build/windows/openssl-$arch
    rm -rf "$prefix" "$work/build-$arch"
    mkdir -p "$work/build-$arch"
    # Paths relative to the source tree, so that every run shares the compiler cache.
    (cd "$work/build-$arch" &&
        CCACHE_BASEDIR=$work CCACHE_NOHASHDIR=1 CC="${launcher}$arch-w64-mingw32-gcc-posix" \
            AR=$arch-w64-mingw32-ar RANLIB=$arch-w64-mingw32-ranlib RC=$arch-w64-mingw32-windres \
            "$work/source/Configure" "$target" "${options[@]}" --prefix="$prefix" \
            --libdir=lib >"$work/configure-$arch.log" 2>&1 &&
        CCACHE_BASEDIR=$work CCACHE_NOHASHDIR=1 make -j"$(nproc)" "${paths[@]}" build_libs >"$work/make-$arch.log" 2>&1 &&
        make install_dev >>"$work/make-$arch.log" 2>&1) || {
        for log in "$work/configure-$arch.log" "$work/make-$arch.log"; do
            [ -f "$log" ] && tail -40 "$log"
        done
        echo "cannot build OpenSSL $version for $arch" >&2
        exit 1
    }
    rm -rf "$prefix/lib/pkgconfig" "$prefix/lib/cmake"
    cp "$work/source/LICENSE.txt" "$prefix/"
    echo "$stamp" >"$prefix/.package"
done
