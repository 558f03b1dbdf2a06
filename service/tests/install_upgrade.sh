#!/usr/bin/env bash
# Installing over an installation keeps the administrator's trap settings in Nalt.INI and
# only makes sure of "Silent Run=1"; removing the service leaves the ini and the logs and
# takes the event sources.
#   install_upgrade.sh ROOT BUILD_DIR
set -euo pipefail
. "$(dirname "$0")/e2e_lib.sh" "$@"
ini="$dest/Nalt.INI"
install() { $W cmd /c "$(winpath "$root/tools/install.cmd")" "$(winpath "$build")" >"$build/install_upgrade.out" 2>&1 ||
              { cat "$build/install_upgrade.out"; fail "install ($1)"; }; }
expect_ini() {  # what, expected text
  printf '%s' "$2" | cmp -s - "$ini" || { echo "--- got"; cat -A "$ini"; echo "--- expected"; printf '%s' "$2" | cat -A; fail "$1"; }
}

"$root/tools/wineprefix.sh" start "$WINEPREFIX"
mkdir -p "$dest"
rm -f "$ini"
install "fresh"
expect_ini "a fresh install writes the ini" $'[preferences]\r\nSilent Run=1\r\n[log file]\r\nWrite To Disk=1\r\n'

# An administrator's file, with Silent Run switched off among other settings.
edited=$'; kept by the administrator\r\n[Preferences]\r\nDisplay Mode=2\r\n silent run = 0\r\n\r\n[email]\r\nAddress=ops@example.org\r\n[log file]\r\nWrite To Disk=1\r\nCircularLog=1\r\nCapture To Disk=1\r\n'
printf '%s' "$edited" > "$ini"
install "over an edited ini"
expect_ini "only Silent Run changes" "${edited/ silent run = 0/Silent Run=1}"
install "a second time"
expect_ini "a second install changes nothing" "${edited/ silent run = 0/Silent Run=1}"

# Syslog senders hold syslogsend.exe open. One that waits for its receiver (its spool kept
# beside it) is asked to end once its spool is saved; one whose message is in no spool yet
# (held here at the spool's lock, as behind a slow disk) is given time to finish and keeps
# its message; only one that never finishes is ended, and the installer says so.
closed=$(/usr/bin/python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
set_value SyslogConsoleName 127.0.0.1
set_value SyslogConsolePort "$closed"
set_value SyslogProtocol TCP
senders() { prefix_processes 'syslogsend\.exe' | wc -l; }
hold_lock() {  # holds the spool's lock until release_lock
  rm -f "$build/holder.held" "$build/holder.release"
  # The folder as the senders there name it: the lock is named after it.
  $W "$build/bin/spool_holder.exe" lock 'C:\Program Files\Vantrel' "$(winpath "$build/holder")" >/dev/null 2>&1 &
  holder=$!
  for _ in $(seq 150); do [ -e "$build/holder.held" ] && break; sleep 0.2; done
  [ -e "$build/holder.held" ] || fail "the spool's lock could not be held"
}
release_lock() { : > "$build/holder.release"; wait "$holder" || fail "spool_holder"; }
rm -f "$dest/syslogsend.spool"
$W "$dest/syslogsend.exe" "<14>waits for its receiver" >/dev/null 2>&1 &
for _ in $(seq 150); do [ -s "$dest/syslogsend.spool" ] && break; sleep 0.2; done
[ -s "$dest/syslogsend.spool" ] || fail "the sender did not spool its message"
[ "$(senders)" -eq 1 ] || fail "no sender stayed behind to retry"
hold_lock
$W "$dest/syslogsend.exe" "<14>first delivery" >/dev/null 2>&1 &
for _ in $(seq 150); do [ "$(senders)" -ge 2 ] && break; sleep 0.2; done
[ "$(senders)" -ge 2 ] || fail "the second sender did not start"
install "while senders run" &
installing=$!
# The waiting sender goes first; the other one may then go on.
for _ in $(seq 300); do [ "$(senders)" -le 1 ] && break; sleep 0.2; done
release_lock
wait "$installing" || fail "install while senders run"
grep -q "Ended" "$build/install_upgrade.out" && { cat "$build/install_upgrade.out"; fail "the installation ended a sender"; }
grep -aq "waits for its receiver" "$dest/syslogsend.spool" || fail "the installation lost the waiting sender's spool"
grep -aq "first delivery" "$dest/syslogsend.spool" || fail "the installation lost the message of the sender on its first delivery"
wait
# One that never finishes (the lock held throughout) is ended after the installer's wait.
hold_lock
$W "$dest/syslogsend.exe" "<14>never finishes" >/dev/null 2>&1 &
for _ in $(seq 150); do [ "$(senders)" -ge 1 ] && break; sleep 0.2; done
install "while a sender never finishes"
release_lock
grep -q "Ended 1 syslog sender(s) still running after 30 s" "$build/install_upgrade.out" ||
  { cat "$build/install_upgrade.out"; fail "the installer did not say that it ended a sender"; }
wait
rm -f "$dest/syslogsend.spool"
$W reg delete "$key" /f >/dev/null 2>&1 || true

# Without the key, it goes below the section header; without the section, at the end.
printf '[preferences]\r\nDisplay Mode=2\r\n' > "$ini"
install "without the key"
expect_ini "the key is added to its section" $'[preferences]\r\nSilent Run=1\r\nDisplay Mode=2\r\n'
printf '[email]\nAddress=ops@example.org' > "$ini"
install "without the section"
expect_ini "the section is added" $'[email]\nAddress=ops@example.org\n[preferences]\nSilent Run=1\n'

# Removal leaves the administrator's files.
printf 'an error\r\n' > "$dest/error.log"
$W cmd /c "$(winpath "$root/tools/uninstall.cmd")" >/dev/null 2>&1 || fail "uninstall"
[ -f "$ini" ] && [ -f "$dest/error.log" ] || fail "uninstall removed the ini or the error log"
# It takes the event sources it installed with it.
for source in Quenloc "Vantrel Demo"; do
  $W reg query "HKLM\\SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\$source" >/dev/null 2>&1 &&
    fail "uninstall left the event source $source"
done
rm -f "$dest/error.log"
# Leaves the prefix as a fresh installation has it, for the tests that come after.
rm -f "$ini"
install "again after removal"
expect_ini "the ini is written again" $'[preferences]\r\nSilent Run=1\r\n[log file]\r\nWrite To Disk=1\r\n'
echo "quenloc_install_upgrade: all checks passed"
