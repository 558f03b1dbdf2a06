#!/usr/bin/env bash
# Screenshots of the manager's main window and setup window, drawn by Wine's x11 driver
# under Xvfb, in a prefix of their own (the test prefixes use the null driver).
#   screenshots.sh BUILD_DIR OUT_DIR     BUILD_DIR is a Windows tree (build/x86_64)
# Writes OUT_DIR/main-window.png and OUT_DIR/setup-window.png.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=$(realpath "${1:?usage: screenshots.sh BUILD_DIR OUT_DIR}")
out=$(realpath -m "${2:?usage: screenshots.sh BUILD_DIR OUT_DIR}")
bin=$build/bin testbin=$build/testbin
export WINEPREFIX=$build/screenshot-prefix WINEDEBUG=-all
WINE=/usr/lib/wine/wine64
WINESERVER=/usr/lib/wine/wineserver64
[ -x "$WINESERVER" ] || WINESERVER=wineserver
winpath() { echo "Z:$(echo "$1" | sed 's|/|\\|g')"; }

"$root/tools/wineprefix.sh" ensure "$WINEPREFIX"
# This prefix draws: no null graphics driver.
"$WINE" reg delete 'HKCU\Software\Wine\Drivers' /v Graphics /f >/dev/null 2>&1 || true

mkdir -p "$out/programs"
cp "$bin/Tallisk.exe" "$out/programs/"
display=:$((90 + RANDOM % 100))
Xvfb "$display" -screen 0 1024x768x24 >/dev/null 2>&1 &
xvfb=$!
cleanup() { "$WINESERVER" -k 2>/dev/null || true; kill "$xvfb" 2>/dev/null || true; }
trap cleanup EXIT
export DISPLAY=$display
sleep 1

# What the window needs at load: the provider substitute, the service-control control,
# the mail control, and an installed "Quenloc" service (the provider tests' small service
# stands in for it).
"$WINE" regsvr32 /s "$(winpath "$bin/vtadsi.dll")"
"$WINE" regsvr32 /s "$(winpath "$bin/Dovrin.dll")"
"$WINE" regsvr32 /s "$(winpath "$bin/VelmSendmail.ocx")"
"$WINE" sc create Quenloc binpath= "\"$(winpath "$testbin/vtadsi_test_service.exe")\" Quenloc" >/dev/null 2>&1 || true

# A virtual desktop, so that Wine draws the window frames itself (Xvfb has no window manager).
"$WINE" explorer /desktop=Vantrel,1024x768 "$(winpath "$out/programs/Tallisk.exe")" &
sleep 6
import -display "$display" -window root "$out/main-window.png"
# Clicks come from a helper on the same virtual desktop, where it can find the windows.
post() { "$WINE" explorer /desktop=Vantrel,1024x768 "$(winpath "$testbin/tallisk_post_command.exe")" "$@"; }
post "Vantrel Manager" 1105  # the "setup" button
sleep 4
import -display "$display" -window root "$out/setup-window.png"
post "SMTP/Notification Setup" 1317  # Cancel
sleep 1
post "Vantrel Manager" close
sleep 2
echo "screenshots in $out"
