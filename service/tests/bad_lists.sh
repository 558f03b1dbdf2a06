#!/usr/bin/env bash
# Exclusion lists as administrators really leave them: LF line ends, a line whose event
# number is no number, a source in another letter case beyond ASCII, a NUL byte, a
# 40,000-digit number and 100 KB of random bytes. Such lines never silence the service:
# a line that cannot be evaluated excludes nothing and is named once per start in the
# Application log; every other line still excludes. In include mode such a line fails for
# every entry that reaches it (trapped into the error log) and is named once per start
# too. Run inside with_smtpd.sh and with_rsyslog.sh:
#   bad_lists.sh ROOT BUILD_DIR
set -euo pipefail
. "$(dirname "$0")/e2e_lib.sh" "$@"
e2e_install

set_value SMTPServer "127.0.0.1:$VANTREL_SMTP_PLAIN_PORT"
set_value FromEmail "vantrel@example.org"
printf 'ops@example.org\r\n' > "$dest/To.txt"
set_value SendEmail 0
set_value MonitorSystemLog 1
set_value MonitorErrorEvents 1
set_value IncludeExclude E
set_value SendSyslogMessage 1
set_value SyslogConsoleName 127.0.0.1
set_value SyslogConsolePort "$VANTREL_SYSLOG_TCP_PORT"
set_value SyslogProtocol TCP

# The record number the System log gave the entry of SOURCE with the insertion string TOKEN.
# The log keeps the entries of earlier runs: the newest one counts.
record_of() { $W "$testbin/read_events.exe" System "$1" | tr -d '\r' | awk -F' [|] ' -v t="$2" '$3 == t {n = $1} END {print n}'; }
# How many notifications of that record reached rsyslogd.
seen() { cat "$VANTREL_SYSLOG_OUT" 2>/dev/null | grep -c -- "| System Log - $1 - <END>" || true; }
# Waits for the notifications of the kept entries, then makes sure the excluded ones
# never come. Entries are named SOURCE/TOKEN. The last kept entry is written after every
# excluded one: entries are filtered in record order, so once it is notified and every
# sender is through, an excluded entry that was notified has arrived.
expect() {  # "kept entries" "excluded entries"
  local e n
  for e in $1; do
    n=$(record_of "${e%%/*}" "${e#*/}")
    [ -n "$n" ] || fail "no record for $e"
    for _ in $(seq 100); do [ "$(seen "$n")" -ge 1 ] && break; sleep 0.2; done
    [ "$(seen "$n")" -eq 1 ] || fail "entry $e (record $n): expected one notification, got $(seen "$n")"
  done
  senders_done || fail "syslog senders still run a minute after the kept entries arrived"
  for e in $2; do
    n=$(record_of "${e%%/*}" "${e#*/}")
    [ -n "$n" ] || fail "no record for $e"
    [ "$(seen "$n")" -eq 0 ] || fail "entry $e (record $n) was notified although the list excludes it"
  done
}
warnings() { $W "$testbin/read_events.exe" Application Quenloc | tr -d '\r' | grep -a 'exclude nothing' || true; }
start() {
  $W sc start Quenloc >/dev/null || fail "sc start"
  wait_state RUNNING 30 || fail "the service did not reach RUNNING"
}
stop() {
  $W sc stop Quenloc >/dev/null
  wait_state STOPPED 30 || fail "the service did not stop"
}

before=$(warnings | wc -l)  # the log keeps the warnings of earlier runs
echo "--- LF line ends, a number that is no number, a source in other letter case"
printf 'VtListA\t5\nVtListB\t7\nOtherSource\tabc\nVt\xc9cho\n' > "$dest/EXCLUSIONS.TXT"
start
report System VtListA error 5 excluded-a5
report System VtListB error 7 excluded-b7
report System "Vtécho" error 1 excluded-echo
report System VtListA error 6 kept-a6
report System OtherSource error 1 kept-other
report System VtListC error 9 kept-c9
expect "VtListA/kept-a6 OtherSource/kept-other VtListC/kept-c9" "VtListA/excluded-a5 VtListB/excluded-b7 Vtécho/excluded-echo"
warnings | tail -1
[ "$(warnings | wc -l)" -eq $((before + 1)) ] || fail "expected one warning for the start, got: $(warnings)"
warnings | tail -1 | grep -q 'line 3 "OtherSource<TAB>abc" (Type mismatch)' || fail "the warning does not name line 3"
stop

echo "--- a NUL byte, a 40,000-digit number and 100 KB of random bytes with TABs"
/usr/bin/python3 - "$dest/EXCLUSIONS.TXT" <<'PY'
import random, sys
rng = random.Random(18)
noise = bytes(rng.choice(b"\t\t\t" + bytes(range(256))) for _ in range(100_000))
with open(sys.argv[1], "wb") as f:
    f.write(b"VtNul\t3\0\r\n" + b"VtHuge\t" + b"9" * 40_000 + b"\r\n" + noise + b"\r\nVtListA\r\n")
PY
start
report System VtListA error 5 excluded-again
report System VtNul error 3 kept-nul
report System VtHuge error 9 kept-huge
report System VtListZ error 1 kept-z
expect "VtNul/kept-nul VtHuge/kept-huge VtListZ/kept-z" "VtListA/excluded-again"
[ "$(warnings | wc -l)" -eq $((before + 2)) ] || fail "expected one more warning for the second start, got: $(warnings)"
last=$(warnings | tail -1)
echo "${last:0:600}"
grep -aq 'line 1 "VtNul<TAB>3?" (Type mismatch); line 2 "VtHuge<TAB>9999' <<<"$last" || fail "the warning does not name lines 1 and 2"
grep -aq '(Overflow)' <<<"$last" || fail "the warning does not say the 40,000-digit number overflows"
[ "$(state)" = RUNNING ] || fail "the service stopped"
[ ! -s "$dest/error.log" ] || fail "errors were trapped"
stop

echo "--- include mode: a number that is no number"
set_value IncludeExclude I
included() { $W "$testbin/read_events.exe" Application Quenloc | tr -d '\r' | grep -a '^[0-9]* | 2 | Include list lines' || true; }
before=$(included | wc -l)
printf 'VtIncA\t5\r\nVtIncB\tabc\r\nVtIncC\r\n' > "$dest/EXCLUSIONS.TXT"
start
# The entry that matches before the bad line is notified; one that reaches it fails there.
report System VtIncA error 5 included-a5
report System VtIncC error 1 reaches-the-bad-line
report System VtIncA error 5 included-after
expect "VtIncA/included-a5 VtIncA/included-after" "VtIncC/reaches-the-bad-line"
included | tail -1
[ "$(included | wc -l)" -eq $((before + 1)) ] || fail "expected one include warning for the start, got: $(included)"
included | tail -1 | grep -q 'line 2 "VtIncB<TAB>abc" (Type mismatch)\.$' || fail "the warning does not name line 2"
for _ in $(seq 100); do grep -q 'Type mismatch' "$dest/error.log" 2>/dev/null && break; sleep 0.2; done
grep -q 'Type mismatch' "$dest/error.log" || fail "the type mismatch was not trapped into the error log"
[ "$(state)" = RUNNING ] || fail "the service stopped"
stop
echo "quenloc_bad_lists: all checks passed"
