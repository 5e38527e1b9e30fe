#!/usr/bin/env bash
# Unpacks a pinned Debian source package, Debian's patches applied, into a folder:
#   scripts/debian-source.sh CHECKSUMS FOLDER
# CHECKSUMS is a sha256sum file naming the package's .orig.tar.* and .debian.tar.xz; the
# package and version are read from the latter's name. Both archives are fetched with
# apt-get source on source lists of its own in a scratch folder (the machine's sources
# stay as they are) and checked before anything is unpacked. For what mingw has no
# package of; nothing of it is committed.
set -euo pipefail

checksums=$(realpath "$1")
source=$2
debian=$(awk '/\.debian\.tar\.xz$/ { print $2 }' "$checksums")
orig=$(awk '/\.orig\.tar\./ { print $2 }' "$checksums")
package=${debian%%_*}
version=${debian#"${package}"_}
version=${version%.debian.tar.xz}

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/parts" "$work/lists/partial" "$work/cache" "$work/download" "$source"
for suite in "debian bookworm" "debian-security bookworm-security"; do
    printf 'Types: deb-src\nURIs: http://deb.debian.org/%s\nSuites: %s\nComponents: main\nSigned-By: /usr/share/keyrings/debian-archive-keyring.gpg\n\n' \
        ${suite}
done >"$work/parts/source.sources"
apt=(apt-get -q -o Dir::Etc::SourceList=/dev/null -o Dir::Etc::SourceParts="$work/parts"
     -o Dir::State::Lists="$work/lists" -o Dir::Cache="$work/cache"
     -o APT::Sandbox::User="$(id -un)")
if ! timeout 300 "${apt[@]}" update >"$work/apt.log" 2>&1 ||
    ! (cd "$work/download" && timeout 300 "${apt[@]}" source --download-only "$package=$version" \
        >>"$work/apt.log" 2>&1); then
    cat "$work/apt.log"
    echo "cannot fetch the Debian source package $package $version" >&2
    exit 1
fi
(cd "$work/download" && sha256sum --check --quiet "$checksums")
tar -xf "$work/download/$orig" -C "$source" --strip-components=1
tar -xJf "$work/download/$debian" -C "$source" debian/patches
while read -r patch; do
    [ -n "$patch" ] && [ "${patch#\#}" = "$patch" ] || continue
    patch --quiet -p1 -d "$source" <"$source/debian/patches/$patch"
done <"$source/debian/patches/series"
