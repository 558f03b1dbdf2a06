#!/usr/bin/env bash
# Runs a command beside a private rsyslogd listening on free loopback ports (UDP and TCP)
# that writes every message, control characters kept, to one file:
#   with_rsyslog.sh WORKDIR command args...
# The command finds the ports and the file in VANTREL_SYSLOG_UDP_PORT,
# VANTREL_SYSLOG_TCP_PORT and VANTREL_SYSLOG_OUT. Exit 77 (skipped) without rsyslogd.
set -euo pipefail
work=$1; shift
rsyslogd=$(command -v rsyslogd || echo /usr/sbin/rsyslogd)
if [ ! -x "$rsyslogd" ]; then echo "rsyslogd not installed: skipped"; exit 77; fi
rm -rf "$work"; mkdir -p "$work"

read -r udp tcp < <(/usr/bin/python3 - <<'PY'
import socket
u = socket.socket(socket.AF_INET, socket.SOCK_DGRAM); u.bind(("127.0.0.1", 0))
t = socket.socket(); t.bind(("127.0.0.1", 0))
print(u.getsockname()[1], t.getsockname()[1])
PY
)
cat > "$work/rsyslog.conf" <<CONF
global(workDirectory="$work" parser.escapeControlCharactersOnReceive="off")
module(load="imudp")
module(load="imtcp")
input(type="imudp" address="127.0.0.1" port="$udp")
input(type="imtcp" address="127.0.0.1" port="$tcp")
template(name="line" type="string" string="%pri%|%hostname%|%syslogtag%|%msg%<END>\n")
action(type="omfile" file="$work/messages.log" template="line")
CONF

"$rsyslogd" -n -f "$work/rsyslog.conf" -i "$work/rsyslogd.pid" </dev/null >"$work/rsyslogd.out" 2>&1 &
pid=$!
trap 'kill "$pid" 2>/dev/null; wait "$pid" 2>/dev/null || true' EXIT

# Ready once the TCP port answers; never wait long for a daemon that does not start.
for _ in $(seq 100); do
  if /usr/bin/python3 -c "import socket,sys; socket.create_connection(('127.0.0.1',$tcp),0.2).close()" 2>/dev/null; then
    ready=1; break
  fi
  kill -0 "$pid" 2>/dev/null || break
  sleep 0.1
done
if [ -z "${ready:-}" ]; then echo "rsyslogd did not start:"; cat "$work/rsyslogd.out"; exit 1; fi

export VANTREL_SYSLOG_UDP_PORT=$udp VANTREL_SYSLOG_TCP_PORT=$tcp VANTREL_SYSLOG_OUT=$work/messages.log
set +e
"$@"
status=$?
exit $status
