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
set_value MonitorSecurityLog 1
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
# Entries of this source are excluded; the list also holds a line whose number is no number,
# which excludes nothing.
printf 'VtE2eExcluded\r\nVtE2eApp\tabc\r\n' > "$dest/EXCLUSIONS.TXT"

# The administrator starts the service from the installed manager, then closes it
# without a restart.
echo "starting the service from the manager"
# Its output goes to a file: a manager left behind by a failed check must not hold the
# test's output open until the timeout.
$W "$dest/Tallisk.exe" >"$build/e2e-manager.out" 2>&1 &
manager=$!
post "Vantrel Manager" 1101  # the "startservice" button
wait_state RUNNING 30 || fail "the manager did not start the service"
# Closed while the manager still waits to read the state again: the close comes once that
# wait is over, with its question.
post "Vantrel Manager" close
for _ in $(seq 6); do $W "$testbin/tallisk_post_command.exe" "Vantrel" 7 && break; done ||
  fail "no question \"Do You Want To Restart The Vantrel Service?\""  # No
wait "$manager" || fail "the manager ended with an error"
echo "service running (started from the manager)"

report System VtE2eDisk error 11 '\Device\Harddisk0' 'bad "block"'
report Application VtE2eApp warning 0xC0000064 'line one'
report Application VtE2eInfo information 5            # information is switched off
report Application VtE2eExcluded error 7               # excluded by the list
report Application "Vantrel Demo" error 1000 'C:' 120  # the installed demo source and its message file
report Security VtE2eAudit audit-failure 4625 'nobody' # audit types pass whatever the switches say
report Security VtE2eAudit audit-success 4624 'somebody'
wait_for mails 5 20 || fail "expected 5 mails, got $(mails)"
wait_for lines 5 20 || fail "expected 5 syslog lines, got $(lines)"
# Each log's last entry is one that is notified: entries are filtered in record order and
# mails go out in the order handed, so once those are here and the syslog senders are
# through, a notification of an entry that should have none has arrived.
senders_done || fail "syslog senders still run a minute after the notifications arrived"
[ "$(mails)" -eq 5 ] || fail "expected exactly 5 mails, got $(mails)"
[ "$(lines)" -eq 5 ] || fail "expected exactly 5 syslog lines, got $(lines)"
# The record numbers the logs gave the entries (the newest entry of the source with the
# insertion string), for the exact syslog lines.
record() { $W "$testbin/read_events.exe" "$1" "$2" | tr -d '\r' | awk -F' [|] ' -v t="$3" '$3 == t {n = $1} END {print n}'; }
export REC_DISK=$(record System VtE2eDisk '\Device\Harddisk0') REC_APP=$(record Application VtE2eApp 'line one')
export REC_MSG=$(record Application "Vantrel Demo" C:)
export REC_FAIL=$(record Security VtE2eAudit nobody) REC_OK=$(record Security VtE2eAudit somebody)
system_mail=$(grep -l 'VtE2eDisk' "$VANTREL_SMTP_DIR"/plain-*.eml | head -1)
[ -n "$system_mail" ] || fail "no mail for the System entry"
demo_mail=$(grep -l 'Event Source: Vantrel Demo' "$VANTREL_SMTP_DIR"/plain-*.eml | head -1)
[ -n "$demo_mail" ] || fail "no mail for the demo source's entry"
echo "--- mail for the Application entry of the demo source"
cat "$demo_mail"
echo "--- syslog lines"
cat "$VANTREL_SYSLOG_OUT"
/usr/bin/python3 - "$system_mail" "$VANTREL_SYSLOG_OUT" "$demo_mail" <<'PY' || fail "notification texts"
import email, re, sys
from email import policy
# The demo source's mail begins with the description its message file gives.
demo = email.message_from_bytes(open(sys.argv[3], "rb").read(), policy=policy.default)
demo_lines = demo.get_body().get_content().replace("\r\n", "\n").split("\n")
demo_lines = [l.rstrip() for l in demo_lines]
assert demo_lines[0] == "Disk C: is almost full: only 120 MB are free.", demo_lines[0]
assert "Event Description: Disk C: is almost full: only 120 MB are free." in demo_lines, demo_lines
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
# rsyslogd writes "PRI|HOST|TAG|MESSAGE<END>"; the message is the log's label, the record
# number and the raw description (empty without a message file), joined by " - ".
# System facility 3, severity error 3: 27; Application warning 1*8+4 = 12, error 11;
# Security facility 10 and the audit types severity 0: 80.
import os
expected = [
    ("27", "System Log - %s - " % os.environ["REC_DISK"]),
    ("12", "Application Log - %s - " % os.environ["REC_APP"]),
    ("11", "Application Log - %s - Disk C: is almost full: only 120 MB are free. " % os.environ["REC_MSG"]),
    ("80", "SecurityLog - %s - " % os.environ["REC_FAIL"]),
    ("80", "SecurityLog - %s - " % os.environ["REC_OK"]),
]
got = sorted(re.findall(r"^(\d+)\|[^|\n]+\|Vantrel:\| (.*?)<END>$", syslog, re.M | re.S))
assert got == sorted(expected), (got, expected)
PY

# Include mode. A list line whose number is no number fails for every entry that reaches
# it: trapped, written to the error log, and the service goes on.
$W sc stop Quenloc >/dev/null
wait_state STOPPED 30 || fail "the service did not stop"
set_value IncludeExclude I
printf 'VtE2eDisk\r\nOther\tnot-a-number\r\n' > "$dest/EXCLUSIONS.TXT"
set_value Debug 1
set_value SMTPServer "127.0.0.1:1"   # no server there: the control's error becomes a debug line
# ... at once, rather than after the control has tried again for 10 minutes.
limits='HKLM\SOFTWARE\VelmSendmail'
$W reg add "$limits" /v RetryWindowSeconds /t REG_DWORD /d 0 /f >/dev/null
trap '$W reg delete "$limits" /v RetryWindowSeconds /f >/dev/null 2>&1 || true' EXIT
$W sc start Quenloc >/dev/null || fail "sc start (second)"
wait_state RUNNING 30 || fail "the service did not reach RUNNING again"
report System VtE2eOther error 13 'reaches the bad line'
for _ in $(seq 100); do grep -q 'Type mismatch' "$dest/error.log" 2>/dev/null && break; sleep 0.2; done
before=$(grep -c 'System Log - ' "$VANTREL_SYSLOG_OUT")
report System VtE2eDisk error 12 'matches the first line'
system_lines() { grep -c 'System Log - ' "$VANTREL_SYSLOG_OUT"; }
wait_for system_lines $((before + 1)) 20 || fail "no notification after the trapped error"
for _ in $(seq 100); do grep -q 'VelmSendMail1 Error' "$VANTREL_SYSLOG_OUT" && break; sleep 0.2; done
grep -q 'VelmSendMail1 Error' "$VANTREL_SYSLOG_OUT" || fail "no debug line for the missing SMTP server"
$W reg delete "$limits" /v RetryWindowSeconds /f >/dev/null
[ -f "$dest/error.log" ] || fail "the trapped error is not in the error log"
grep -q 'Type mismatch' "$dest/error.log" || fail "error log without the type mismatch"
[ "$(state)" = RUNNING ] || fail "the service stopped after the trapped error"

# A monitor that cannot be created: the start's error tail says why, in the platform's words.
$W sc stop Quenloc >/dev/null
wait_state STOPPED 30 || fail "the service did not stop"
$W regsvr32 /s /u "$(winpath "$dest/Mirrolan.dll")"
$W sc start Quenloc >/dev/null || fail "sc start (without Mirrolan)"
for _ in $(seq 100); do grep -q '| Error: ' "$VANTREL_SYSLOG_OUT" && break; sleep 0.2; done
# Registered again for the tests after this one; Wine's start of regsvr32 now and then fails
# under load ("ShellExecuteEx failed"), so once more before giving up.
$W regsvr32 /s "$(winpath "$dest/Mirrolan.dll")" || $W regsvr32 /s "$(winpath "$dest/Mirrolan.dll")" ||
  fail "Mirrolan could not be registered again"
grep -q '^14|[^|]*|Vantrel:| Error: -2147221164 - Class not registered<END>$' "$VANTREL_SYSLOG_OUT" ||
  fail "the start's error line does not name the unregistered class"
wait_state RUNNING 30 || fail "the service did not reach RUNNING without its monitors"
$W sc stop Quenloc >/dev/null
wait_state STOPPED 30 || fail "the service did not stop at the end"
echo "quenloc_end_to_end: all checks passed"
