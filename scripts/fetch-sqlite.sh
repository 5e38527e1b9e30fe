#!/usr/bin/env bash
# Puts SQLite's public-domain amalgamation (sqlite3.c, sqlite3.h; SQLite 3.50.4) into the
# folder given, for the Windows build of the Bayesian classifier. It is taken from the
# npm package pinned in scripts/sqlite-amalgamation.sha256, which ships it, after the
# package's SHA-256 is checked; nothing of it is committed.
set -euo pipefail
cd "$(dirname "$0")/.."

target=$1
checksums=$PWD/scripts/sqlite-amalgamation.sha256
package=$(awk '{ print $2 }' "$checksums")
[ -f "$target/sqlite3.c" ] && [ "$(cat "$target/.package" 2>/dev/null)" = "$package" ] && exit 0

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
pin=${package%.tgz}
pin="${pin%-*}@${pin##*-}"
(cd "$work" && timeout 300 npm pack --silent "$pin" >/dev/null)
(cd "$work" && sha256sum --check --quiet "$checksums")
tar -xzf "$work/$package" -C "$work" package/deps/sqlite3/sqlite3.c package/deps/sqlite3/sqlite3.h
mkdir -p "$target"
mv "$work"/package/deps/sqlite3/sqlite3.[ch] "$target/"
echo "$package" >"$target/.package"
