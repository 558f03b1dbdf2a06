#!/usr/bin/env bash
# Latency from report to syslog arrival through the installed service: 200 entries at a
# steady pace (one every 250 ms, or VANTREL_BENCH_PACE_MS), then 1,000 in a burst, both into
# the System log; then the wrap figure: 1,000 entries, one every 10 ms, into a 64 KB log
# that holds some 700 of them. Prints the median and the 95th percentile per run and how
# many arrived. Run inside with_rsyslog.sh:
#   outside/syslogsend/tests/with_rsyslog.sh WORK service/bench/latency.sh ROOT BUILD_DIR
set -euo pipefail
root=$1 build=$2
export WINEPREFIX=$build/wineprefix WINEDEBUG=-all
W=/usr/lib/wine/wine64
winpath() { printf 'Z:%s' "${1//\//\\}"; }
key='HKLM\SOFTWARE\Pelorin Software\Quenloc\1.0'
dest="$WINEPREFIX/drive_c/Program Files/Vantrel"
testbin=$build/testbin  # the build's test programs
work=$(dirname "$VANTREL_SYSLOG_OUT")
state() { $W sc query Quenloc | tr -d '\r' | awk '/STATE/ {print $4}'; }
wait_state() {  # STATE
  for _ in $(seq 150); do [ "$(state)" = "$1" ] && return 0; sleep 0.2; done
  return 1
}
. "$root/service/bench/small_log.sh"

"$root/tools/wineprefix.sh" start "$WINEPREFIX"
$W sc stop Quenloc >/dev/null 2>&1 || true
$W cmd /c "$(winpath "$root/tools/install.cmd")" "$(winpath "$build")" >/dev/null
$W reg delete "$key" /f >/dev/null 2>&1 || true
# Each run starts at the newest entries, whatever ended the service before.
$W reg delete 'HKLM\SOFTWARE\Mirrolan\Resume' /f >/dev/null 2>&1 || true
for kv in MonitorSystemLog=1 MonitorErrorEvents=1 IncludeExclude=E SendSyslogMessage=1 SendEmail=0 \
          SyslogConsoleName=127.0.0.1 SyslogProtocol=TCP "SyslogConsolePort=$VANTREL_SYSLOG_TCP_PORT"; do
  $W reg add "$key" /v "${kv%%=*}" /d "${kv#*=}" /f >/dev/null
done
: > "$dest/EXCLUSIONS.TXT"
$W sc start Quenloc >/dev/null
wait_state RUNNING || true
sleep 2

# Notes the arrival time of every syslog line of the watched log while the entries go out.
watch() {  # arrivals_file label
  /usr/bin/python3 - "$VANTREL_SYSLOG_OUT" "$1" "$2" <<'PY' &
import os, re, sys, time
out, arrivals, label = sys.argv[1:4]
pattern = re.compile(re.escape(label.encode()) + rb" - (\d+) - ")
offset = os.path.getsize(out) if os.path.exists(out) else 0
with open(arrivals, "w") as a:
    while True:
        chunk = b""
        if os.path.exists(out):
            with open(out, "rb") as f:
                f.seek(offset)
                chunk = f.read()
        cut = chunk.rfind(b"\n") + 1
        if cut:
            now = int(time.time() * 1000)
            offset += cut
            for m in pattern.finditer(chunk[:cut]):
                a.write("%s %d\n" % (m.group(1).decode(), now))
            a.flush()
        time.sleep(0.005)
PY
  watcher=$!
}

# Each run reports under a source of its own ("VtBench" and its name): a source belongs to
# the first log that has it, so one shared by the System runs and the DNS Server run would
# send a later System run into the DNS Server log.
run() {  # name count interval_ms [log label]
  local reports="$work/$1.reports" arrivals="$work/$1.arrivals"
  watch "$arrivals" "${5:-System Log}"
  $W "$testbin/report_burst.exe" "${4:-System}" "VtBench$1" "$2" "$3" | tr -d '\r' > "$reports"
  # Until all have arrived, or nothing more has come for 20 s.
  local last=-1 still=0 now
  while [ "$(wc -l < "$arrivals")" -lt "$2" ] && [ "$still" -lt 100 ]; do
    now=$(wc -l < "$arrivals")
    if [ "$now" -eq "$last" ]; then still=$((still + 1)); else still=0 last=$now; fi
    sleep 0.2
  done
  kill "$watcher"; wait "$watcher" 2>/dev/null || true
  /usr/bin/python3 - "$1" "$reports" "$arrivals" <<'PY'
import statistics, sys
name, reports, arrivals = sys.argv[1:4]
sent = {int(n): int(t) for n, t in (l.split() for l in open(reports) if l.strip())}
arrived = {}
for l in open(arrivals):
    n, t = l.split()
    if int(n) in sent:
        arrived.setdefault(int(n), int(t))
lat = sorted(arrived[n] - sent[n] for n in arrived)
if lat:
    p95 = lat[max(0, int(round(0.95 * len(lat))) - 1)]
    print("%s: delivered %d of %d, median %d ms, 95th percentile %d ms"
          % (name, len(lat), len(sent), statistics.median(lat), p95))
else:
    print("%s: delivered 0 of %d" % (name, len(sent)))
PY
}
run steady 200 "${VANTREL_BENCH_PACE_MS:-250}"
run burst 1000 0
$W sc stop Quenloc >/dev/null
wait_state STOPPED || true

small_log_on
trap '$W sc stop Quenloc >/dev/null 2>&1; wait_state STOPPED || true; small_log_off' EXIT
$W reg add "$key" /v MonitorSystemLog /d 0 /f >/dev/null
$W reg add "$key" /v MonitorDNSLog /d 1 /f >/dev/null
$W sc start Quenloc >/dev/null
wait_state RUNNING || true
sleep 2
run wrap 1000 10 "DNS Server" DNSLog
