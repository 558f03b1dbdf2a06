#!/usr/bin/env bash
# Runs the i686 build's tests under emulated 32-bit Wine (tools/wine32.sh): the test programs
# that need no registered component, then the VBScript clients of the i686 Lorvex.dll and
# Dovrin.dll. Each Wine process costs about 45 s of emulated CPU, so this is not part of
# ./tools/test.sh; it prints its time and a closing "N passed, N failed" line.
#   test-i686.sh [JOBS]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
jobs=${1:-$(nproc)}
start=$(date +%s)
"$root/tools/setup.sh"
"$root/tools/build.sh" i686
out=${VANTREL_BUILD_ROOT:-$root/build}
bin="$out/i686/bin"
results="$out/i686/emulated"
rm -rf "$results"; mkdir -p "$results"

export VANTREL_WINE=$("$root/tools/wine32.sh" "$out/wine32")
export WINEARCH=win32 WINELOADERNOEXEC=1 WINEDEBUG=-all WINESERVER=/usr/lib/wine/wineserver64
export WINEPREFIX="$out/i686/wineprefix"
"$root/tools/wineprefix.sh" start "$WINEPREFIX"
trap '"$root/tools/wineprefix.sh" stop "$WINEPREFIX"' EXIT
echo "test-i686.sh: prefix ready after $(( $(date +%s) - start )) s"
winpath() { printf 'Z:%s' "${1//\//\\}"; }

# name line command...: runs one test and keeps its output. It passes when it exits 0,
# prints no "FAIL:" and, when line is not empty, prints that line (cscript exits 0 even
# when a script stops on an error).
run() {
  local name=$1 line=$2; shift 2
  if timeout 3600 "$@" >"$results/$name.out" 2>&1 && ! grep -q "FAIL:" "$results/$name.out" &&
     { [ -z "$line" ] || grep -qF "$line" "$results/$name.out"; }; then
    echo "$name" >> "$results/passed"; echo "passed  $name"
  else
    echo "$name" >> "$results/failed"; echo "FAILED  $name (see $results/$name.out)"
  fi
}
export -f run; export results

# The portable cores and the test doubles of the service-control library, compiled for i686.
programs=(lorvex_core_test trap_core_test common_core_test service_core_test syslogsend_core_test
          velmsendmail_core_test mirrolan_core_test adsi_core_test dovrin_core_test
          dovrin_base_test dovrin_service_doubles_test tallisk_core_test)
printf '%s\n' "${programs[@]}" |
  xargs -P "$jobs" -I{} bash -c 'run {} "" "$VANTREL_WINE" "'"$bin"'/{}.exe"'

# Automation clients of the 32-bit components, as a script host sees them.
"$VANTREL_WINE" regsvr32 /s "$(winpath "$bin/Lorvex.dll")"
"$VANTREL_WINE" regsvr32 /s "$(winpath "$bin/Dovrin.dll")"
run lorvex_vbscript_client "lorvex client: all checks passed" \
  "$VANTREL_WINE" cscript.exe //nologo "$(winpath "$root/eventlog/tests/lorvex_client.vbs")"
run dovrin_vbscript_client "dovrin client: all checks passed" \
  "$VANTREL_WINE" cscript.exe //nologo "$(winpath "$root/svcctl/tests/dovrin_client.vbs")" \
  "$(winpath "$bin/vt_test_service.exe")" 1

passed=$(sort -u "$results/passed" 2>/dev/null | grep -c . || true)
failed=$(sort -u "$results/failed" 2>/dev/null | grep -c . || true)
echo "test-i686.sh: $(( $(date +%s) - start )) s in all"
echo "i686: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
