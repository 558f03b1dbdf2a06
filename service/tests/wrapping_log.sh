#!/usr/bin/env bash
# A log that wraps while notifications are sent: 1,000 entries, one every 10 ms, into a
# 64 KB log that holds some 700 of them, while each notification starts the syslog sender.
# Every entry is notified exactly once. Run inside with_smtpd.sh and with_rsyslog.sh:
#   wrapping_log.sh ROOT BUILD_DIR
set -euo pipefail
. "$(dirname "$0")/e2e_lib.sh" "$@"
. "$root/service/bench/small_log.sh"
e2e_install
small_log_on
trap '$W sc stop Quenloc >/dev/null 2>&1; wait_state STOPPED 30 || true; small_log_off' EXIT

start_syslog_only MonitorDNSLog

work=$(dirname "$VANTREL_SYSLOG_OUT")
$W "$testbin/report_burst.exe" "DNS Server" VtWrap 1000 10 | tr -d '\r' > "$work/reports" || fail "report_burst"
[ "$(wc -l < "$work/reports")" -eq 1000 ] || fail "report_burst wrote $(wc -l < "$work/reports") entries"
size=$(stat -c %s "$small_log_file")
[ "$size" -le 65536 ] || fail "the log grew to $size bytes: it did not wrap"
notified() { grep -c 'DNSLog - ' "$VANTREL_SYSLOG_OUT" || true; }
# One entry more once the log has wrapped: entries are notified in record order, so once it
# has arrived and its sender is through, an entry notified twice has arrived twice.
$W "$testbin/report_burst.exe" "DNS Server" VtWrap 1 0 | tr -d '\r' >> "$work/reports" || fail "report_burst"
last=$(tail -1 "$work/reports" | cut -d' ' -f1)
# Until it has arrived, or nothing more has come for 20 s.
arrived_last() { grep -c "DNSLog - $last - " "$VANTREL_SYSLOG_OUT" || true; }
wait_settled notified 1001
for _ in $(seq 300); do [ "$(arrived_last)" -ge 1 ] && break; sleep 0.2; done
senders_done || fail "syslog senders still run a minute after the last entry"
/usr/bin/python3 - "$work/reports" "$VANTREL_SYSLOG_OUT" <<'PY' || fail "notified entries"
import collections, re, sys
sent = [int(l.split()[0]) for l in open(sys.argv[1]) if l.strip()]
text = open(sys.argv[2], encoding="utf-8", errors="replace").read()
seen = collections.Counter(int(n) for n in re.findall(r"DNSLog - (\d+) - ", text))
missing = [n for n in sent if n not in seen]
twice = [n for n, c in seen.items() if c > 1]
print("notified %d of %d" % (len(sent) - len(missing), len(sent)))
assert not missing, "never notified: %s" % missing[:20]
assert not twice, "notified more than once: %s" % twice[:20]
assert set(seen) == set(sent), "notified entries nobody reported: %s" % sorted(set(seen) - set(sent))[:20]
PY
echo "quenloc_wrapping_log: all checks passed"
