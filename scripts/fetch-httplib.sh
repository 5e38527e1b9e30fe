#!/usr/bin/env bash
# Puts cpp-httplib's single header (httplib.h) into the folder given, for the Windows
# kzmta web: mingw has no package of it. It is the header of the Debian source package
# pinned in scripts/httplib-source.sha256 (the version the Linux build links, with
# Debian's patches applied), fetched with apt-get source after both archives' SHA-256 are
# checked; nothing of it is committed. apt works on source lists of its own in a scratch
# folder: the machine's sources stay as they are.
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
mkdir -p "$work/parts" "$work/lists/partial" "$work/cache" "$work/source"
for suite in "debian bookworm" "debian-security bookworm-security"; do
    printf 'Types: deb-src\nURIs: http://deb.debian.org/%s\nSuites: %s\nComponents: main\nSigned-By: /usr/share/keyrings/debian-archive-keyring.gpg\n\n' \
        ${suite}
done >"$work/parts/source.sources"
apt=(apt-get -q -o Dir::Etc::SourceList=/dev/null -o Dir::Etc::SourceParts="$work/parts"
     -o Dir::State::Lists="$work/lists" -o Dir::Cache="$work/cache"
     -o APT::Sandbox::User="$(id -un)")
if ! timeout 300 "${apt[@]}" update >"$work/apt.log" 2>&1 ||
    ! (cd "$work/source" && timeout 300 "${apt[@]}" source --download-only "cpp-httplib=$version" \
        >>"$work/apt.log" 2>&1); then
    cat "$work/apt.log"
    echo "cannot fetch the Debian source package cpp-httplib $version" >&2
    exit 1
fi
(cd "$work/source" && sha256sum --check --quiet "$checksums")
tar -xJf "$work/source/$(awk '/\.orig\.tar\.xz$/ { print $2 }' "$checksums")" -C "$work/source" \
    --strip-components=1
tar -xJf "$work/source/$debian" -C "$work/source" debian/patches
while read -r patch; do
    [ -n "$patch" ] && [ "${patch#\#}" = "$patch" ] || continue
    patch --quiet -p1 -d "$work/source" <"$work/source/debian/patches/$patch"
done <"$work/source/debian/patches/series"
mkdir -p "$target"
mv "$work/source/httplib.h" "$work/source/LICENSE" "$target/"
echo "$version" >"$target/.package"
