#!/usr/bin/env bash
# A stop in the middle of a burst: 200 System entries at once, "sc stop" 5 s later, while
# the service is still notifying them (about 25 a second). Every entry the service has
# taken is notified before the SCM hears STOPPED, so every record number of the burst
# arrives at rsyslogd, and nothing arrives after STOPPED.
#   stop_burst.sh ROOT BUILD_DIR   (inside with_smtpd.sh and with_rsyslog.sh)
set -euo pipefail
. "$(dirname "$0")/e2e_lib.sh" "$@"
e2e_install

start_syslog_only MonitorSystemLog

burst_lines() { cat "$VANTREL_SYSLOG_OUT" 2>/dev/null | grep -c 'System Log - ' || true; }
reports=$(dirname "$VANTREL_SYSLOG_OUT")/burst.reports
$W "$build/bin/report_burst.exe" System VtStopBurst 200 0 | tr -d '\r' > "$reports" || fail "report_burst"
sleep 5
[ "$(burst_lines)" -lt 200 ] || fail "the burst was over before the stop: nothing to check"
echo "stopping with $(burst_lines) of 200 notified"
$W sc stop Quenloc >/dev/null || fail "sc stop"
wait_state STOPPED 90 || fail "the service did not stop"
at_stop=$(burst_lines)
echo "STOPPED with $at_stop notified"
sleep 3  # a sender started before STOPPED may still be on its way
/usr/bin/python3 - "$reports" "$VANTREL_SYSLOG_OUT" <<'PY' || fail "record numbers"
import re, sys
sent = [int(l.split()[0]) for l in open(sys.argv[1]) if l.strip()]
got = [int(n) for n in re.findall(r"System Log - (\d+) - ", open(sys.argv[2], errors="replace").read())]
missing = sorted(set(sent) - set(got))
assert len(sent) == 200, len(sent)
assert not missing, "missing %d: %s" % (len(missing), missing[:20])
assert len(got) == len(set(got)), "some entries were notified twice"
PY
[ "$(burst_lines)" -le $((at_stop + 16)) ] || fail "$(( $(burst_lines) - at_stop )) lines arrived after STOPPED"
echo "quenloc_stop_burst: all checks passed"
