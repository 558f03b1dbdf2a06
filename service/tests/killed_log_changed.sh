#!/usr/bin/env bash
# The service process killed; while it is dead the System log is cleared and gets more
# entries than the last one notified had as its number, and a 64 KB "DNS Server" log wraps
# past the last entry notified. Started again, it notifies every entry both logs hold that
# came after, and one warning counts what the small log overwrote. Killed once more, the
# System log cleared and given fewer entries than before: those are notified too. Killed
# with the log left alone: only the entries after the mark. Last, a mark that cannot be
# read is told in one warning.
#   killed_log_changed.sh ROOT BUILD_DIR   (inside with_smtpd.sh and with_rsyslog.sh)
set -euo pipefail
. "$(dirname "$0")/e2e_lib.sh" "$@"
. "$root/service/bench/small_log.sh"
e2e_install
small_log_on
trap 'end_hung_senders; $W sc stop Quenloc >/dev/null 2>&1 || true; wait_state STOPPED 30 || true; small_log_off' EXIT

work=$(dirname "$VANTREL_SYSLOG_OUT")
burst() { $W "$testbin/report_burst.exe" "$@" | tr -d '\r' || fail "report_burst $*"; }
# "oldest count" of a log; "clear" clears it first.
log_window() {
  local out
  out=$($W cscript.exe //nologo "$(winpath "$root/service/tests/log_window.vbs")" "$@" | tr -d '\r')
  [[ "$out" =~ ^[0-9]+\ [0-9]+$ ]] || fail "log_window $*: \"$out\""
  echo "$out"
}
# The number of the last entry the monitor of a log keeps as notified.
last_raised() {
  local v
  v=$($W reg query "HKLM\\SOFTWARE\\Mirrolan\\Resume\\Quenloc.exe\\$1" /v LastRaised 2>/dev/null | tr -d '\r' |
    awk '$1 == "LastRaised" {print $3}')
  echo $((${v:-0}))
}
system_mark() { last_raised System; }
dns_mark() { last_raised 'DNS Server'; }
# Distinct record numbers notified since byte `from` of the syslog output, per log label.
from=0
notified() { tail -c +$((from + 1)) "$VANTREL_SYSLOG_OUT" 2>/dev/null | grep -ao "$1 - [0-9]* - " | sort -u | wc -l; }
system_new() { notified 'System Log'; }
dns_new() { notified 'DNSLog'; }
# Every record number first..last notified once since `from`, and no other.
check_notified() {  # label first last what
  tail -c +$((from + 1)) "$VANTREL_SYSLOG_OUT" | /usr/bin/python3 -c '
import collections, re, sys
label, first, last = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
seen = collections.Counter(int(n) for n in re.findall(re.escape(label) + r" - (\d+) - ", sys.stdin.read()))
want = set(range(first, last + 1))
missing = sorted(want - set(seen))
print("%s: %d of %d notified" % (sys.argv[4], len(want) - len(missing), len(want)))
assert not missing, "never notified: %s" % missing[:20]
assert set(seen) == want, "notified, but not asked for: %s" % sorted(set(seen) - want)[:20]
twice = sorted(n for n, c in seen.items() if c > 1)
assert not twice, "notified more than once: %s" % twice[:20]
' "$@" || fail "$4"
}
restart() {
  $W sc start Quenloc >/dev/null || fail "sc start after the kill"
  wait_state RUNNING 30 || fail "the service did not start again"
}

[ "$(log_window System clear)" = "0 0" ] || fail "the System log was not cleared"
set_value MonitorDNSLog 1
start_syslog_only MonitorSystemLog
burst System VtResumeBefore 12 0 >/dev/null
burst "DNS Server" VtResumeDns 20 0 >/dev/null
wait_for system_new 12 60 || fail "12 System entries before the kill: $(system_new) notified"
wait_for dns_new 20 60 || fail "20 DNS entries before the kill: $(dns_new) notified"
wait_for system_mark 12 20 || fail "the System mark stayed at $(system_mark)"
wait_for dns_mark 20 20 || fail "the DNS mark stayed at $(dns_mark)"
kill_quenloc

# Cleared and refilled beyond the mark's number; wrapped past the mark.
from=$(stat -c %s "$VANTREL_SYSLOG_OUT")
[ "$(log_window System clear)" = "0 0" ] || fail "the System log was not cleared"
burst System VtResumeAfter 20 0 >/dev/null
burst "DNS Server" VtResumeDns 300 0 200 >/dev/null
w=$(log_window "DNS Server")
read -r oldest count <<<"$w"
echo "killed_log_changed: the DNS log holds $oldest to $((oldest + count - 1))"
[ "$oldest" -gt 21 ] || fail "the DNS log did not wrap past the mark"
w=$(log_window Application)
read -r app_oldest app_count <<<"$w"
restart
wait_settled system_new 20
wait_settled dns_new "$count"
check_notified 'System Log' 1 20 "System log cleared, 20 written, mark 12"
check_notified DNSLog "$oldest" $((oldest + count - 1)) "DNS log wrapped past the mark"
warning="Mirrolan lost $((oldest - 21)) new entries of the DNS Server log before raising them."
# How many warnings with the text $warning came since the start (earlier runs' stay in the
# prefix's log).
warned() {
  $W "$testbin/read_events.exe" Application Mirrolan | tr -d '\r' |
    awk -F' [|] ' -v after=$((app_oldest + app_count - 1)) -v text="$warning" '$1 > after && index($0, text) {n++} END {print n + 0}'
}
wait_for warned 1 20 || fail "no warning \"$warning\""
[ "$(warned)" -eq 1 ] || fail "the warning \"$warning\" came $(warned) times"

# Cleared, and fewer entries written than the mark's number.
wait_for system_mark 20 20 || fail "the System mark stayed at $(system_mark)"
kill_quenloc
from=$(stat -c %s "$VANTREL_SYSLOG_OUT")
[ "$(log_window System clear)" = "0 0" ] || fail "the System log was not cleared"
burst System VtResumeFew 5 0 >/dev/null
restart
wait_settled system_new 5
check_notified 'System Log' 1 5 "System log cleared, 5 written, mark 20"

# Killed with the log left as it was: only what came after the last entry notified.
wait_for system_mark 5 20 || fail "the System mark stayed at $(system_mark)"
kill_quenloc
from=$(stat -c %s "$VANTREL_SYSLOG_OUT")
burst System VtResumeKept 3 0 >/dev/null
restart
wait_settled system_new 3
check_notified 'System Log' 6 8 "System log kept, 3 written, mark 5"
$W sc stop Quenloc >/dev/null || fail "sc stop"
wait_state STOPPED 60 || fail "the service did not stop"

# A mark that cannot be read is told once, not taken for a clean stop.
$W reg add 'HKLM\SOFTWARE\Mirrolan\Resume\Quenloc.exe\System' /v Clean /d yes /f >/dev/null || fail "reg add Clean"
w=$(log_window Application)
read -r app_oldest app_count <<<"$w"
warning="Mirrolan could not read where it had stopped in the System log: entries written while it was not running are not raised."
$W sc start Quenloc >/dev/null || fail "sc start"
wait_state RUNNING 30 || fail "the service did not reach RUNNING"
wait_for warned 1 20 || fail "no warning \"$warning\""
[ "$(warned)" -eq 1 ] || fail "the warning \"$warning\" came $(warned) times"
echo "quenloc_killed_log_changed: all checks passed"
