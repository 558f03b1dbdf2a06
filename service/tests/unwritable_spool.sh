#!/usr/bin/env bash
# The syslog receiver away and the sender's spool unwritable (a folder in its place; a full
# disk or a denied write takes the same path), five System errors notified: each is lost,
# none in silence. The first is named at once in the Application log under the source
# "syslogsend"; the four after it are counted for the next warning, which comes at most
# once an hour.
#   unwritable_spool.sh ROOT BUILD_DIR   (inside with_smtpd.sh and with_rsyslog.sh)
set -euo pipefail
. "$(dirname "$0")/e2e_lib.sh" "$@"
e2e_install
state='HKLM\SOFTWARE\Vantrel\syslogsend'
$W reg delete "$state" /f >/dev/null 2>&1 || true
warnings() { $W "$testbin/read_events.exe" Application syslogsend | tr -d '\r'; }
# Other tests in the prefix write warnings of the source too: only those from here on count.
before=$(warnings | awk -F' [|] ' 'END {print $1 + 0}')
named() { warnings | awk -F' [|] ' -v b="$before" '$1 > b' | grep -a 'neither delivered nor kept' || true; }
counted() {
  local v
  v=$($W reg query "$state" /v LostSinceWarning 2>/dev/null | tr -d '\r' | awk '$1 == "LostSinceWarning" {print $3}')
  echo $((${v:-0}))
}
lost() { echo $(($(named | wc -l) + $(counted))); }
start_syslog_only MonitorSystemLog
closed=$(/usr/bin/python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
set_value SyslogConsolePort "$closed"
mkdir "$dest/syslogsend.spool"
# Whatever happens, the next scenario finds no folder there.
trap 'rmdir "$dest/syslogsend.spool" 2>/dev/null || true' EXIT

for i in 1 2 3 4 5; do report System VtUnwritable error "$i" "unwritable-$i"; done
# Each look starts Wine programs: bounded by looks, not by a time that they would outrun.
for _ in $(seq 60); do [ "$(lost)" -ge 5 ] && break; sleep 0.5; done
[ "$(lost)" -ge 5 ] || fail "$(lost) of 5 lost messages named or counted: $(named)"
[ "$(named | wc -l)" -eq 1 ] || fail "not one warning: $(named)"
[ "$(counted)" -eq 4 ] || fail "$(counted) losses counted after the first"
first=$($W "$testbin/read_events.exe" System VtUnwritable | tr -d '\r' | awk -F' [|] ' '$3 == "unwritable-1" {n = $1} END {print n}')
named | grep -q "Vantrel: System Log - $first - " || fail "the first lost message ($first) is not named: $(named)"
named | grep -q 'syslogsend.spool could not be written' || fail "the warning does not say why: $(named)"
for _ in $(seq 150); do [ -z "$(prefix_processes 'syslogsend\.exe')" ] && break; sleep 0.2; done
[ -z "$(prefix_processes 'syslogsend\.exe')" ] || fail "a sender stayed behind without a spool"
! grep -q 'unwritable-' "$VANTREL_SYSLOG_OUT" 2>/dev/null || fail "a message arrived at a closed port"

$W sc stop Quenloc >/dev/null
wait_state STOPPED 60 || fail "the service did not stop"
rmdir "$dest/syslogsend.spool"
$W reg delete "$state" /f >/dev/null 2>&1 || true
echo "quenloc_unwritable_spool: all checks passed"
