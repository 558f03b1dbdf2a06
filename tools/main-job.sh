#!/usr/bin/env bash
# Builds Vantrel, installs it into a Wine prefix and shows it working.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/tools/setup.sh"
"$root/tools/build.sh" x86_64

build="$root/build/x86_64"
export WINEPREFIX="$build/wineprefix" WINEDEBUG=-all
"$root/tools/wineprefix.sh" start "$WINEPREFIX"
trap '"$root/tools/wineprefix.sh" stop "$WINEPREFIX"' EXIT

winpath() { printf 'Z:%s' "${1//\//\\}"; }
/usr/lib/wine/wine64 cmd /c "$(winpath "$root/tools/install.cmd")" "$(winpath "$build")"
/usr/lib/wine/wine64 cscript.exe //nologo "$(winpath "$root/tools/demo.vbs")"
