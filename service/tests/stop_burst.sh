#!/usr/bin/env bash
# A stop in the middle of a burst, twice: entries are still waiting to be notified when
# "sc stop" comes. Every entry the service has taken is notified before the SCM hears
# STOPPED, so every record number of the burst arrives at rsyslogd and nothing arrives
# after STOPPED; meanwhile STOP_PENDING's checkpoint moves.
#  1. exclude mode: 250 System entries at once, "sc stop" 4 s later (at most some 25 are
#     notified a second), so the stop waits while most of them go out;
#  2. include mode whose list walk lets events through for every entry (the stop runs in
#     the middle of a walk): 150 entries, "sc stop" 3 s later;
#  3. no stop at all: the service process killed in the middle of a burst of 400, 10 more
#     entries written while it is dead, then started again: it resumes after the last entry
#     it notified, so every entry of the burst and the 10 arrive.
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

burst() {  # name count seconds_before_stop
  local name=$1 count=$2 pause=$3 before at_stop since checkpoints
  $W sc start Quenloc >/dev/null || fail "$name: sc start"
  wait_state RUNNING 30 || fail "$name: the service did not start"
  sleep 1.5  # the monitor's first check
  before=$(burst_lines)
  $W "$build/bin/report_burst.exe" System VtStopBurst "$count" 0 | tr -d '\r' > "$work/$name.reports" ||
    fail "$name: report_burst"
  sleep "$pause"
  [ "$(burst_lines)" -lt $((before + count)) ] || fail "$name: the burst was over before the stop: nothing to check"
  echo "$name: stopping with $(( $(burst_lines) - before )) of $count notified"
  $W sc stop Quenloc >/dev/null || fail "$name: sc stop"
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
  sleep 3  # a sender started before STOPPED may still be on its way
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
burst exclude 250 4

# No list line before the burst's source matches it, so the walk yields once per entry.
set_value IncludeExclude I
printf 'VtOtherSource\r\nVtStopBurst\r\n' > "$dest/EXCLUSIONS.TXT"
burst include 150 3

# Whether a Quenloc.exe of this prefix still runs (Wine's SCM goes on showing RUNNING).
quenloc_alive() {
  local p
  for p in $(pgrep -f 'Quenloc\.exe' || true); do
    grep -qx "WINEPREFIX=$WINEPREFIX" < <(tr '\0' '\n' 2>/dev/null < "/proc/$p/environ") && return 0
  done
  return 1
}
# A sender that the killed service was starting at that moment can hang for ever before
# its program runs (Wine waits for what the dead parent never sent; wineserver does not
# know it, so taskkill cannot end it), holding syslogsend.exe open: end those that started
# before the kill.
end_hung_senders() {
  local p
  for p in $(pgrep -f 'syslogsend\.exe' || true); do
    grep -qx "WINEPREFIX=$WINEPREFIX" < <(tr '\0' '\n' 2>/dev/null < "/proc/$p/environ") || continue
    [ "$(ps -o etimes= -p "$p" 2>/dev/null || echo 0)" -ge $((SECONDS - killed_at)) ] &&
      { echo "killed: ending hung sender $p"; kill -9 "$p" || true; }
  done
}
set_value IncludeExclude E
: > "$dest/EXCLUSIONS.TXT"
$W sc start Quenloc >/dev/null || fail "killed: sc start"
wait_state RUNNING 30 || fail "killed: the service did not start"
sleep 1.5  # the monitor's first check
before=$(burst_lines)
$W "$build/bin/report_burst.exe" System VtStopBurst 400 0 | tr -d '\r' > "$work/killed.reports" ||
  fail "killed: report_burst"
for _ in $(seq 300); do [ "$(burst_lines)" -ge $((before + 20)) ] && break; sleep 0.2; done
$W taskkill /f /im Quenloc.exe >/dev/null 2>&1 || fail "killed: taskkill"
killed_at=$SECONDS
trap end_hung_senders EXIT
for _ in $(seq 150); do quenloc_alive || break; sleep 0.2; done
quenloc_alive && fail "killed: Quenloc.exe still runs"
at_kill=$(burst_lines)
echo "killed: killed with $((at_kill - before)) of 400 notified"
[ "$at_kill" -lt $((before + 400)) ] || fail "killed: the burst was over before the kill: nothing to check"
$W "$build/bin/report_burst.exe" System VtStopBurst 10 0 | tr -d '\r' >> "$work/killed.reports" ||
  fail "killed: report_burst while dead"
$W sc start Quenloc >/dev/null || fail "killed: sc start after the kill"
wait_state RUNNING 30 || fail "killed: the service did not start again"
# Until all have arrived, or nothing more has come for 20 s. Some entries notified just
# before the kill come twice (the last one notified is kept once a second): count each once.
first=$(head -1 "$work/killed.reports" | cut -d' ' -f1)
killed_arrived() {
  { grep -o 'System Log - [0-9]* - ' "$VANTREL_SYSLOG_OUT" 2>/dev/null || true; } | awk -v f="$first" '$4 >= f' | sort -u | wc -l
}
wait_settled killed_arrived 410
/usr/bin/python3 - "$work/killed.reports" "$VANTREL_SYSLOG_OUT" <<'PY' || fail "killed: record numbers"
import re, sys
sent = [int(l.split()[0]) for l in open(sys.argv[1]) if l.strip()]
got = set(int(n) for n in re.findall(r"System Log - (\d+) - ", open(sys.argv[2], errors="replace").read()))
missing = sorted(set(sent) - got)
assert len(sent) == 410, len(sent)
assert not missing, "missing %d: %s" % (len(missing), missing[:20])
PY
$W sc stop Quenloc >/dev/null || fail "killed: sc stop"
wait_state STOPPED 330 || fail "killed: the service did not stop"
echo "quenloc_stop_burst: all checks passed"
