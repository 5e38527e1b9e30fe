#!/usr/bin/env bash
# Builds the Windows library, checks the export table of the 32-bit library, and runs
# the 64-bit test programs under Wine (this machine runs no 32-bit programs).
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/build-windows.sh

# The MTA finds exactly these five entries, by plain name and by ordinal.
expected=$'1 FilterExecute\n2 FilterInit\n3 FilterUnInit\n4 ExecuteVBScript\n5 FilterCommand'
exports=$(i686-w64-mingw32-objdump -p build/windows/i686/KZMTAFILTER.DLL | awk '
    /Ordinal Base/ { base = $NF }
    /^\[Ordinal\/Name Pointer\] Table/ { table = 1; next }
    table && /^[ \t]*$/ { table = 0 }
    table { index_ = $0; sub(/^[ \t]*\[ */, "", index_); sub(/\].*/, "", index_)
            print index_ + base, $NF }' | sort -n)
if [ "$exports" != "$expected" ]; then
    echo "KZMTAFILTER.DLL (i686) exports:"
    echo "$exports"
    echo "expected:"
    echo "$expected"
    exit 1
fi
echo "KZMTAFILTER.DLL (i686) exports the five entries at ordinals 1 to 5"

# A Wine of our own, headless, started before the tests so that no Wine service starts
# inside one; stopped however the script ends.
export WINEPREFIX=$PWD/build/windows/wine WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" DISPLAY=
wine=/usr/lib/wine/wine64
wineserver=/usr/lib/wine/wineserver
mkdir -p "$WINEPREFIX"
# Wine's own processes outlive this script's commands: they get no output to hold open.
"$wineserver" -k 2>/dev/null || true  # one left by an interrupted run
"$wineserver" -p </dev/null >/dev/null 2>&1
trap '"$wineserver" -k 2>/dev/null || true' EXIT
timeout 300 "$wine" cmd /c exit </dev/null >/dev/null 2>&1

# The DNS server of the provider tests: dnsmasq serving the made-up zones, on a loopback
# address of its own at port 53 (the resolver Wine offers asks no other port), stopped
# however the script ends.
# The DKIM fixtures' keys, each in strings of at most 255 bytes.
dkim_keys=()
for key in fixture:fixture ed:ed25519; do
    record=$(cat "tests/fixtures/dkim/${key#*:}.txt")
    option="--txt-record=${key%%:*}._domainkey.example.net"
    for ((at = 0; at < ${#record}; at += 255)); do option+=",${record:at:255}"; done
    dkim_keys+=("$option")
done
dns_log=$(mktemp)
dns_pid=
for attempt in 1 2 3 4 5; do
    dns_address=127.$((RANDOM % 200 + 20)).$((RANDOM % 250 + 1)).53
    : >"$dns_log"
    dnsmasq --keep-in-foreground --conf-file=/dev/null --no-resolv --no-hosts \
        --listen-address="$dns_address" --bind-interfaces --port=53 --local-ttl=300 \
        --addn-hosts="$PWD/tests/fixtures/dns/blacklist.hosts" --local=/bl.test/ \
        --address=/2.0.192.bl.test/127.0.0.4 --log-facility="$dns_log" --log-queries \
        --local=/example.net/ "${dkim_keys[@]}" \
        --pid-file= --user="$(id -un)" --group="$(id -gn)" </dev/null >/dev/null 2>&1 &
    dns_pid=$!
    for _ in $(seq 50); do
        grep -q "read $PWD/tests/fixtures/dns/blacklist.hosts" "$dns_log" && break
        kill -0 "$dns_pid" 2>/dev/null || break
        sleep 0.1
    done
    grep -q "read $PWD/tests/fixtures/dns/blacklist.hosts" "$dns_log" && break
    kill "$dns_pid" 2>/dev/null || true
    dns_pid=
done
[ -n "$dns_pid" ] || { echo "dnsmasq did not start"; cat "$dns_log"; exit 1; }
trap '"$wineserver" -k 2>/dev/null || true; kill "$dns_pid" 2>/dev/null || true; rm -f "$dns_log"' EXIT
export KZ_DNS_SERVER=$dns_address

# Test programs find the fixtures and the libraries through these.
export KZ_FIXTURES_DIR="Z:$PWD/tests/fixtures" KZ_WINDOWS_BIN="Z:$PWD/build/windows/x86_64"
for program in windows_platform_tests windows_e2e_tests; do
    timeout 600 "$wine" "build/windows/x86_64/$program.exe"
done
scripts/test-installer.sh "build/windows/KZMTAFILTER-$(scripts/project-version.sh)-setup.exe" build/windows/i686
