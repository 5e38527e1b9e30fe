#!/usr/bin/env bash
# Builds the Debian package build/package/kzmta_<version>_amd64.deb with debhelper
# (packaging/debian) from the CMake install rules, in a copy of the checkout's files under
# build/package, so that the build leaves nothing in the source tree.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh package
version=$(scripts/project-version.sh)
out=$PWD/build/package
source=$out/kzmta-$version

# The tracked and new files as they are in the working tree, with their times; the same
# folder every time, and no clean (-nc), so that the previous build tree and the compiler
# cache are used again.
mkdir -p "$source"
find "$source" -mindepth 1 -maxdepth 1 ! -name obj-\* -exec rm -rf {} +
git ls-files -z --cached --others --exclude-standard | grep -zv '^build/' |
    tar --null -T - -cf - | tar -xf - -C "$source"
cp -r packaging/debian "$source/debian"
{
    echo "kzmta ($version) unstable; urgency=medium"
    echo
    echo "  * Release $version."
    echo
    echo " -- kzmta maintainers <maintainers@users.noreply.c-seed-9a4f21e2.example>  $(date -R -d "@$(git log -1 --format=%ct 2>/dev/null || date +%s)")"
} >"$source/debian/changelog"

if command -v ccache >/dev/null; then
    export KZ_COMPILER_LAUNCHER=ccache CCACHE_BASEDIR=$source CCACHE_NOHASHDIR=1
fi
rm -f "$out"/kzmta_*.deb "$out"/kzmta-dbgsym_*
(cd "$source" && nice -n 10 dpkg-buildpackage -b -nc -us -uc -j"$(nproc)" >"$out/build.log" 2>&1) || {
    tail -50 "$out/build.log"
    exit 1
}
deb=$out/kzmta_${version}_$(dpkg --print-architecture).deb
[ -f "$deb" ] || { echo "dpkg-buildpackage made no $deb" >&2; exit 1; }
echo "$deb"
