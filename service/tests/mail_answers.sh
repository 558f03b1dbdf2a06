#!/usr/bin/env bash
# What a mail server's answers lead to, under Wine's SCM. A server that stores each
# message at once and answers its end 6 s later: the control waits for that answer (one
# copy), and when even the session's limit passes without it, tries once more (two
# copies) and gives up. A server that refuses every recipient with a text of its own
# each time, with the Application log watched: one failure gives one warning, in the log
# and by syslog, and no more mail. A server that is down while more mail comes than the
# control keeps: the stop names the oldest mails that wait, not the newest.
# Run inside with_smtpd.sh and with_rsyslog.sh:
#   mail_answers.sh ROOT BUILD_DIR
set -euo pipefail
. "$(dirname "$0")/e2e_lib.sh" "$@"
limits='HKLM\SOFTWARE\VelmSendmail'
$W reg delete "$limits" /f >/dev/null 2>&1 || true
e2e_install

peers=()
trap 'kill "${peers[@]}" 2>/dev/null || true; $W reg delete "$limits" /f >/dev/null 2>&1 || true' EXIT
peer() {  # DIR SECONDS MODE: a slow_smtpd.py peer; its port goes to DIR/port
  mkdir -p "$1"
  /usr/bin/python3 "$root/service/tests/slow_smtpd.py" "$@" </dev/null >"$1/out" 2>&1 &
  peers+=($!)
  for _ in $(seq 100); do [ -f "$1/port" ] && return 0; sleep 0.1; done
  fail "the SMTP peer in $1 did not start: $(cat "$1/out")"
}
limit() { $W reg add "$limits" /v "$1" /t REG_DWORD /d "$2" /f >/dev/null || fail "reg add $1"; }
count() { grep -acF -- "$1" "$VANTREL_SYSLOG_OUT" 2>/dev/null || true; }
# The monitors take their starting points in the start event, before RUNNING.
start() {
  $W sc start Quenloc >/dev/null || fail "sc start"
  wait_state RUNNING 30 || fail "the service did not reach RUNNING"
}
stop() {
  $W sc stop Quenloc >/dev/null || fail "sc stop"
  wait_state STOPPED 90 || fail "the service did not stop"
}
copies() { ls "$1"/slow-*.eml 2>/dev/null | wc -l || true; }

mail_system_errors 127.0.0.1:1
set_value Debug 1
set_value SyslogConsoleName 127.0.0.1
set_value SyslogConsolePort "$VANTREL_SYSLOG_TCP_PORT"
set_value SyslogProtocol TCP

echo "--- a server that stores the message and answers its end 6 s later"
late=$VANTREL_SMTP_DIR/late
peer "$late" 6 store-first
set_value SMTPServer "127.0.0.1:$(cat "$late/port")"
limit ReplyTimeoutSeconds 2
limit RetryWindowSeconds 40
start
# Even the session's limit passes before the answer: one more try, then the Error.
limit SessionTimeoutSeconds 4
unanswered='VelmSendMail1 Error: No reply from the server after the message: '
before=$(count "$unanswered")
report System VtMailAnswers error 1 'the end answered after the session'
given_up() { count "$unanswered"; }
wait_for given_up $((before + 1)) 90 || fail "the unanswered mail was never given up"
[ "$(copies "$late")" -eq 2 ] || fail "$(copies "$late") copies of a mail whose end was never answered in time"
grep -aF "$unanswered" "$VANTREL_SYSLOG_OUT" | tail -1
# Within the session's limit the answer is waited for: one copy, and the mail is through
# before the stop (nothing named).
$W reg delete "$limits" /v SessionTimeoutSeconds /f >/dev/null
report System VtMailAnswers error 2 'the end answered late'
# Until the server has answered it, or a try came again.
for _ in $(seq 300); do [ -f "$late/slow-3.answered" ] || [ "$(copies "$late")" -gt 3 ] && break; sleep 0.2; done
[ "$(copies "$late")" -ge 3 ] || fail "the second mail never reached the server"
stop
[ "$(copies "$late")" -eq 3 ] || fail "$(($(copies "$late") - 2)) copies of a mail whose end was answered after 6 s"
[ "$(count 'Service stopped before')" -eq 0 ] || fail "the answered mail was named unsent"
$W reg delete "$limits" /f >/dev/null

echo "--- a server that refuses every recipient with a new text each time"
refusing=$VANTREL_SMTP_DIR/refusing
peer "$refusing" 0 refuse
set_value SMTPServer "127.0.0.1:$(cat "$refusing/port")"
set_value MonitorAppLog 1
set_value MonitorWarningEvents 1
set_value SendSyslogMessage 1
warning='Mail could not be sent: The server refused every recipient (not sent to <ops@example.org>: 550 5.7.1 rejected id='
warnings() { $W "$testbin/read_events.exe" Application Quenloc | tr -d '\r' | grep -acF "$warning" || true; }
warned_before=$(warnings)
start
report System VtMailAnswers error 3 'one failure'
# The warning reaches syslog as the Application log's entry: by then any mail of it has
# been handed over, and the stop waits for that mail's outcome.
syslogged() { count "Application Log - "; }
wait_for syslogged 1 60 || fail "the mail warning did not reach syslog"
stop
[ "$(syslogged)" -eq 1 ] || fail "$(syslogged) Application log entries went to syslog"
refusals=$(ls "$refusing"/refused-* | wc -l)
[ "$refusals" -eq 1 ] || fail "one failure led to $refusals refused mails"
warned=$(($(warnings) - warned_before))
[ "$warned" -eq 1 ] || fail "one failure led to $warned warnings"
set_value MonitorAppLog 0
set_value MonitorWarningEvents 0

echo "--- 2,010 entries while the server is down, then a stop"
# Debug lines and syslog would start a sender per line: mail only.
set_value Debug 0
set_value SendSyslogMessage 0
set_value SMTPServer 127.0.0.1:1
full='Mail could not be sent: The message was not sent: 2000 messages already wait for the SMTP server'
queue_full() { $W "$testbin/read_events.exe" Application Quenloc | tr -d '\r' | grep -acF "$full" || true; }
named() { $W "$testbin/read_events.exe" Application Quenloc | tr -d '\r' | grep -a 'Service stopped before' || true; }
full_before=$(queue_full) named_before=$(named | wc -l)
start
$W "$testbin/report_burst.exe" System VtMailQueue 2010 0 | tr -d '\r' > "$VANTREL_SMTP_DIR/burst"
first=$(head -1 "$VANTREL_SMTP_DIR/burst" | cut -d' ' -f1)
wait_for queue_full $((full_before + 1)) 300 || fail "the control's queue never filled"
stop
[ "$(named | wc -l)" -eq $((named_before + 1)) ] || fail "the stop named the waiting mails $(($(named | wc -l) - named_before)) times"
text=$(named | tail -1)
echo "${text:0:200}"
oldest=$(grep -o 'mails were sent: "[^"]*"' <<<"$text" | head -1 | sed -n 's/.* - Record Number: \([0-9]*\) - .*/\1/p')
grep -qF 'Service stopped before 2000 mails were sent: ' <<<"$text" || fail "the stop's count: ${text:0:200}"
[ "$oldest" = "$first" ] || fail "the stop names record ${oldest:-none} first, not the oldest waiting one, $first"
echo "quenloc_mail_answers: all checks passed"
