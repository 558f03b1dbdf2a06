#!/usr/bin/env bash
# A stop during a long include walk, then a start. The entry being walked is notified
# before the SCM hears STOPPED; the old process has ended by then, so nothing arrives from
# it afterwards and the start that follows never runs beside it.
#   stop_walk.sh ROOT BUILD_DIR   (inside with_smtpd.sh and with_rsyslog.sh)
set -euo pipefail
. "$(dirname "$0")/e2e_lib.sh" "$@"
e2e_install

set_value MonitorSystemLog 1
set_value MonitorErrorEvents 1
set_value IncludeExclude I
set_value SendEmail 0
set_value SendSyslogMessage 1
set_value SyslogConsoleName 127.0.0.1
set_value SyslogConsolePort "$VANTREL_SYSLOG_TCP_PORT"
set_value SyslogProtocol TCP
# The entry's source is on the last line: the walk lets events through after each of the
# lines before it, which takes a while.
/usr/bin/python3 - "$dest/EXCLUSIONS.TXT" "${WALK_LINES:-200000}" <<'PY'
import sys
with open(sys.argv[1], "w", newline="") as f:
    f.writelines("VtWalkOther%d\r\n" % i for i in range(int(sys.argv[2])))
    f.write("VtWalk\r\n")
PY
$W sc start Quenloc >/dev/null || fail "sc start"
wait_state RUNNING 30 || fail "the service did not start"
sleep 1.5  # the monitor's first check

walk_lines() { cat "$VANTREL_SYSLOG_OUT" 2>/dev/null | grep -c 'System Log - ' || true; }

start=$(date +%s.%N)
report System VtWalk error 1 'taken before the stop'
sleep 3
[ "$(walk_lines)" -eq 0 ] || fail "the walk was over before the stop: nothing to check"
$W sc stop Quenloc >/dev/null || fail "sc stop"
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
sleep 3
[ "$(walk_lines)" -eq 1 ] || fail "the walked entry arrived $(walk_lines) times"
$W sc stop Quenloc >/dev/null
wait_state STOPPED 120 || fail "the service did not stop at the end"
echo "quenloc_stop_walk: all checks passed"
