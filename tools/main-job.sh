#!/usr/bin/env bash
# Builds Vantrel, makes its installation package, installs it from the unpacked package into
# a Wine prefix and shows it working: the service "Quenloc" runs under the SCM, error events
# are reported to the System and Application logs, and their notifications arrive as mail at
# a local SMTP server (aiosmtpd) and as syslog lines at a local rsyslogd, both on loopback.
# The mail shown is for an event of the installed demo source "Vantrel Demo", its
# description rendered from its message file.
set -euo pipefail
. "$(dirname "$0")/fixed_layout.sh"
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/tools/setup.sh"
"$root/tools/build.sh" x86_64

build="$root/build/x86_64"
package=$("$root/tools/package.sh" x86_64)
echo "package: $package"
unpacked="$build/main-job-package"
rm -rf "$unpacked"
unzip -q "$package" -d "$unpacked"
export VANTREL_PACKAGE="$unpacked/$(basename "$package" .zip)"
export WINEPREFIX="$build/wineprefix" WINEDEBUG=-all
"$root/tools/wineprefix.sh" start "$WINEPREFIX"
trap '"$root/tools/wineprefix.sh" stop "$WINEPREFIX"' EXIT

# end_to_end.sh installs (the package's install.cmd), configures, starts the service, reports
# the events, prints the mail and syslog lines that arrived, and stops the service.
"$root/outside/mail/tests/with_smtpd.sh" "$build/demo-smtpd" \
  "$root/outside/syslogsend/tests/with_rsyslog.sh" "$build/demo-rsyslog" \
  "$root/service/tests/end_to_end.sh" "$root" "$build"

# And what an automation client of the installed event-log library sees: an event of the
# demo source read back with its description.
winpath() { printf 'Z:%s' "${1//\//\\}"; }
/usr/lib/wine/wine64 cscript.exe //nologo "$(winpath "$root/tools/demo.vbs")"
