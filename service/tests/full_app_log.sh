#!/usr/bin/env bash
# A full Application log, as a server has it when the log is set never to overwrite: the
# service cannot write its start warnings (here the SMTP warning of a syslog-only set-up),
# and still watches and notifies. What it could not write is said once per start in the
# error log. Run inside with_smtpd.sh and with_rsyslog.sh:
#   full_app_log.sh ROOT BUILD_DIR
set -euo pipefail
. "$(dirname "$0")/e2e_lib.sh" "$@"
e2e_install

# The Application log in a file of its own, 64 KB, never overwritten. Set and put back
# while no process has the log open (the service stopped): a log's "File", "MaxSize" and
# "Retention" are read when it is opened while no process has it open.
app_key='HKLM\SYSTEM\CurrentControlSet\Services\EventLog\Application'
app_file="$WINEPREFIX/drive_c/windows/system32/config/VtAppFull.evt"
app_log_set() {  # FILE MAXSIZE RETENTION
  $W reg add "$app_key" /v File /t REG_EXPAND_SZ /d "%SystemRoot%\\System32\\config\\$1" /f >/dev/null
  $W reg add "$app_key" /v MaxSize /t REG_DWORD /d "$2" /f >/dev/null
  $W reg add "$app_key" /v Retention /t REG_DWORD /d "$3" /f >/dev/null
}
app_log_back() {
  $W sc stop Quenloc >/dev/null 2>&1 || true
  wait_state STOPPED 30 || true
  app_log_set AppEvent.Evt 524288 0
  rm -f "$app_file"
}
trap app_log_back EXIT
rm -f "$app_file"
app_log_set VtAppFull.evt 65536 4294967295
$W "$testbin/report_event.exe" --until-full Application VtFiller | tr -d '\r' || fail "the Application log did not fill up"

smtp_warning='Your SMTP settings are not fully configured.  No email notifications will be sent until these settings are fully configured.'
notes() { grep -ac 'could not be written to the Application log' "$dest/error.log" 2>/dev/null || true; }
record_of() { $W "$testbin/read_events.exe" System VtFullApp | tr -d '\r' | awk -F' [|] ' -v t="$1" '$3 == t {n = $1} END {print n}'; }
heard() {  # TOKEN: the entry reported now reaches rsyslogd
  report System VtFullApp error 31 "$1"
  local n
  n=$(record_of "$1")
  [ -n "$n" ] || fail "no record for $1"
  for _ in $(seq 100); do grep -q -- "| System Log - $n - <END>" "$VANTREL_SYSLOG_OUT" && return 0; sleep 0.2; done
  fail "the System entry \"$1\" was not notified: the service watches nothing"
}

echo "--- a start with the Application log full"
set_value Debug 1
start_syslog_only MonitorSystemLog
heard 'heard although the Application log is full'
[ "$(state)" = RUNNING ] || fail "the service stopped"
grep -q 'Debugging Started In SvcIt1_Start<END>' "$VANTREL_SYSLOG_OUT" || fail "no debug line: Debug was not read"
! grep -Eq 'Error: -?[0-9]+ - ' "$VANTREL_SYSLOG_OUT" || fail "the start went to its error tail: $(grep 'Error: ' "$VANTREL_SYSLOG_OUT")"
echo "--- error.log"
cat "$dest/error.log" 2>/dev/null || true
[ "$(notes)" -eq 1 ] || fail "expected one note in the error log, got $(notes)"
grep -aqF "$smtp_warning" "$dest/error.log" || fail "the note does not hold the unwritten warning"
grep -aqi 'event log file.*full\.\?)' "$dest/error.log" || fail "the note does not say why"
! grep -aq 'Runtime error' "$dest/error.log" || fail "an error was trapped"

echo "--- a second start: said once more"
$W sc stop Quenloc >/dev/null
wait_state STOPPED 30 || fail "the service did not stop"
$W sc start Quenloc >/dev/null || fail "sc start"
wait_state RUNNING 30 || fail "the service did not reach RUNNING"
heard 'heard after a second start'
[ "$(notes)" -eq 2 ] || fail "expected a second note in the error log, got $(notes)"
echo "quenloc_full_app_log: all checks passed"
