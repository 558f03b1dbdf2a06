#!/usr/bin/env bash
# Mail that meets a bad recipient or a bad server, under Wine's SCM: the installed
# service mails one recipient the SMTP peer refuses and one with a blank (the others
# still get the mail), a server that drips its reply a byte at a time (each mail is
# given up at the session limit, and the next one follows), and a server without
# STARTTLS while a user name is set (nothing is sent, the password least of all). Every
# failure shows as a "VelmSendMail1 Error" debug line, and also, with or without debug
# lines, as a warning in the Application log: once for each distinct error text in an
# hour. Run inside with_smtpd.sh and with_rsyslog.sh:
#   mail_failures.sh ROOT BUILD_DIR
set -euo pipefail
. "$(dirname "$0")/e2e_lib.sh" "$@"
limits='HKLM\SOFTWARE\VelmSendmail'
$W reg delete "$limits" /f >/dev/null 2>&1 || true
trap '$W reg delete "$limits" /f >/dev/null 2>&1 || true' EXIT
e2e_install

set_value FromEmail "vantrel@example.org"
set_value MonitorSystemLog 1
set_value MonitorErrorEvents 1
set_value IncludeExclude E
set_value SendEmail 1
set_value SendSyslogMessage 1
set_value Debug 1
set_value SyslogConsoleName 127.0.0.1
set_value SyslogConsolePort "$VANTREL_SYSLOG_TCP_PORT"
set_value SyslogProtocol TCP
: > "$dest/EXCLUSIONS.TXT"

restart_with() {  # SMTPServer
  if [ "$(state)" = RUNNING ]; then
    $W sc stop Quenloc >/dev/null
    wait_state STOPPED 30 || fail "the service did not stop"
  fi
  set_value SMTPServer "$1"
  $W sc start Quenloc >/dev/null || fail "sc start"
  wait_state RUNNING 30 || fail "the service did not reach RUNNING"
}
mail_errors() { grep -c 'VelmSendMail1 Error: ' "$VANTREL_SYSLOG_OUT" 2>/dev/null || true; }
# The warnings in the Application log for one error text (the log keeps those of earlier runs).
warned() { $W "$testbin/read_events.exe" Application Quenloc | tr -d '\r' | grep -acF " | 2 | Mail could not be sent: $1 (" || true; }

echo "--- a refused recipient and one with a blank"
printf 'nobody@example.org\r\nops@example.org\r\nbad address@example.org\r\n' > "$dest/To.txt"
restart_with "127.0.0.1:$VANTREL_SMTP_PLAIN_PORT"
report System VtMailRefused error 21 'one refused, one with a blank'
wait_for mails 1 20 || fail "no mail reached the accepted recipient"
wait_for mail_errors 1 20 || fail "no debug line names the recipients left out"
grep -q '^to:ops@example.org$' "$VANTREL_SMTP_DIR"/plain-1.env || fail "envelope: $(cat "$VANTREL_SMTP_DIR"/plain-1.env)"
expected='VelmSendMail1 Error: The message was sent to the other recipients, not to "bad address@example.org": not a valid mail address; <nobody@example.org>: 550 5.1.1 Mailbox unavailable<END>'
grep -qF "$expected" "$VANTREL_SYSLOG_OUT" || fail "debug line: $(grep 'VelmSendMail1' "$VANTREL_SYSLOG_OUT")"

echo "--- a server that answers a byte every half second"
session_limit='No reply from the server after connecting: the session took longer than its limit of 4 seconds'
warned_before=$(warned "$session_limit")
$W reg add "$limits" /v ReplyTimeoutSeconds /t REG_DWORD /d 2 /f >/dev/null
$W reg add "$limits" /v SessionTimeoutSeconds /t REG_DWORD /d 4 /f >/dev/null
# A time-out may pass and would be tried again for minutes: here one try is the answer.
$W reg add "$limits" /v RetryWindowSeconds /t REG_DWORD /d 0 /f >/dev/null
printf 'ops@example.org\r\n' > "$dest/To.txt"
restart_with "127.0.0.1:$VANTREL_SMTP_DRIP_PORT"
before=$(mail_errors)
start=$(date +%s)
report System VtMailDrip error 22 'first behind the slow server'
report System VtMailDrip error 23 'second behind the slow server'
wait_for mail_errors $((before + 1)) 20 || fail "the first mail was not given up within the session limit"
first=$(($(date +%s) - start))
wait_for mail_errors $((before + 2)) 20 || fail "the second mail was not given up within the session limit"
second=$(($(date +%s) - start))
echo "given up after ${first} s and ${second} s"
[ "$first" -le 12 ] || fail "the first mail waited ${first} s"
[ "$second" -le 18 ] || fail "the second mail waited ${second} s"
n=$(grep -cF "VelmSendMail1 Error: $session_limit<END>" "$VANTREL_SYSLOG_OUT")
[ "$n" -eq 2 ] || fail "expected 2 session-limit debug lines, got $n"
# The same error twice: one warning.
n=$(warned "$session_limit")
[ "$n" -eq $((warned_before + 1)) ] || fail "expected one session-limit warning more, got $((n - warned_before))"
$W reg delete "$limits" /f >/dev/null

echo "--- a user name set, and a server without STARTTLS; no debug lines"
no_tls='A user name is set, but the server offers no secure connection (STARTTLS), and the password is never sent in plain text'
set_value Debug 0
set_value UserName alerts
set_value Password 'cipher text'
restart_with "127.0.0.1:$VANTREL_SMTP_AUTH_PORT"
before=$(mail_errors)
warned_before=$(warned "$no_tls")
report System VtMailNoTls error 24 'credentials stay home'
report System VtMailNoTls error 25 'credentials stay home again'
no_tls_warnings() { echo $(($(warned "$no_tls") - warned_before)); }
wait_for no_tls_warnings 1 20 || fail "no warning in the Application log for the server without STARTTLS"
# The stop waits for the outcome of the mail still queued.
$W sc stop Quenloc >/dev/null
wait_state STOPPED 30 || fail "the service did not stop at the end"
[ "$(no_tls_warnings)" -eq 1 ] || fail "expected one warning for the same error twice, got $(no_tls_warnings)"
[ "$(mail_errors)" -eq "$before" ] || fail "debug lines although Debug is off: $(grep 'VelmSendMail1' "$VANTREL_SYSLOG_OUT" | tail -1)"
[ ! -e "$VANTREL_SMTP_DIR/auth.auth" ] || fail "the server saw AUTH: $(cat "$VANTREL_SMTP_DIR/auth.auth")"
! ls "$VANTREL_SMTP_DIR"/auth-*.eml >/dev/null 2>&1 || fail "the server without STARTTLS got a mail"
echo "quenloc_mail_failures: all checks passed"
