#!/usr/bin/env bash
# "sc stop" while one mail is being sent and two wait behind it: the stop waits for them
# (the SCM sees STOP_PENDING meanwhile) and all three arrive before STOPPED.
#   stop_mail.sh ROOT BUILD_DIR   (inside with_smtpd.sh and with_rsyslog.sh)
set -euo pipefail
. "$(dirname "$0")/e2e_lib.sh" "$@"
e2e_install

# A server that takes 3 s over every message.
slow=$VANTREL_SMTP_DIR/slow
mkdir -p "$slow"
/usr/bin/python3 "$root/service/tests/slow_smtpd.py" "$slow" 3 </dev/null >"$slow/out" 2>&1 &
peer=$!
trap 'kill "$peer" 2>/dev/null || true' EXIT
for _ in $(seq 100); do [ -f "$slow/port" ] && break; sleep 0.1; done
[ -f "$slow/port" ] || fail "the slow SMTP server did not start: $(cat "$slow/out")"

set_value SMTPServer "127.0.0.1:$(cat "$slow/port")"
set_value FromEmail "vantrel@example.org"
set_value MonitorSystemLog 1
set_value MonitorErrorEvents 1
set_value IncludeExclude E
set_value SendEmail 1
set_value SendSyslogMessage 0
printf 'ops@example.org\r\n' > "$dest/To.txt"
: > "$dest/EXCLUSIONS.TXT"
$W sc start Quenloc >/dev/null || fail "sc start"
wait_state RUNNING 30 || fail "the service did not start"
sleep 1.5  # the monitor's first check

report System VtStopMail error 1 'first'
report System VtStopMail error 2 'second'
report System VtStopMail error 3 'third'
for _ in $(seq 150); do [ -f "$slow/slow-1.busy" ] && break; sleep 0.2; done
[ -f "$slow/slow-1.busy" ] || fail "the first mail never reached the server"
$W sc stop Quenloc >/dev/null || fail "sc stop"
sent() { ls "$slow"/slow-*.eml 2>/dev/null | wc -l; }
[ "$(sent)" -eq 0 ] || fail "a mail was through before the stop: nothing to check"
[ "$(state)" = STOP_PENDING ] || fail "the service is $(state) while its mail is being sent"
wait_state STOPPED 60 || fail "the service did not stop"
[ "$(sent)" -eq 3 ] || fail "$(sent) of 3 mails arrived before STOPPED"
/usr/bin/python3 - "$slow" <<'PY' || fail "the three mails"
import email, glob, sys
from email import policy
codes = set()
for name in glob.glob(sys.argv[1] + "/slow-*.eml"):
    body = email.message_from_bytes(open(name, "rb").read(), policy=policy.default).get_body().get_content()
    codes |= {l.split(": ")[1] for l in body.splitlines() if l.startswith("Event Code: ")}
assert codes == {"1", "2", "3"}, codes
PY
echo "quenloc_stop_mail: all checks passed"
