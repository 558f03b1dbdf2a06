#!/usr/bin/env bash
# A stop during a long include walk, then a start. The entry being walked is notified
# before the SCM hears STOPPED; the old process has ended by then, so nothing arrives from
# it afterwards and the start that follows never runs beside it.
# The walk is caught in the middle, not raced for: the Security log's handler says with a
# debug line that it has begun; then the service is held still, shown not to have finished
# the walk, and sent the stop, which it finds at the walk's next yield once let go.
#   stop_walk.sh ROOT BUILD_DIR   (inside with_smtpd.sh and with_rsyslog.sh)
set -euo pipefail
. "$(dirname "$0")/e2e_lib.sh" "$@"
e2e_install

set_value MonitorSecurityLog 1
set_value IncludeExclude I
set_value SendEmail 0
set_value SendSyslogMessage 1
set_value SyslogConsoleName 127.0.0.1
set_value SyslogConsolePort "$VANTREL_SYSLOG_TCP_PORT"
set_value SyslogProtocol TCP
set_value Debug 1
# The entry's source is on the last line: the walk lets messages through after each of the
# lines before it, which takes a while. The first line's source is notified at once.
/usr/bin/python3 - "$dest/EXCLUSIONS.TXT" "${WALK_LINES:-200000}" <<'PY'
import sys
with open(sys.argv[1], "w", newline="") as f:
    f.write("VtGuardFirst\r\n")
    f.writelines("VtGuardOther%d\r\n" % i for i in range(int(sys.argv[2])))
    f.write("VtGuardWalk\r\n")
PY
$W sc start Quenloc >/dev/null || fail "sc start"
wait_state RUNNING 30 || fail "the service did not start"

walk_lines() { cat "$VANTREL_SYSLOG_OUT" 2>/dev/null | grep -c 'SecurityLog - ' || true; }
begun() { cat "$VANTREL_SYSLOG_OUT" 2>/dev/null | grep -c 'Start SecurityLogMonitor_NewEntry' || true; }
matched() { cat "$VANTREL_SYSLOG_OUT" 2>/dev/null | grep -c 'Securitylog Match By Source Only' || true; }

start=$(date +%s.%N)
report Security VtGuardWalk audit-failure 1 'taken before the stop'
wait_for begun 1 60 || fail "the handler never began"
freeze_service
# Held still, it starts no sender: once those it started are through, what has not arrived
# was not done.
senders_done || fail "syslog senders still run a minute after the service was held"
[ "$(walk_lines)" -eq 0 ] && [ "$(matched)" -eq 0 ] ||
  fail "the walk was over before the service was held: nothing to check (WALK_LINES=${WALK_LINES:-200000})"
request_stop "walk"
thaw_service
wait_state STOPPED 120 || fail "the service did not stop"
stopped=$(date +%s.%N)
echo "STOPPED $(echo "$stopped - $start" | bc) s after the report"
# The old process is gone (give it a moment to leave exit), and the entry it was walking
# was handed to the sender before STOPPED.
for _ in $(seq 10); do [ "$(quenlocs)" -eq 0 ] && break; sleep 0.2; done
[ "$(quenlocs)" -eq 0 ] || fail "Quenloc.exe still runs after STOPPED"
wait_for walk_lines 1 10 || fail "the entry walked at the stop was never notified"

# A start right away: never two Quenloc.exe at once.
$W sc start Quenloc >/dev/null || fail "sc start (second)"
most=0
for _ in $(seq 50); do
  n=$(quenlocs); [ "$n" -gt "$most" ] && most=$n
  [ "$(state)" = RUNNING ] && break
  sleep 0.2
done
[ "$most" -le 1 ] || fail "$most Quenloc.exe ran at once"
wait_state RUNNING 30 || fail "the service did not start again"
# An entry of the new process, notified at once: the walked entry, had it been taken again,
# would have come before it.
report Security VtGuardFirst audit-failure 2 'after the start'
wait_for walk_lines 2 60 || fail "the entry after the start was never notified"
senders_done || fail "syslog senders still run a minute after the entry after the start"
[ "$(walk_lines)" -eq 2 ] || fail "the walked entry arrived $(( $(walk_lines) - 1 )) times"
$W sc stop Quenloc >/dev/null
wait_state STOPPED 120 || fail "the service did not stop at the end"
echo "quenloc_stop_walk: all checks passed"
