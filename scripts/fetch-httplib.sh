#!/usr/bin/env bash
# Puts cpp-httplib's single header (httplib.h) into the folder given, for the Windows
# kzmta web: mingw has no package of it. It is the header of the Debian source package
# pinned in scripts/httplib-source.sha256 (the version the Linux build links, with
# Debian's patches applied; scripts/debian-source.sh fetches and checks it).
set -euo pipefail
cd "$(dirname "$0")/.."

target=$1
checksums=$PWD/scripts/httplib-source.sha256
debian=$(awk '/\.debian\.tar\.xz$/ { print $2 }' "$checksums")
version=${debian#cpp-httplib_}
version=${version%.debian.tar.xz}
[ -f "$target/httplib.h" ] && [ "$(cat "$target/.package" 2>/dev/null)" = "$version" ] && exit 0

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
scripts/debian-source.sh "$checksums" "$work/source"
mkdir -p "$target"
mv "$work/source/httplib.h" "$work/source/LICENSE" "$target/"
echo "$version" >"$target/.package"
