#!/usr/bin/env bash
# The SMTP server down for 30 s in the middle of a flow of entries, two a second: once it
# is back every entry arrives by mail, in order, and none twice but one the outage cut
# between the message and the server's answer. Then a stop while the server is down: the
# stop keeps its bound, names the mail still waiting for the server, and the process ends.
#   mail_outage.sh ROOT BUILD_DIR   (inside with_smtpd.sh and with_rsyslog.sh)
set -euo pipefail
. "$(dirname "$0")/e2e_lib.sh" "$@"
e2e_install

work=$VANTREL_SMTP_DIR/outage
mkdir -p "$work"
port=$(/usr/bin/python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
server=
# The server on the same port each time; each message is saved under the time it arrived.
server_up() {
  /usr/bin/python3 - "$work" "$port" <<'PY' >>"$work/server.out" 2>&1 &
import os, signal, sys, threading, time
from aiosmtpd.controller import Controller
outdir, port = sys.argv[1], int(sys.argv[2])
class Save:
    async def handle_DATA(self, server, session, envelope):
        base = os.path.join(outdir, "%020d" % time.time_ns())
        with open(base + ".tmp", "wb") as f:
            f.write(envelope.original_content)
        os.rename(base + ".tmp", base + ".eml")
        return "250 Message accepted for delivery"
c = Controller(Save(), hostname="127.0.0.1", port=port)
c.start()
open(os.path.join(outdir, "up.%d" % os.getpid()), "w").close()
done = threading.Event()
signal.signal(signal.SIGTERM, lambda *a: done.set())
done.wait(timeout=900)
c.stop()
PY
  server=$!
  for _ in $(seq 100); do [ -f "$work/up.$server" ] && return 0; sleep 0.1; done
  fail "the SMTP server did not start: $(cat "$work/server.out")"
}
server_down() {
  kill "$server"
  wait "$server" 2>/dev/null || true
}
trap 'kill "$server" 2>/dev/null || true' EXIT
arrived() { ls "$work"/*.eml 2>/dev/null | wc -l || true; }
now_ms() { date +%s%3N; }

mail_system_errors "127.0.0.1:$port"
server_up
$W sc start Quenloc >/dev/null || fail "sc start"
wait_state RUNNING 30 || fail "the service did not start"

count=120
$W "$testbin/report_burst.exe" System VtMailOutage "$count" 500 | tr -d '\r' > "$work/reports" &
burst=$!
wait_for arrived 10 120 || fail "only $(arrived) mails arrived before the outage"
down_at=$(now_ms)
server_down
echo "server down after $(arrived) mails"
sleep 30
up_at=$(now_ms)
server_up
echo "server up again with $(arrived) mails"
wait "$burst" || fail "report_burst"
[ "$(wc -l < "$work/reports")" -eq "$count" ] || fail "report_burst reported $(wc -l < "$work/reports") entries"
# A try waits at most a minute; then the queue goes out one mail after the other.
wait_for arrived "$count" 300 || echo "only $(arrived) of $count mails arrived"
# One entry more: mails go out one after the other in the order taken, so once its mail has
# arrived a copy sent again of an earlier one has arrived too.
$W "$testbin/report_burst.exe" System VtMailOutage 1 0 | tr -d '\r' >> "$work/reports" || fail "report_burst"
last=$(tail -1 "$work/reports" | cut -d' ' -f1)
last_arrived() { grep -l "Record Number: $last " "$work"/*.eml 2>/dev/null | wc -l || true; }
wait_for last_arrived 1 120 || fail "the mail of the last entry did not arrive"
/usr/bin/python3 - "$work" "$down_at" "$up_at" <<'PY' || fail "the mails of the flow"
import collections, email, glob, re, sys
from email import policy
work, down_at, up_at = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
reports = [tuple(map(int, l.split())) for l in open(work + "/reports") if l.strip()]
sent = [n for n, _ in reports]
during = [n for n, t in reports if down_at <= t < up_at]
assert len(during) >= 20, "only %d entries were reported while the server was down" % len(during)
got = []
for name in sorted(glob.glob(work + "/*.eml")):
    subject = email.message_from_bytes(open(name, "rb").read(), policy=policy.default)["Subject"]
    got.append(int(re.search(r"Record Number: (\d+) ", subject).group(1)))
missing = sorted(set(sent) - set(got))
assert not missing, "%d of %d entries never arrived, %d of them reported while the server was down: %s" % (
    len(missing), len(sent), len(set(missing) & set(during)), missing)
twice = {n: c for n, c in collections.Counter(got).items() if c > 1}
assert len(twice) <= 1 and all(c == 2 for c in twice.values()), "more than one copy: %r" % twice
first = [n for i, n in enumerate(got) if n not in got[:i]]
assert first == sorted(first), "out of order: %r" % first
print("%d of %d entries arrived, %d of them reported while the server was down; twice: %r" % (
    len(set(got)), len(sent), len(during), twice))
PY

# Down again, and a stop with mail waiting for it.
named() { $W "$testbin/read_events.exe" Application Quenloc | tr -d '\r' | grep -ac 'Service stopped before 3 mails were sent' || true; }
before=$(named)
server_down
report System VtMailOutage error 1 'waits for the server'
report System VtMailOutage error 2 'waits for the server'
report System VtMailOutage error 3 'waits for the server'
# The stop takes whatever the log holds: the three are handed to the mail control before it
# waits for the server, seen or not by the monitor before.
$W sc stop Quenloc >/dev/null || fail "sc stop"
wait_state STOPPED 90 || fail "the service did not stop with mail waiting for the server"
for _ in $(seq 150); do [ "$(quenlocs)" -eq 0 ] && break; sleep 0.2; done
[ "$(quenlocs)" -eq 0 ] || fail "Quenloc.exe still runs after STOPPED"
[ "$(named)" -eq $((before + 1)) ] ||
  fail "the three waiting mails were not named once: $($W "$testbin/read_events.exe" Application Quenloc | tr -d '\r' | tail -3)"
echo "quenloc_mail_outage: all checks passed"
