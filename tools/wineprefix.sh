#!/usr/bin/env bash
# Wine prefix management, the one place that knows how our prefixes are set up.
#   wineprefix.sh ensure PREFIX   create PREFIX on first use and configure it
#   wineprefix.sh start PREFIX    ensure, then keep one wineserver alive for a test run
#   wineprefix.sh stop PREFIX     stop that wineserver and every program of the prefix
set -euo pipefail

cmd=${1:?usage: wineprefix.sh ensure|start|stop PREFIX}
export WINEPREFIX=$(realpath -m "${2:?usage: wineprefix.sh ensure|start|stop PREFIX}")
export WINEDEBUG=-all
WINE=/usr/lib/wine/wine64
WINESERVER=/usr/lib/wine/wineserver64
[ -x "$WINESERVER" ] || WINESERVER=wineserver

ensure() {
  [ -f "$WINEPREFIX/.vantrel-ready" ] && return 0
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

case "$cmd" in
  ensure) ensure ;;
  # The server and the prefix's own services (services.exe, winedevice.exe) are started
  # here with no output of ours: a test whose program started them would otherwise leave
  # them holding its output pipe, and ctest would wait for them until its timeout.
  start)
    ensure
    "$WINESERVER" -p </dev/null >/dev/null 2>&1 || true  # fails only when one already runs
    "$WINE" wineboot </dev/null >/dev/null 2>&1 ;;
  stop)   "$WINESERVER" -k 2>/dev/null || true; "$WINESERVER" -w 2>/dev/null || true ;;
  *) echo "wineprefix.sh: unknown command $cmd" >&2; exit 2 ;;
esac
