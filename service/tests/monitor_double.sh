#!/usr/bin/env bash
# The service with a log monitor that has nothing but what any monitor offers: the class
# id, StartMonitoring, NewLogEntry and release (MonitorDouble.dll, registered under the
# monitor's class id for this scenario; ours is registered back at the end, pass or fail).
# The entries it raises are notified and a stop reaches STOPPED. Then the same double
# answering our drain interface with a StopMonitoring that fails: the stop still releases
# it, unloads and reaches STOPPED, and the failure is in the error log.
#   monitor_double.sh ROOT BUILD_DIR   (inside with_smtpd.sh and with_rsyslog.sh)
set -euo pipefail
. "$(dirname "$0")/e2e_lib.sh" "$@"
double_key='HKLM\Software\Vantrel Tests\Monitor double'
restore() {
  $W sc stop Quenloc >/dev/null 2>&1 || true
  wait_state STOPPED 10 || true
  $W reg delete "$double_key" /f >/dev/null 2>&1 || true
  # Wine's start of regsvr32 now and then fails under load: once more before giving up.
  $W regsvr32 /s "$(winpath "$dest/Mirrolan.dll")" || $W regsvr32 /s "$(winpath "$dest/Mirrolan.dll")" ||
    echo "FAIL: Mirrolan could not be registered again"
}
e2e_install
trap restore EXIT
$W regsvr32 /s "$(winpath "$testbin/MonitorDouble.dll")" || fail "regsvr32 MonitorDouble.dll"

system_lines() { grep -c 'System Log - ' "$VANTREL_SYSLOG_OUT" 2>/dev/null || true; }
run() {  # name: start, three entries notified, stop reaches STOPPED
  local before
  start_syslog_only MonitorSystemLog
  before=$(system_lines)
  for n in 1 2 3; do report System VtDouble error "$n" "$1 $n"; done
  wait_for system_lines $((before + 3)) 30 || fail "$1: $(( $(system_lines) - before )) of 3 entries notified"
  $W sc stop Quenloc >/dev/null || fail "$1: sc stop"
  wait_state STOPPED 60 || fail "$1: the service did not stop: $($W sc query Quenloc | tr -d '\r' | grep -E 'STATE|CHECKPOINT')"
  echo "$1: 3 entries notified, STOPPED"
}

run "fixed members only"
[ ! -s "$dest/error.log" ] || fail "errors with a monitor of fixed members only: $(cat "$dest/error.log")"

$W reg add "$double_key" /v StopFails /d 1 /f >/dev/null || fail "reg add StopFails"
run "a failing StopMonitoring"
grep -q 'Procedure Sub StopMonitor' "$dest/error.log" 2>/dev/null || fail "the failed StopMonitoring is not in the error log"
echo "quenloc_monitor_double: all checks passed"
