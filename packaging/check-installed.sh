#!/bin/sh
# Run by scripts/test-package.sh as root inside a throw-away Debian root holding the
# package as /tmp/kzmta.deb: installs it, uses it as its user, upgrades, removes, purges.
set -eu

fail() {
    echo "FAILED: $*" >&2
    exit 1
}
# As the package's user, with its supplementary groups, as the unit runs it.
as_kzmta() {
    setpriv --reuid=kzmta --regid=kzmta --init-groups env HOME=/var/lib/kzmta "$@"
}
agent_key='SOFTWARE\Kaztrel\Kaztrel\Agents\MTA\Filters\MTAFILTER'

echo "== install"
dpkg -i /tmp/kzmta.deb
getent passwd kzmta >/dev/null || fail "no kzmta user"
[ "$(stat -c %U /var/lib/kzmta/registry.reg)" = kzmta ] || fail "registry file not the user's"
[ -d /run/kzmta ] || fail "no /run/kzmta"
for library in libkzmtafilter.so KZAISO.so KZFLTMSA.so KZAVGEN.so KZWINDNS.so KZFLTMBF.so KZDomainKeys.so KZAISP.so; do
    [ -f "/usr/lib/x86_64-linux-gnu/kzmta/$library" ] || fail "no $library"
done

echo "== the tool as kzmta"
if kzmta --version >/dev/null 2>&1; then
    as_kzmta kzmta --version
else
    as_kzmta kzmta reg get 'SOFTWARE\Kaztrel\Kaztrel' 'Configuration Directory'
fi
as_kzmta kzmta check-config
as_kzmta kzmta demo --dir /var/lib/kzmta/demo >/tmp/demo.out || { cat /tmp/demo.out; fail "demo"; }
grep -q '	Executed	' /tmp/demo.out || { cat /tmp/demo.out; fail "the demo's report log has no Executed line"; }
grep -c 'filter "' /tmp/demo.out | grep -qv '^0$' || fail "no filter held in the demo"
rm -rf /var/lib/kzmta/demo
# The agent itself, loaded from its installed folder, writes the state folder's registry.
as_kzmta kzmta run >/tmp/run.out 2>&1 || { cat /tmp/run.out; fail "kzmta run"; }
grep -q '"Loop Seal Key"' /var/lib/kzmta/registry.reg || fail "the agent did not keep its seal key"
ls /var/log/kzmta/MTAFILTER-Report-*.log >/dev/null || fail "no report log in /var/log/kzmta"

echo "== upgrade over itself keeps a changed setting"
as_kzmta kzmta reg set "$agent_key" 'Report Log Days' --dword 7
dpkg -i /tmp/kzmta.deb
as_kzmta kzmta reg get "$agent_key" 'Report Log Days' | grep -q '7' || fail "the setting was lost"
[ "$(stat -c %U /var/lib/kzmta/registry.reg)" = kzmta ] || fail "registry file changed hands"

echo "== remove keeps the state"
dpkg -r kzmta
[ ! -e /usr/bin/kzmta ] || fail "kzmta still installed"
[ -f /var/lib/kzmta/registry.reg ] || fail "remove lost the settings"
[ -d /var/log/kzmta ] || fail "remove lost the logs"

echo "== purge removes it"
dpkg -P kzmta
for gone in /var/lib/kzmta /var/spool/kzmta /var/log/kzmta /etc/kzmta; do
    [ ! -e "$gone" ] || fail "purge left $gone"
done
echo "== all steps passed"
