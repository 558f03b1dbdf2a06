#!/usr/bin/env bash
# Takes a screenshot of the error dialog on a virtual X display with Wine's x11 driver.
#   dialog_screenshot.sh BUILD_DIR OUT.png
# BUILD_DIR is a Windows build tree (e.g. build/x86_64) holding bin/trap_dialog_demo.exe.
# The test prefix draws nothing (Graphics=null), so the shot uses a prefix of its own
# beside it, without that value.
set -euo pipefail
build=$(realpath "${1:?usage: dialog_screenshot.sh BUILD_DIR OUT.png}")
out=$(realpath -m "${2:?usage: dialog_screenshot.sh BUILD_DIR OUT.png}")
tools=$(cd "$(dirname "$0")/../../tools" && pwd)
export WINEPREFIX=$build/wineprefix-x11
export WINEDEBUG=-all
"$tools/wineprefix.sh" ensure "$WINEPREFIX"
/usr/lib/wine/wine64 reg delete 'HKCU\Software\Wine\Drivers' /v Graphics /f >/dev/null 2>&1 || true

display=:$((90 + RANDOM % 100))
Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
trap 'kill "$xvfb" 2>/dev/null || true; "$tools/wineprefix.sh" stop "$WINEPREFIX"' EXIT
sleep 2
export DISPLAY=$display
# The demo closes its dialog by itself after 20 seconds. Wine's own desktop window
# draws the window frames, as there is no window manager.
(cd "$build/testbin" && /usr/lib/wine/wine64 explorer /desktop=trap,1024x768 trap_dialog_demo.exe 20 >/dev/null 2>&1) &
demo=$!
sleep 12
import -window root -display "$display" "$out"
wait "$demo" || true
echo "dialog_screenshot.sh: wrote $out"
