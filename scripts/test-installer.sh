#!/usr/bin/env bash
# The Windows installer under Wine, silently: installs into the Application Directory the
# mail server's registry (32-bit view) names, backing up a library it replaces and keeping
# a setting the administrator made; writes the agent's keys in the 32-bit view and
# registers the event source; its uninstaller removes the libraries, puts the replaced one
# back and keeps the settings. Called by scripts/test-windows.sh with its Wine running
# (WINEPREFIX set); the installer is the first argument.
set -euo pipefail
setup=$1
libraries=$2  # the folder of the DLLs the installer carries
wine=${WINE:-/usr/lib/wine/wine64}

fail() {
    echo "Installer test FAILED: $*" >&2
    exit 1
}
reg() { timeout 120 "$wine" reg "$@" </dev/null 2>/dev/null | tr -d '\r'; }
product='HKLM\SOFTWARE\Kaztrel\Kaztrel'
agent="$product\\Agents\\MTA\\Filters\\MTAFILTER"
source='HKLM\SYSTEM\CurrentControlSet\Services\EventLog\Application\Kaztrel'

app_windows='C:\KaztrelTest\App'
app=$WINEPREFIX/drive_c/KaztrelTest/App
rm -rf "$WINEPREFIX/drive_c/KaztrelTest"
mkdir -p "$app"
echo "the mail server's own" >"$app/KZAISO.DLL"
reg delete "$agent" /f /reg:32 >/dev/null || true
reg delete "$source" /f >/dev/null || true
reg add "$product" /v "Application Directory" /d "$app_windows" /f /reg:32 >/dev/null
reg add "$agent" /v "Activity Log Enabled" /t REG_DWORD /d 2 /f /reg:32 >/dev/null

timeout 300 "$wine" "$setup" /S </dev/null || fail "the silent install exited with $?"
for dll in "$libraries"/*.DLL; do
    cmp -s "$dll" "$app/$(basename "$dll")" || fail "$(basename "$dll") is not installed"
done
grep -q "mail server's own" "$app/KZMTAFILTER-backup/KZAISO.DLL" || fail "no backup of KZAISO.DLL"
reg query "$agent" /v "Report Log Days" /reg:32 | grep -q 0x1e || fail "no Report Log Days in the 32-bit view"
reg query "$agent" /v "Activity Log Enabled" /reg:32 | grep -q 0x2 || fail "an administrator's value was overwritten"
reg query "$agent" /v "Report Log Days" /reg:64 | grep -q 0x1e && fail "keys went to the 64-bit view"
reg query "$source" /v EventMessageFile | grep -qi 'KaztrelTest\\App\\KZMTAFILTER.DLL' ||
    fail "the event source is not registered with the agent's message file"
echo "Installed silently: libraries in place, the replaced one kept, keys in the 32-bit view, event source registered"

# The uninstaller in place (_?=) so that the test waits for it.
timeout 300 "$wine" "$app/KZMTAFILTER-uninstall.exe" /S "_?=$app_windows" </dev/null ||
    fail "the silent uninstall exited with $?"
rm -f "$app/KZMTAFILTER-uninstall.exe"
for dll in "$libraries"/*.DLL; do
    [ "$(basename "$dll")" = KZAISO.DLL ] && continue
    [ ! -e "$app/$(basename "$dll")" ] || fail "$(basename "$dll") is left after uninstall"
done
grep -q "mail server's own" "$app/KZAISO.DLL" || fail "the replaced KZAISO.DLL was not put back"
reg query "$agent" /v "Report Log Days" /reg:32 | grep -q 0x1e || fail "uninstall removed the settings"
reg query "$source" /v EventMessageFile | grep -q KZMTAFILTER && fail "the event source is still registered"
echo "Uninstalled silently: libraries gone, the replaced one back, settings kept"
rm -rf "$WINEPREFIX/drive_c/KaztrelTest"
