#!/usr/bin/env bash
# Builds the Debian package, checks it with lintian and systemd-analyze, and tries it in a
# throw-away Debian root under build/package (never this machine's own /usr): install, the
# tool, check-config and the demo as the package's user, an upgrade over itself that keeps
# a changed setting, remove (state kept) and purge (state gone).
# The root, made by mmdebstrap with the package's dependencies, is cached as a tarball
# under build/package and made again only when those dependencies change.
set -euo pipefail
cd "$(dirname "$0")/.."

deb=$(scripts/package.sh | tail -1)
out=$PWD/build/package
echo "Built $deb"

echo "lintian:"
lintian --fail-on error --tag-display-limit 0 "$deb"

# The unit as installed, with the programs it names where it names them.
unpacked=$out/unpacked
rm -rf "$unpacked"
dpkg-deb -x "$deb" "$unpacked"
# The system's own units and the programs it names beside it, for the targets it orders
# itself against and the programs it runs; a warning
# (an unknown key, say) fails the test as an error does.
cp -rn /lib/systemd/system/. "$unpacked/lib/systemd/system/"
mkdir -p "$unpacked/bin"
cp /bin/kill /bin/chgrp "$unpacked/bin/"
if ! complaints=$(systemd-analyze verify --man=no --root="$unpacked" \
    "$unpacked/lib/systemd/system/kzmta-milter.service" 2>&1) || [ -n "$complaints" ]; then
    echo "systemd-analyze verify kzmta-milter.service: $complaints"
    exit 1
fi
echo "systemd-analyze verify: kzmta-milter.service accepted"

# The dependencies the package declares (first alternative, no versions) make the root.
depends=$(dpkg-deb -f "$deb" Depends | tr ',' '\n' | sed 's/|.*//; s/(.*)//; s/[[:space:]]//g' |
    grep -v '^$' | sort -u | paste -sd, -)
suite=$(. /etc/os-release && echo "$VERSION_CODENAME")
tarball=$out/root-$suite-$(echo "$depends" | sha256sum | cut -c1-16).tar
if [ ! -f "$tarball" ]; then
    rm -f "$out"/root-*.tar
    echo "Making a $suite root with $depends"
    timeout 1200 mmdebstrap --quiet --format=tar --variant=minbase --include="$depends" "$suite" "$tarball.part"
    mv "$tarball.part" "$tarball"
fi
root=$out/root
rm -rf "$root"
mkdir -p "$root"
tar -xf "$tarball" -C "$root"
trap 'rm -rf "$root"' EXIT
cp "$deb" "$root/tmp/kzmta.deb"
cp packaging/check-installed.sh "$root/tmp/steps.sh"

# Its own mount and process namespaces: /proc for the root, gone when the steps end.
timeout 600 unshare --mount --pid --fork --mount-proc="$root/proc" \
    chroot "$root" /bin/sh /tmp/steps.sh
echo "Package test passed"
