#!/usr/bin/env bash
# Builds the x86_64 tree and runs every benchmark program under wine64; each prints its
# own figures. Benchmarks are not tests: nothing here passes or fails on speed.
set -euo pipefail
. "$(dirname "$0")/fixed_layout.sh"
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/tools/setup.sh"
"$root/tools/build.sh" x86_64
out=${VANTREL_BUILD_ROOT:-$root/build}/x86_64
export WINEPREFIX="$out/wineprefix" WINEDEBUG=-all
"$root/tools/wineprefix.sh" start "$WINEPREFIX"
trap '"$root/tools/wineprefix.sh" stop "$WINEPREFIX"' EXIT
winpath() { printf 'Z:%s' "${1//\//\\}"; }
wine=/usr/lib/wine/wine64

# Lorvex needs its classes registered in this prefix.
$wine regsvr32 /s "$(winpath "$out/bin/Lorvex.dll")"

echo "== event-log substitute: appends and sequential reads"
$wine "$out/testbin/evtlog_bench.exe"

fixture="$root/../shared/fixtures/SysEvent-repaired.Evt"
if [ -f "$fixture" ]; then
  echo "== Lorvex decoding"
  $wine "$out/testbin/lorvex_decode_bench.exe" "$(winpath "$fixture")" "$(winpath "$out/testbin/VtTestMessages.dll")"
else
  echo "== Lorvex decoding skipped: $fixture is not beside the checkout"
fi

echo "== Quenloc: latency to the syslog line, and entries notified of a wrapping 64 KB log"
"$root/outside/syslogsend/tests/with_rsyslog.sh" "$out/bench-rsyslog" \
  "$root/service/bench/latency.sh" "$root" "$out" || echo "Quenloc benchmark skipped or failed (status $?)"
