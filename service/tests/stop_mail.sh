#!/usr/bin/env bash
# "sc stop" while one mail is being sent and two wait behind it: the stop waits for them
# (the SCM sees STOP_PENDING meanwhile) and all three arrive before STOPPED. Then a server
# that never answers: after the bounded wait, the mails it held are named once.
#   stop_mail.sh ROOT BUILD_DIR   (inside with_smtpd.sh and with_rsyslog.sh)
set -euo pipefail
. "$(dirname "$0")/e2e_lib.sh" "$@"
e2e_install

# A server that takes 4 s over every message: the three fit in the stop's wait.
slow=$VANTREL_SMTP_DIR/slow
mkdir -p "$slow"
/usr/bin/python3 "$root/service/tests/slow_smtpd.py" "$slow" 4 </dev/null >"$slow/out" 2>&1 &
peer=$!
# A server that accepts and then never says a word.
/usr/bin/python3 - "$slow/hung" <<'PY' >/dev/null 2>&1 &
import os, socket, sys, time
s = socket.socket()
s.bind(("127.0.0.1", 0))
s.listen(8)
s.settimeout(1)
open(sys.argv[1] + ".tmp", "w").write("%d\n" % s.getsockname()[1])
os.rename(sys.argv[1] + ".tmp", sys.argv[1] + ".port")
held, end = [], time.time() + 600
while time.time() < end:
    try:
        held.append(s.accept()[0])
        open(sys.argv[1] + ".busy", "w").close()
    except socket.timeout:
        pass
PY
hung=$!
trap 'kill "$peer" "$hung" 2>/dev/null || true' EXIT
for _ in $(seq 100); do [ -f "$slow/port" ] && break; sleep 0.1; done
[ -f "$slow/port" ] || fail "the slow SMTP server did not start: $(cat "$slow/out")"
for _ in $(seq 100); do [ -f "$slow/hung.port" ] && break; sleep 0.1; done
[ -f "$slow/hung.port" ] || fail "the silent server did not start"

mail_system_errors "127.0.0.1:$(cat "$slow/port")"
# Debug lines say when the service has handed a mail to the control: the stop must come
# only once all three wait there, however slowly the monitor took the entries.
set_value Debug 1
set_value SyslogConsoleName 127.0.0.1
set_value SyslogConsolePort "$VANTREL_SYSLOG_TCP_PORT"
set_value SyslogProtocol TCP
handed() { grep -c 'ShowEventDescription After SendMessage' "$VANTREL_SYSLOG_OUT" 2>/dev/null || true; }
$W sc start Quenloc >/dev/null || fail "sc start"
wait_state RUNNING 30 || fail "the service did not start"

report System VtStopMail error 1 'first'
report System VtStopMail error 2 'second'
report System VtStopMail error 3 'third'
wait_for handed 3 60 || fail "only $(handed) of 3 mails were handed to the mail control"
for _ in $(seq 150); do [ -f "$slow/slow-1.busy" ] && break; sleep 0.2; done
[ -f "$slow/slow-1.busy" ] || fail "the first mail never reached the server"
sent() { ls "$slow"/slow-*.eml 2>/dev/null | wc -l || true; }
[ "$(sent)" -lt 3 ] || fail "every mail was through before the stop: nothing to check"
$W sc stop Quenloc >/dev/null || fail "sc stop"
now=$(state) n=$(sent)
[ "$now" = STOP_PENDING ] || [ "$n" -eq 3 ] || fail "the service is $now with $n of 3 mails sent"
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
echo "three of three mails sent before STOPPED"

set_value SMTPServer "127.0.0.1:$(cat "$slow/hung.port")"
before=$(handed)
$W sc start Quenloc >/dev/null || fail "sc start (silent server)"
wait_state RUNNING 30 || fail "the service did not start again"
report System VtStopMail error 4 'fourth'
report System VtStopMail error 5 'fifth'
for _ in $(seq 150); do [ -f "$slow/hung.busy" ] && break; sleep 0.2; done
[ -f "$slow/hung.busy" ] || fail "no mail reached the silent server"
wait_for handed $((before + 2)) 60 || fail "the two mails were not handed to the mail control"
$W sc stop Quenloc >/dev/null || fail "sc stop (silent server)"
wait_state STOPPED 90 || fail "the service did not stop with its mail held"
# The process has ended and its last debug lines' senders are through.
for _ in $(seq 150); do [ "$(quenlocs)" -eq 0 ] && break; sleep 0.2; done
[ "$(quenlocs)" -eq 0 ] || fail "Quenloc.exe still runs after STOPPED"
senders_done || fail "syslog senders still run a minute after STOPPED"
/usr/bin/python3 - "$VANTREL_SYSLOG_OUT" <<'PY' || fail "the held mails were not named"
import sys
lines = open(sys.argv[1], errors="replace").read().split("<END>")
named = [l for l in lines if "Service stopped before" in l]
failed = [l for l in lines if "VelmSendMail1 Error" in l]
assert len(named) <= 1, "named more than once: %r" % named
count = sum(l.count("Record Number: ") for l in named) + len(failed)
assert count == 2, (named, failed)
print("named:", named, "failed:", len(failed))
PY
echo "quenloc_stop_mail: all checks passed"
