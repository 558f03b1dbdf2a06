#!/usr/bin/env bash
# The road of one event under Wine's SCM: installs Vantrel into the build's prefix,
# configures a recipient and a syslog destination on loopback, starts the service
# "Quenloc", reports events into the System and Application logs and waits for the mail
# at the SMTP peer and the syslog line at rsyslogd. Run inside with_smtpd.sh and
# with_rsyslog.sh:
#   end_to_end.sh ROOT BUILD_DIR
set -euo pipefail
. "$(dirname "$0")/e2e_lib.sh" "$@"
e2e_install

# A fresh install notifies nothing: the switches, the mode and the channels are set here.
set_value SMTPServer "127.0.0.1:$VANTREL_SMTP_PLAIN_PORT"
set_value FromEmail "vantrel@example.org"
set_value MonitorAppLog 1
set_value MonitorSystemLog 1
set_value MonitorErrorEvents 1
set_value MonitorWarningEvents 1
set_value MonitorInfoEvents 0
set_value IncludeExclude E
set_value SendEmail 1
set_value SendSyslogMessage 1
set_value SyslogConsoleName 127.0.0.1
set_value SyslogConsolePort "$VANTREL_SYSLOG_TCP_PORT"
set_value SyslogProtocol TCP
printf 'ops@example.org\r\n' > "$dest/To.txt"
# Entries of this source are excluded; the list also holds a line whose number is no number.
printf 'VtE2eExcluded\r\n' > "$dest/EXCLUSIONS.TXT"

# The administrator starts the service from the installed manager, then closes it
# without a restart.
echo "starting the service from the manager"
# Its output goes to a file: a manager left behind by a failed check must not hold the
# test's output open until the timeout.
$W "$dest/Tallisk.exe" >"$build/e2e-manager.out" 2>&1 &
manager=$!
post "Vantrel Manager" 1101  # the "startservice" button
wait_state RUNNING 30 || fail "the manager did not start the service"
sleep 4  # the manager's wait before it reads the state again
post "Vantrel Manager" close
post "Vantrel" 7  # "Do You Want To Restart The Vantrel Service?": No
wait "$manager" || fail "the manager ended with an error"
echo "service running (started from the manager)"
sleep 1.5  # the monitors' first check

report System VtE2eDisk error 11 '\Device\Harddisk0' 'bad "block"'
report Application VtE2eApp warning 0xC0000064 'line one'
report Application VtE2eInfo information 5            # information is switched off
report Application VtE2eExcluded error 7               # excluded by the list
wait_for mails 2 20 || fail "expected 2 mails, got $(mails)"
wait_for lines 2 20 || fail "expected 2 syslog lines, got $(lines)"
sleep 2  # nothing more may arrive
[ "$(mails)" -eq 2 ] || fail "expected exactly 2 mails, got $(mails)"
[ "$(lines)" -eq 2 ] || fail "expected exactly 2 syslog lines, got $(lines)"

system_mail=$(grep -l 'VtE2eDisk' "$VANTREL_SMTP_DIR"/plain-*.eml | head -1)
[ -n "$system_mail" ] || fail "no mail for the System entry"
echo "--- mail for the System entry"
cat "$system_mail"
echo "--- syslog lines"
cat "$VANTREL_SYSLOG_OUT"
/usr/bin/python3 - "$system_mail" "$VANTREL_SYSLOG_OUT" <<'PY' || fail "notification texts"
import email, re, sys
from email import policy
msg = email.message_from_bytes(open(sys.argv[1], "rb").read(), policy=policy.default)
subject = msg["Subject"]
assert re.fullmatch(r"Computer: \S+ - Record Number: \d+ - \S+ \S+( [AP]M)?", subject), subject
body = msg.get_body().get_content().replace("\r\n", "\n")
lines = body.rstrip("\n").split("\n")
assert lines[0] == ("The description for Event ID ( 11 ) in Source ( VtE2eDisk ) could not be found. "
                    'It contains the following insertion string(s): \\Device\\Harddisk0, bad "block".'), lines[0]
assert lines[1] == "" and lines[2] == "Event Type: Error" and lines[3] == "Event Source: VtE2eDisk", lines[:4]
for label in ("Time Generated: ", "Time Written: ", "Category: 0", "Computer: ", "Event ID: 11", "Event Code: 11",
              "Event Description: ", "User Name: "):
    assert any(l.startswith(label) for l in lines), label
assert msg["To"] and "ops@example.org" in msg["To"], msg["To"]
syslog = open(sys.argv[2], encoding="utf-8", errors="replace").read()
# System facility 3, severity error 3: priority 27; Application warning: 1*8+4 = 12.
assert re.search(r"^27\|[^|]*\|[^|]*\|System Log - \d+ - <END>", syslog, re.M) or "27|" in syslog, syslog
assert re.search(r"^12\|", syslog, re.M), syslog
PY

# Include mode. A list line whose number is no number fails for every entry that reaches
# it: trapped, written to the error log, and the service goes on.
$W sc stop Quenloc >/dev/null
wait_state STOPPED 30 || fail "the service did not stop"
set_value IncludeExclude I
printf 'VtE2eDisk\r\nOther\tnot-a-number\r\n' > "$dest/EXCLUSIONS.TXT"
set_value Debug 1
set_value SMTPServer "127.0.0.1:1"   # no server there: the control's error becomes a debug line
$W sc start Quenloc >/dev/null || fail "sc start (second)"
wait_state RUNNING 30 || fail "the service did not reach RUNNING again"
sleep 1.5
report System VtE2eOther error 13 'reaches the bad line'
for _ in $(seq 100); do grep -q 'Type mismatch' "$dest/error.log" 2>/dev/null && break; sleep 0.2; done
before=$(grep -c 'System Log - ' "$VANTREL_SYSLOG_OUT")
report System VtE2eDisk error 12 'matches the first line'
system_lines() { grep -c 'System Log - ' "$VANTREL_SYSLOG_OUT"; }
wait_for system_lines $((before + 1)) 20 || fail "no notification after the trapped error"
for _ in $(seq 100); do grep -q 'VelmSendMail1 Error' "$VANTREL_SYSLOG_OUT" && break; sleep 0.2; done
grep -q 'VelmSendMail1 Error' "$VANTREL_SYSLOG_OUT" || fail "no debug line for the missing SMTP server"
[ -f "$dest/error.log" ] || fail "the trapped error is not in the error log"
grep -q 'Type mismatch' "$dest/error.log" || fail "error log without the type mismatch"
[ "$(state)" = RUNNING ] || fail "the service stopped after the trapped error"
$W sc stop Quenloc >/dev/null
wait_state STOPPED 30 || fail "the service did not stop at the end"
echo "quenloc_end_to_end: all checks passed"
