#!/usr/bin/env bash
# Builds the Windows libraries, checks the export tables of the 32-bit ones, and runs the
# test programs of both builds under Wine.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/build-windows.sh

# The names of a 32-bit library's export table, one a line.
exportNames() {
    i686-w64-mingw32-objdump -p "$1" | awk '
        /^\[Ordinal\/Name Pointer\] Table/ { table = 1; next }
        table && /^[ \t]*$/ { table = 0 }
        table { print $NF }'
}

# The entries the agent looks up in each library, by plain name: a 32-bit __stdcall
# entry exported as "Name@N" is not found, and a provider without its entries is a
# provider that silently does nothing.
declare -A lookedUp=(
    [KZMTAFILTER.DLL]="FilterExecute FilterInit FilterUnInit ExecuteVBScript FilterCommand"
    [KZAISO.DLL]="GetOption GetOption_Ex"
    [KZAISP.DLL]="StoreLibrary_Init StoreLibrary_UnInit"
    [KZFLTMSA.DLL]="KZ_Initialize KZ_Execute KZ_CleanUp"
    [KZFLTMBF.DLL]="KZ_Initialize KZ_Execute KZ_CleanUp"
    [KZDomainKeys.DLL]="KZ_Initialize KZ_Execute KZ_CleanUp"
    [KZAVGEN.DLL]="ProviderExecute"
    [KZWINDNS.DLL]="SetLoggingFunction DNSInitialize HasORBDBEntry"
)
exportFaults=0
for dll in build/windows/i686/*.DLL; do
    name=$(basename "$dll")
    names=$(exportNames "$dll")
    if grep -q @ <<<"$names"; then
        echo "$name (i686) exports decorated names:" $(grep @ <<<"$names")
        exportFaults=1
    fi
    for entry in ${lookedUp[$name]:-}; do
        if ! grep -qx "$entry" <<<"$names"; then
            echo "$name (i686) does not export $entry"
            exportFaults=1
        fi
    done
done
[ "$exportFaults" = 0 ] || exit 1
echo "Every i686 library exports the entries the agent looks up, undecorated"

# The MTA finds exactly its five entries, by plain name and by ordinal; the sixth is for
# hosts that read a run's result.
expected=$'1 FilterExecute\n2 FilterInit\n3 FilterUnInit\n4 ExecuteVBScript\n5 FilterCommand\n6 FilterExecuteChecked'
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
echo "KZMTAFILTER.DLL (i686) exports the six entries at ordinals 1 to 6"

# A Wine of our own for each build, headless, started before the tests so that no Wine
# service starts inside one; stopped however the script ends. The 32-bit prefix is kept
# between runs: making it costs half a minute.
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" DISPLAY=
wineserver=/usr/lib/wine/wineserver
prefixes=()
trap 'for p in "${prefixes[@]}"; do WINEPREFIX=$p "$wineserver" -k 2>/dev/null || true; done' EXIT
startWine() {
    local wine=$1
    export WINEPREFIX=$2
    mkdir -p "$WINEPREFIX"
    prefixes+=("$WINEPREFIX")
    # Wine's own processes outlive this script's commands: they get no output to hold open.
    "$wineserver" -k 2>/dev/null || true  # one left by an interrupted run
    "$wineserver" -p </dev/null >/dev/null 2>&1
    timeout 300 "$wine" cmd /c exit </dev/null >/dev/null 2>&1
}
startWine /usr/lib/wine/wine64 "$PWD/build/windows/wine"

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
trap 'for p in "${prefixes[@]}"; do WINEPREFIX=$p "$wineserver" -k 2>/dev/null || true; done
      kill "$dns_pid" 2>/dev/null || true; rm -f "$dns_log"' EXIT
export KZ_DNS_SERVER=$dns_address

# Test programs find the fixtures and the libraries through these.
export KZ_FIXTURES_DIR="Z:$PWD/tests/fixtures"
runTests() {
    local wine=$1 arch=$2
    export KZ_WINDOWS_BIN="Z:$PWD/build/windows/$arch"
    for program in windows_platform_tests windows_e2e_tests; do
        echo "== $program ($arch)"
        timeout 600 "$wine" "build/windows/$arch/$program.exe"
    done
}

runTests /usr/lib/wine/wine64 x86_64
scripts/test-installer.sh "build/windows/KZMTAFILTER-$(scripts/project-version.sh)-setup.exe" build/windows/i686

# The 32-bit build, the one the MTA loads, under the 32-bit Wine (scripts/setup.sh
# windows installs it). A kernel without 32-bit support runs it through qemu-user,
# registered for i386 programs when it is installed.
wine32=/usr/lib/wine/wine
if ! "$wine32" --version >/dev/null 2>&1 && command -v qemu-i386-static >/dev/null; then
    binfmt=/proc/sys/fs/binfmt_misc
    [ -e "$binfmt/register" ] || mount -t binfmt_misc binfmt_misc "$binfmt" || true
    if [ -e "$binfmt/register" ] && [ ! -e "$binfmt/qemu-i386" ]; then
        printf '%s' ':qemu-i386:M::\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00:\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff:/usr/bin/qemu-i386-static:F' \
            >"$binfmt/register" || true
    fi
    export QEMU_RESERVED_VA=0xffff0000
fi
if "$wine32" --version >/dev/null 2>&1; then
    WINEARCH=win32 startWine "$wine32" "$PWD/build/windows/wine32"
    runTests "$wine32" i686
else
    echo "No 32-bit Wine runs here: the i686 build is checked by its export tables only"
fi
