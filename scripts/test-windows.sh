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

# OpenSSL is linked statically into kzmta.exe alone: a DLL the MTA loads must not carry it
# (its TLS 1.3 cipher table names it).
for dll in build/windows/*/*.DLL; do
    if grep -qa TLS_AES_256_GCM_SHA384 "$dll"; then
        echo "$dll carries OpenSSL, which only kzmta.exe links"
        exit 1
    fi
done
grep -qa TLS_AES_256_GCM_SHA384 build/windows/x86_64/kzmta.exe || { echo "kzmta.exe has no OpenSSL"; exit 1; }
echo "OpenSSL is in kzmta.exe only"

# What the script starts or makes on the way, ended by pid and removed however it ends.
wineserver=/usr/lib/wine/wineserver
prefixes=() daemons=() scratch=()
cleanUp() {
    for p in "${prefixes[@]}"; do WINEPREFIX=$p "$wineserver" -k 2>/dev/null || true; done
    for pid in "${daemons[@]}"; do kill "$pid" 2>/dev/null || true; done
    for pid in "${daemons[@]}"; do
        for _ in $(seq 100); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
        kill -KILL "$pid" 2>/dev/null || true
    done
    rm -rf "${scratch[@]}"
}
trap cleanUp EXIT

# spamd and clamd for the provider tests, on TCP loopback, configured as the Linux tests
# configure them (tests/fixtures/providers/daemons). spamd takes seconds to start: both
# start now and are waited for once Wine has started.
listening() { (exec 3<>"/dev/tcp/127.0.0.1/$1") 2>/dev/null; }
freePort() {
    local port
    while port=$((RANDOM % 20000 + 30000)); listening "$port" || [ "$port" = "${1:-}" ]; do :; done
    echo "$port"
}
daemon_dir=$(mktemp -d)
scratch+=("$daemon_dir")
mkdir "$daemon_dir/site" "$daemon_dir/home"
cp /etc/spamassassin/*.pre tests/fixtures/providers/daemons/spamd/local.cf "$daemon_dir/site/"
chmod -R a+rwX "$daemon_dir"  # spamd reads its configuration as "nobody" when started as root
spamd_port=$(freePort)
spamd_user=()
[ "$(id -u)" != 0 ] || spamd_user=(-u nobody)
spamd "${spamd_user[@]}" --local --nouser-config --helper-home-dir="$daemon_dir/home" \
    --siteconfigpath="$daemon_dir/site" --listen="127.0.0.1:$spamd_port" --max-children=2 \
    --syslog=stderr </dev/null >"$daemon_dir/spamd.log" 2>&1 &
spamd_pid=$!
daemons+=("$spamd_pid")
clamd_port=$(freePort "$spamd_port")
printf '%s\n' "DatabaseDirectory $PWD/tests/fixtures/providers/daemons/clamd" \
    "TCPSocket $clamd_port" "TCPAddr 127.0.0.1" "Foreground yes" \
    "LogFile $daemon_dir/clamd.log" "StreamMaxLength 1M" >"$daemon_dir/clamd.conf"
clamd -c "$daemon_dir/clamd.conf" </dev/null >"$daemon_dir/clamd.out" 2>&1 &
clamd_pid=$!
daemons+=("$clamd_pid")
# Waits up to $4 seconds for daemon $1 (pid $2) to take connections on port $3.
awaitDaemon() {
    for _ in $(seq $(($4 * 10))); do
        listening "$3" && return 0
        kill -0 "$2" 2>/dev/null || break
        sleep 0.1
    done
    echo "$1 did not start"
    cat "$daemon_dir/$1".*
    exit 1
}

# A Wine of our own for each build, headless, started before the tests so that no Wine
# service starts inside one; stopped however the script ends. The 32-bit prefix is kept
# between runs: making it costs half a minute.
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" DISPLAY=
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
# however the script ends. It forwards silent.test where nothing listens: a zone that
# never answers.
# The DKIM fixtures' keys, each in strings of at most 255 bytes.
dkim_keys=()
for key in fixture:fixture ed:ed25519; do
    record=$(cat "tests/fixtures/dkim/${key#*:}.txt")
    option="--txt-record=${key%%:*}._domainkey.example.net"
    for ((at = 0; at < ${#record}; at += 255)); do option+=",${record:at:255}"; done
    dkim_keys+=("$option")
done
dns_log=$(mktemp)
scratch+=("$dns_log")
dns_pid=
for attempt in 1 2 3 4 5; do
    dns_address=127.$((RANDOM % 200 + 20)).$((RANDOM % 250 + 1)).53
    : >"$dns_log"
    dnsmasq --keep-in-foreground --conf-file=/dev/null --no-resolv --no-hosts \
        --listen-address="$dns_address" --bind-interfaces --port=53 --local-ttl=300 \
        --addn-hosts="$PWD/tests/fixtures/dns/blacklist.hosts" --local=/bl.test/ \
        --address=/2.0.192.bl.test/127.0.0.4 --log-facility="$dns_log" --log-queries \
        --local=/example.net/ "${dkim_keys[@]}" --server=/silent.test/127.0.0.1#9 \
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
daemons+=("$dns_pid")
export KZ_DNS_SERVER=$dns_address

awaitDaemon spamd "$spamd_pid" "$spamd_port" 60
awaitDaemon clamd "$clamd_pid" "$clamd_port" 30
export KZ_SPAMD_SERVER=127.0.0.1:$spamd_port KZ_CLAMD_SERVER=127.0.0.1:$clamd_port

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
