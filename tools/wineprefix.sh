#!/usr/bin/env bash
# Wine prefix management, the one place that knows how our prefixes are set up.
#   wineprefix.sh ensure PREFIX   create PREFIX on first use and configure it
#   wineprefix.sh start PREFIX    ensure, then keep one wineserver alive for a test run
#   wineprefix.sh stop PREFIX     stop that wineserver and every program of the prefix
set -euo pipefail
. "$(dirname "$0")/fixed_layout.sh"

cmd=${1:?usage: wineprefix.sh ensure|start|stop PREFIX}
export WINEPREFIX=$(realpath -m "${2:?usage: wineprefix.sh ensure|start|stop PREFIX}")
export WINEDEBUG=-all
# VANTREL_WINE names another loader (the emulated 32-bit one of tools/wine32.sh).
WINE=${VANTREL_WINE:-/usr/lib/wine/wine64}
WINESERVER=/usr/lib/wine/wineserver64
[ -x "$WINESERVER" ] || WINESERVER=wineserver

ensure() {
  [ -f "$WINEPREFIX/.vantrel-ready" ] && return 0
  # A prefix whose set-up was cut short (or made by a Wine that could not start its
  # programs) is not repaired by another wineboot: start it again from nothing.
  if [ -f "$WINEPREFIX/system.reg" ] || [ -d "$WINEPREFIX/drive_c" ]; then
    "$WINESERVER" -k 2>/dev/null || true
    rm -rf "$WINEPREFIX"
  fi
  mkdir -p "$WINEPREFIX"
  # No desktop integration and no Mono/Gecko prompts: they would try to reach the network.
  WINEDLLOVERRIDES="mscoree,mshtml,winemenubuilder.exe=" "$WINE" wineboot --init >/dev/null 2>&1
  # Headless: windows exist and get messages, nothing is drawn. Under Xvfb a caller
  # that wants screenshots removes this value.
  "$WINE" reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f >/dev/null
  # Wine's default Simple MAPI client opens a browser on the host; tests must never
  # reach it, so the prefix has no default mail client.
  "$WINE" reg delete 'HKLM\Software\Clients\Mail' /f >/dev/null 2>&1 || true
  "$WINE" reg add 'HKLM\Software\Clients\Mail' /f >/dev/null
  # The system's six event logs, for our event-log substitute (vteventlog.dll).
  "$(dirname "$0")/../platform/evtlog/prefix_logs.sh" "$WINE" >/dev/null
  "$WINESERVER" -w
  touch "$WINEPREFIX/.vantrel-ready"
}

# Keeps the desktop open while the server lives (see platform/desktop/desktop_hold.cpp),
# so that no test waits for the desktop process to start. The program sits in the build
# folder beside the prefix; a prefix without it (before the first build) goes without.
hold_desktop() {
  local hold ready pid
  hold="$(dirname "$WINEPREFIX")/testbin/vtdesktop.exe"
  [ -f "$hold" ] || return 0
  ready="$WINEPREFIX/.desktop-held"
  [ -f "$ready" ] && kill -0 "$(cat "$ready")" 2>/dev/null && return 0
  for _ in 1 2 3; do
    rm -f "$ready"
    "$WINE" "$hold" "Z:${ready//\//\\}" </dev/null >/dev/null 2>&1 &
    pid=$!
    for _ in $(seq 600); do
      # The program creates the file once its window exists; the pid goes in for the next start.
      [ -f "$ready" ] && { echo "$pid" > "$ready"; return 0; }
      kill -0 "$pid" 2>/dev/null || break
      sleep 0.1
    done
    kill "$pid" 2>/dev/null || true
  done
  echo "wineprefix.sh: the desktop could not be held open" >&2
}

case "$cmd" in
  ensure) ensure ;;
  # The server and the prefix's own services (services.exe, winedevice.exe) are started
  # here with no output of ours: a test whose program started them would otherwise leave
  # them holding its output pipe, and ctest would wait for them until its timeout.
  start)
    ensure
    "$WINESERVER" -p </dev/null >/dev/null 2>&1 || true  # fails only when one already runs
    "$WINE" wineboot </dev/null >/dev/null 2>&1
    hold_desktop ;;
  stop)   "$WINESERVER" -k 2>/dev/null || true; "$WINESERVER" -w 2>/dev/null || true
          rm -f "$WINEPREFIX/.desktop-held" ;;
  *) echo "wineprefix.sh: unknown command $cmd" >&2; exit 2 ;;
esac
