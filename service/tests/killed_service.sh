#!/usr/bin/env bash
# The service process killed in the middle of a burst of 400 System entries, 10 more
# entries written while it is dead, then started again: it resumes after the last entry it
# notified, so every entry of the burst and the 10 arrive at rsyslogd.
#   killed_service.sh ROOT BUILD_DIR   (inside with_smtpd.sh and with_rsyslog.sh)
set -euo pipefail
. "$(dirname "$0")/e2e_lib.sh" "$@"
e2e_install

work=$(dirname "$VANTREL_SYSLOG_OUT")
burst_lines() { cat "$VANTREL_SYSLOG_OUT" 2>/dev/null | grep -c 'System Log - ' || true; }

start_syslog_only MonitorSystemLog
before=$(burst_lines)
$W "$testbin/report_burst.exe" System VtKilledBurst 400 0 | tr -d '\r' > "$work/killed.reports" ||
  fail "killed: report_burst"
for _ in $(seq 300); do [ "$(burst_lines)" -ge $((before + 20)) ] && break; sleep 0.2; done
# Held still at once: however fast the machine, the rest of the burst is still to be
# notified when taskkill comes.
freeze_service
kill_quenloc
trap end_hung_senders EXIT
at_kill=$(burst_lines)
echo "killed: killed with $((at_kill - before)) of 400 notified"
[ "$at_kill" -lt $((before + 400)) ] || fail "killed: the burst was over before the kill: nothing to check"
$W "$testbin/report_burst.exe" System VtKilledBurst 10 0 | tr -d '\r' >> "$work/killed.reports" ||
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
echo "quenloc_killed_service: all checks passed"
