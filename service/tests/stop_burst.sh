#!/usr/bin/env bash
# A stop in the middle of a burst, twice: entries are still waiting to be notified when
# "sc stop" comes. Every entry the service has taken is notified before the SCM hears
# STOPPED, so every record number of the burst arrives at rsyslogd and nothing arrives
# after STOPPED; meanwhile STOP_PENDING's checkpoint moves.
#  1. exclude mode: 250 System entries;
#  2. include mode whose list walk lets messages through for every entry, so the stop and
#     the walks of the entries taken run into each other: 150 entries.
# The waiting entries are made, not raced for: the service process is held still while the
# burst is written and the stop is sent, so the whole burst waits when the stop comes,
# however fast the machine notifies.
# Then a stop that keeps its bound: two logs with far more entries queued than the bound
# lets out (the bound shortened to 15 s for the test, and the service held still through
# it): STOPPED comes within the bound and a little, the entries left are named by log and
# record numbers, and every entry of the two bursts is either notified or named.
#   stop_burst.sh ROOT BUILD_DIR   (inside with_smtpd.sh and with_rsyslog.sh)
set -euo pipefail
. "$(dirname "$0")/e2e_lib.sh" "$@"
e2e_install

set_value MonitorSystemLog 1
set_value MonitorErrorEvents 1
set_value SendEmail 0
set_value SendSyslogMessage 1
set_value SyslogConsoleName 127.0.0.1
set_value SyslogConsolePort "$VANTREL_SYSLOG_TCP_PORT"
set_value SyslogProtocol TCP
work=$(dirname "$VANTREL_SYSLOG_OUT")
burst_lines() { cat "$VANTREL_SYSLOG_OUT" 2>/dev/null | grep -c 'System Log - ' || true; }

burst() {  # name count
  local name=$1 count=$2 before at_stop since checkpoints
  $W sc start Quenloc >/dev/null || fail "$name: sc start"
  wait_state RUNNING 30 || fail "$name: the service did not start"
  before=$(burst_lines)
  freeze_service System
  $W "$testbin/report_burst.exe" System VtStopBurst "$count" 0 | tr -d '\r' > "$work/$name.reports" ||
    fail "$name: report_burst"
  request_stop "$name"
  [ "$(burst_lines)" -eq "$before" ] || fail "$name: entries were notified while the service was held"
  thaw_service
  # The checkpoints STOP_PENDING shows, with the seconds since the stop, until STOPPED.
  since=$SECONDS
  : > "$work/$name.checkpoints"
  for _ in $(seq 900); do
    q=$($W sc query Quenloc | tr -d '\r')
    [ "$(awk '/STATE/ {print $4}' <<<"$q")" = STOPPED ] && break
    echo "$((SECONDS - since)) $(awk '/CHECKPOINT/ {print $3}' <<<"$q")" >> "$work/$name.checkpoints"
    sleep 0.2
  done
  [ "$($W sc query Quenloc | tr -d '\r' | awk '/STATE/ {print $4}')" = STOPPED ] || fail "$name: the service did not stop"
  at_stop=$(burst_lines)
  echo "$name: STOPPED after $((SECONDS - since)) s with $((at_stop - before)) notified"
  # A stop that took more than 3 s showed its checkpoint moving.
  checkpoints=$(awk '{print $2}' "$work/$name.checkpoints" | sort -u | wc -l)
  if [ "$((SECONDS - since))" -gt 3 ] && [ "$(wc -l < "$work/$name.checkpoints")" -gt 3 ]; then
    [ "$checkpoints" -ge 2 ] || fail "$name: the checkpoint stood still: $(tr '\n' ' ' < "$work/$name.checkpoints")"
  fi
  senders_done || fail "$name: syslog senders still run a minute after STOPPED"
  /usr/bin/python3 - "$work/$name.reports" "$VANTREL_SYSLOG_OUT" "$count" <<'PY' || fail "$name: record numbers"
import re, sys
sent = [int(l.split()[0]) for l in open(sys.argv[1]) if l.strip()]
got = [int(n) for n in re.findall(r"System Log - (\d+) - ", open(sys.argv[2], errors="replace").read())]
mine = [n for n in got if n in set(sent)]
missing = sorted(set(sent) - set(mine))
assert len(sent) == int(sys.argv[3]), len(sent)
assert not missing, "missing %d: %s" % (len(missing), missing[:20])
assert len(mine) == len(set(mine)), "some entries were notified twice"
PY
  [ "$(burst_lines)" -le $((at_stop + 16)) ] || fail "$name: $(( $(burst_lines) - at_stop )) lines arrived after STOPPED"
}

set_value IncludeExclude E
: > "$dest/EXCLUSIONS.TXT"
burst exclude 250

# No list line before the burst's source matches it, so the walk yields once per entry.
set_value IncludeExclude I
printf 'VtOtherSource\r\nVtStopBurst\r\n' > "$dest/EXCLUSIONS.TXT"
burst include 150

echo "--- two logs with more queued than the bound lets out"
bound=15
set_value IncludeExclude E
: > "$dest/EXCLUSIONS.TXT"
set_value MonitorAppLog 1
set_value EntriesWaitAtEndMs $((bound * 1000))
$W sc start Quenloc >/dev/null || fail "two logs: sc start"
wait_state RUNNING 30 || fail "two logs: the service did not start"
freeze_service System Application
# A source of its own per log: a source writes to the first log that has it.
$W "$testbin/report_burst.exe" System VtStopTwoSys 1000 0 | tr -d '\r' > "$work/two.System" &
$W "$testbin/report_burst.exe" Application VtStopTwoApp 1000 0 | tr -d '\r' > "$work/two.Application" &
wait %1 %2 || fail "two logs: report_burst"
request_stop "two logs"
thaw_service
since=$SECONDS
# Held still through the bound once the stop waits: more is left then than any machine
# notifies in the moment before.
wait_state STOP_PENDING 30 || fail "two logs: the service did not reach STOP_PENDING"
freeze_service
sleep "$bound"
thaw_service
for _ in $(seq 900); do [ "$(state)" = STOPPED ] && break; sleep 0.2; done
took=$((SECONDS - since))
[ "$(state)" = STOPPED ] || fail "two logs: the service did not stop within $took s"
echo "two logs: STOPPED after $took s"
# The entries taken at the stop, then the bound, then what is left is named: a few seconds
# beyond the bound on a loaded machine, never the minutes the whole queue would take.
[ "$took" -le $((bound + 25)) ] || fail "two logs: the stop took $took s, its bound is $bound s"
senders_done || fail "two logs: syslog senders still run a minute after STOPPED"
$W "$testbin/read_events.exe" Application Quenloc | tr -d '\r' | grep 'Service stopped before' | tail -1 \
  > "$work/two.named" || true
echo "two logs: $(cat "$work/two.named")"
/usr/bin/python3 - "$work" "$VANTREL_SYSLOG_OUT" <<'PY' || fail "two logs: notified and named entries"
import re, sys
work, out = sys.argv[1], sys.argv[2]
named_line = open(work + "/two.named").read()
named = {log: (int(n), int(a), int(b or a)) for n, log, a, b in
         re.findall(r"(\d+) of the (\w+) log \(records? (\d+)(?: to (\d+))?\)", named_line)}
syslog = open(out, errors="replace").read()
assert named, "nothing named: %r" % named_line
for log in ("System", "Application"):
    sent = [int(l.split()[0]) for l in open("%s/two.%s" % (work, log)) if l.strip()]
    assert len(sent) == 1000, (log, len(sent))
    got = {int(n) for n in re.findall(r"%s Log - (\d+) - " % log, syslog)} & set(sent)
    left = sorted(set(sent) - got)
    if not left:
        continue
    assert log in named, "%s: %d entries neither notified nor named: %s" % (log, len(left), named_line)
    count, first, last = named[log]
    assert first <= left[0] and left[-1] <= last, (log, left[:5], left[-5:], first, last)
    assert not [n for n in got if first <= n <= last], (log, "notified entries named as left")
    assert count >= len(left), (log, count, len(left))
    print("%s: %d notified, %d named (records %d to %d)" % (log, len(got), count, first, last))
PY
echo "quenloc_stop_burst: all checks passed"
