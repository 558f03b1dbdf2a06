# Shared steps of the service-level tests, sourced by each scenario script:
#   . e2e_lib.sh ROOT BUILD_DIR
# Scenario scripts run inside with_smtpd.sh and with_rsyslog.sh, install Vantrel into the
# build's prefix (e2e_install), configure it, drive the service "Quenloc" under Wine's SCM and
# check what reaches the SMTP peer and rsyslogd.
set -euo pipefail
root=$1 build=$2
export WINEPREFIX=$build/wineprefix WINEDEBUG=-all
# VANTREL_WINE names the emulated 32-bit loader for the i686 build (tools/test-i686.sh).
W=${VANTREL_WINE:-/usr/lib/wine/wine64}
winpath() { printf 'Z:%s' "${1//\//\\}"; }
dest="$WINEPREFIX/drive_c/Program Files/Vantrel"
# The build's test programs and test doubles (its bin holds only what an installation needs).
testbin=$build/testbin
key='HKLM\SOFTWARE\Pelorin Software\Quenloc\1.0'
# A command that fails outside a check still says where.
trap 'echo "FAIL: line $LINENO: $BASH_COMMAND (status $?)"' ERR
# A failure ends the programs the scenario started in the background, so that the test
# fails at once instead of at its timeout.
fail() {
  trap - ERR
  echo "FAIL: $*"
  [ -f "$dest/error.log" ] && { echo "--- error.log"; cat "$dest/error.log"; }
  jobs -p | xargs -r kill 2>/dev/null || true
  exit 1
}
# A failure inside a function ends the script without the trap above: say it here.
# reg writes its own errors to standard output.
set_value() { local out; out=$($W reg add "$key" /v "$1" /d "$2" /f 2>&1) || fail "reg add $1: $out"; }
# The data of a registry value as reg shows it; nothing when there is no such value.
reg_value() { $W reg query "$1" /v "$2" 2>/dev/null | tr -d '\r' | sed -n "s/^    $2    REG_[A-Z_]*    //p"; }
state() { $W sc query Quenloc | tr -d '\r' | awk '/STATE/ {print $4}'; }
wait_state() {  # STATE seconds
  for _ in $(seq $((${2} * 5))); do [ "$(state)" = "$1" ] && return 0; sleep 0.2; done
  return 1
}
mails() { ls "$VANTREL_SMTP_DIR"/plain-*.eml 2>/dev/null | wc -l; }
lines() { grep -c '<END>' "$VANTREL_SYSLOG_OUT" 2>/dev/null || true; }
wait_for() {  # what count seconds
  for _ in $(seq $((${3} * 5))); do [ "$($1)" -ge "$2" ] && return 0; sleep 0.2; done
  return 1
}
# Waits until a count (what a function prints) reaches a number, or has not moved for 20 s.
wait_settled() {  # function count
  local last=-1 still=0 now
  while now=$($1); [ "$now" -lt "$2" ] && [ "$still" -lt 100 ]; do
    if [ "$now" -eq "$last" ]; then still=$((still + 1)); else still=0 last=$now; fi
    sleep 0.2
  done
}
report() { $W "$testbin/report_event.exe" "$@" || fail "report_event $*"; }
# Quenloc.exe processes of this prefix (other builds' prefixes run their own).
quenlocs() {
  local n=0 pid
  for pid in $(pgrep -f 'Vantrel.Quenloc\.exe' || true); do
    { tr '\0' '\n' < "/proc/$pid/environ"; } 2>/dev/null | grep -qx "WINEPREFIX=$WINEPREFIX" && n=$((n + 1))
  done
  echo "$n"
}
# A click on a window of the installed manager, found by its title.
post() { $W "$testbin/tallisk_post_command.exe" "$@" || fail "no window \"$1\" for $2"; }

# The Linux process ids of this prefix's Wine processes whose command line matches a pattern.
prefix_processes() {
  local p
  for p in $(pgrep -f "$1" || true); do
    grep -qx "WINEPREFIX=$WINEPREFIX" < <(tr '\0' '\n' 2>/dev/null < "/proc/$p/environ") && echo "$p"
  done
  return 0
}

# Waits until no syslog sender of this prefix runs: each message handed to one has then
# arrived or waits in the spool. Returns 1 after SECONDS (60 when not given).
senders_done() {  # [SECONDS]
  for _ in $(seq $((${1:-60} * 5))); do [ -z "$(prefix_processes 'syslogsend\.exe')" ] && return 0; sleep 0.2; done
  return 1
}

# Holds the service process still (SIGSTOP to all its threads) until thaw_service: it takes
# and notifies nothing meanwhile. Wine's SCM still answers queries, and a control sent
# meanwhile waits in the process's control pipe and is handled at the thaw (request_stop).
# The logs named are left free for writers.
freeze_service() {  # [LOG...]
  local try log
  for try in 1 2 3; do
    frozen=$(prefix_processes 'Quenloc\.exe')
    [ "$(wc -w <<<"$frozen")" -eq 1 ] || fail "freeze: not one Quenloc.exe: $frozen"
    kill -STOP "$frozen"
    for _ in $(seq 100); do
      ! grep -qv '^[^)]*) [tT] ' /proc/"$frozen"/task/*/stat 2>/dev/null && break
      sleep 0.1
    done
    if grep -qv '^[^)]*) [tT] ' /proc/"$frozen"/task/*/stat; then fail "freeze: Quenloc.exe did not stop"; fi
    # The monitors look at their logs twice a second: a process stopped inside a log's lock
    # would hold every writer. A reader that gets through shows the lock free.
    for log in "$@"; do
      timeout 60 $W "$testbin/read_events.exe" "$log" VtNoSuchSource >/dev/null 2>&1 || {
        echo "freeze: held inside the $log log's lock; once more"
        kill -CONT "$frozen"
        continue 2
      }
    done
    return 0
  done
  fail "freeze: a log stayed locked"
}
thaw_service() { kill -CONT "$frozen"; }
# Sends "sc stop" to the service held still. It returns once the SCM has written the request
# to the process and given up waiting for the answer, so at the thaw the request is there.
request_stop() {  # name
  $W sc stop Quenloc >/dev/null 2>&1 || true
  [ "$(state)" = RUNNING ] || fail "$1: the held service left RUNNING"
  echo "$1: stop requested while held"
}

# Whether a Quenloc.exe of this prefix still runs (Wine's SCM goes on showing RUNNING).
quenloc_alive() { [ -n "$(prefix_processes 'Quenloc\.exe')" ]; }
# Ends the service's process as a crash would, and returns once it is gone.
kill_quenloc() {
  $W taskkill /f /im Quenloc.exe >/dev/null 2>&1 || fail "taskkill"
  for _ in $(seq 150); do quenloc_alive || return 0; sleep 0.2; done
  fail "Quenloc.exe still runs after taskkill"
}
# A sender that the killed service was starting at that moment can hang for ever before
# its program runs (Wine waits for what the dead parent never sent; wineserver does not
# know it, so taskkill cannot end it), holding syslogsend.exe open for the next
# installation. With the receiver up and the service stopped, every sender ends within
# seconds: one still there after 20 s is such a one.
end_hung_senders() {
  local p
  senders_done 20 && return 0
  for p in $(prefix_processes 'syslogsend\.exe'); do echo "ending hung sender $p"; kill -9 "$p" || true; done
}

# Installs (stopping a running service first) and starts from an empty settings key, an
# empty error log and the trap settings a fresh installation writes (an installation keeps
# an existing Nalt.INI). It installs from the build's programs' folder, or with
# VANTREL_PACKAGE from that unpacked installation package, as an administrator would.
e2e_install() {
  "$root/tools/wineprefix.sh" start "$WINEPREFIX" || fail "wineprefix.sh start"
  $W sc stop Quenloc >/dev/null 2>&1 || true
  wait_state STOPPED 20 || true
  rm -f "$dest/Nalt.INI"
  # Wine's own errors of the installation go to a file: a program that could not start
  # (cmd's "Can't recognize ...") is explained there.
  local from=("$(winpath "$root/tools/install.cmd")" "$(winpath "$build")")
  [ -n "${VANTREL_PACKAGE:-}" ] && from=("$(winpath "$VANTREL_PACKAGE/install.cmd")")
  WINEDEBUG=err+all,warn+process $W cmd /c "${from[@]}" 2>"$build/e2e_install.err" || {
      cat "$build/e2e_install.err"
      # A file held open says which program of the prefix still runs.
      for p in $(prefix_processes '\.exe'); do ps -o pid=,etimes=,args= -p "$p" || true; done
      fail "install"
    }
  rm -f "$dest/error.log" "$dest/syslogsend.spool"
  $W reg delete "$key" /f >/dev/null 2>&1 || true
  # A service that an earlier run left to be ended with the prefix would resume here.
  $W reg delete 'HKLM\SOFTWARE\Mirrolan\Resume' /f >/dev/null 2>&1 || true
}


# Mail only, for the error entries of the System log, to ops@example.org through SERVER
# (host:port), with an empty exclusion list.
mail_system_errors() {
  set_value SMTPServer "$1"
  set_value FromEmail "vantrel@example.org"
  set_value MonitorSystemLog 1
  set_value MonitorErrorEvents 1
  set_value IncludeExclude E
  set_value SendEmail 1
  set_value SendSyslogMessage 0
  printf 'ops@example.org\r\n' > "$dest/To.txt"
  : > "$dest/EXCLUSIONS.TXT"
}

# Starts the service following one log (its setting, e.g. MonitorSystemLog), sending error
# entries as syslog over TCP only, with an empty exclusion list. Each monitor takes its starting
# point in the start handler, before the service reports RUNNING, so an entry written from
# then on is notified.
start_syslog_only() {
  set_value "$1" 1
  set_value MonitorErrorEvents 1
  set_value IncludeExclude E
  set_value SendEmail 0
  set_value SendSyslogMessage 1
  set_value SyslogConsoleName 127.0.0.1
  set_value SyslogConsolePort "$VANTREL_SYSLOG_TCP_PORT"
  set_value SyslogProtocol TCP
  : > "$dest/EXCLUSIONS.TXT"
  $W sc start Quenloc >/dev/null || fail "sc start"
  wait_state RUNNING 30 || fail "the service did not reach RUNNING"
}
