#!/usr/bin/env bash
# A fresh installation: the service's path quoted, the settings key readable only by
# Administrators and SYSTEM, its switches as the manager's window shows them, every event
# source with its message file. Installing over an installation keeps the administrator's
# settings and trap settings in Nalt.INI and only makes sure of "Silent Run=1". Removal
# leaves nothing of ours registered and no program file, and keeps the administrator's data.
#   install_upgrade.sh ROOT BUILD_DIR
set -euo pipefail
. "$(dirname "$0")/e2e_lib.sh" "$@"
ini="$dest/Nalt.INI"
install() { $W cmd /c "$(winpath "$root/tools/install.cmd")" "$(winpath "$build")" >"$build/install_upgrade.out" 2>&1 ||
              { cat "$build/install_upgrade.out"; fail "install ($1)"; }; }
expect_ini() {  # what, expected text
  printf '%s' "$2" | cmp -s - "$ini" || { echo "--- got"; cat -A "$ini"; echo "--- expected"; printf '%s' "$2" | cat -A; fail "$1"; }
}

uninstall() { $W cmd /c "$(winpath "$root/tools/uninstall.cmd")" >"$build/install_upgrade.out" 2>&1 ||
                { cat "$build/install_upgrade.out"; fail "uninstall ($1)"; }; }
product='SOFTWARE\Pelorin Software\Quenloc'
# The access list of a key, and whether it is the one the settings key must have: full
# control for Administrators and SYSTEM and nothing else, not inherited from SOFTWARE
# (protected) at the top, inherited from there below.
access() { $W "$testbin/key_access.exe" "$1" | tr -d '\r' || fail "cannot read the access list of $1"; }
expect_access() {  # what, key, P (protected) or ID (inherited)
  local got sorted
  got=$(access "$2")
  case "$3" in
    P) [[ "$got" =~ ^D:PA?I?\(A\;CI\;KA\;\;\;(BA|SY)\)\(A\;CI\;KA\;\;\;(BA|SY)\)$ ]] ;;
    ID) [[ "$got" =~ ^D:A?I?\(A\;CIID\;KA\;\;\;(BA|SY)\)\(A\;CIID\;KA\;\;\;(BA|SY)\)$ ]] ;;
  esac || fail "$1: the access list of $2 is $got"
  sorted=$(grep -o ';;;[A-Z]*)' <<<"$got" | sort | tr -d '\n')
  [ "$sorted" = ';;;BA);;;SY)' ] || fail "$1: the access list of $2 is $got"
}

"$root/tools/wineprefix.sh" start "$WINEPREFIX"
mkdir -p "$dest"
rm -f "$ini"
# A fresh installation: no settings key, none of our event sources.
$W reg delete "HKLM\\$product" /f >/dev/null 2>&1 || true
for source in Quenloc Mirrolan syslogsend "Vantrel Demo"; do
  $W reg delete "HKLM\\SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\$source" /f >/dev/null 2>&1 || true
done
install "fresh"
expect_ini "a fresh install writes the ini" $'[preferences]\r\nSilent Run=1\r\n[log file]\r\nWrite To Disk=1\r\n'
# The service's path is quoted, or the service manager tries C:\Program.exe first.
image=$(reg_value 'HKLM\SYSTEM\CurrentControlSet\Services\Quenloc' ImagePath)
[ "$image" = '"C:\Program Files\Vantrel\Quenloc.exe"' ] || fail "the service's path reads $image"
expect_access "a fresh install" "$product" P
expect_access "a fresh install" "$product\\1.0" ID

# What the manager's window shows on a fresh install is what the service reads: every
# switch is set, as the window shows it.
$W "$dest/Tallisk.exe" >"$build/install_upgrade-manager.out" 2>&1 &
manager=$!
shown=$($W "$testbin/tallisk_post_command.exe" "Vantrel Manager" switches | tr -d '\r') || fail "no manager window"
post "Vantrel Manager" close
wait "$manager" || fail "the manager ended with an error"
[ "$(wc -l <<<"$shown")" -eq 10 ] || fail "the window shows: $shown"
while IFS='=' read -r name value; do
  [ "$(reg_value "$key" "$name")" = "$value" ] || fail "the window shows $name=$value, the settings hold '$(reg_value "$key" "$name")'"
done <<<"$shown"

# Every event source our programs write under has its message file, with a message for
# each id the code takes from that file's header.
for entry in "Quenloc service/quenloc_messages.mc" "Mirrolan outside/mirrolan/mirrolan_messages.mc" \
             "syslogsend outside/syslogsend/syslogsend_messages.mc" "Vantrel_Demo demo/demo_messages.mc"; do
  read -r source mc <<<"$entry"
  source=${source//_/ }
  sources="HKLM\\SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\$source"
  [ "$(reg_value "$sources" TypesSupported)" = 0x7 ] || fail "the source $source supports no types"
  ids=$(sed -n 's/^MessageId=//p' "$root/$mc" | tr -d '\r')
  [ -n "$ids" ] || fail "no ids in $mc"
  for id in $ids; do
    text=$($W "$testbin/event_message.exe" "$source" "$id" "text $id" "2" 2>&1 | tr -d '\r') ||
      fail "source $source, id $id: $text"
    [[ "$text" == *"text $id"* ]] || fail "source $source, id $id reads: $text"
  done
done

# An upgrade over settings an administrator changed, and over a key an earlier installation
# left readable by everyone (made afresh by reg, it inherits from SOFTWARE): the values
# stay, the key gets its own access list.
$W reg delete "HKLM\\$product" /f >/dev/null 2>&1 || true
set_value MonitorAppLog 0
set_value MonitorDNSLog 1
set_value IncludeExclude I
install "over changed settings"
for kv in MonitorAppLog=0 MonitorDNSLog=1 IncludeExclude=I MonitorSecurityLog=1 MonitorDSLog=0; do
  [ "$(reg_value "$key" "${kv%%=*}")" = "${kv#*=}" ] || fail "after an upgrade ${kv%%=*} is '$(reg_value "$key" "${kv%%=*}")', not ${kv#*=}"
done
expect_access "an upgrade" "$product" P
expect_access "an upgrade" "$product\\1.0" ID

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
  $W "$testbin/spool_holder.exe" lock 'C:\Program Files\Vantrel' "$(winpath "$build/holder")" >/dev/null 2>&1 &
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

# Removal takes what the installation registered: the classes, type libraries and
# interfaces it added (the keys an installation adds to a prefix from which everything of
# ours was removed), the service and the event sources; and the files it copied. The
# administrator's data stays.
classes() {
  local f="$build/install_upgrade.classes"
  $W reg export 'HKLM\Software\Classes' "$(winpath "$f")" /y >/dev/null 2>&1 || fail "reg export"
  iconv -f UTF-16LE -t UTF-8 "$f" | tr -d '\r' | grep '^\[' | sort
}
uninstall "to begin without anything of ours registered"
classes > "$build/classes.none"
install "to be removed"
classes > "$build/classes.installed"
comm -13 "$build/classes.none" "$build/classes.installed" > "$build/classes.ours"
grep -qi 'Lorvex' "$build/classes.ours" || fail "the installation registered nothing of Lorvex's?"
data=(To.txt EXCLUSIONS.TXT Nalt.INI error.log syslogsend.spool)
for f in "${data[@]}"; do [ -f "$dest/$f" ] || printf 'kept\r\n' > "$dest/$f"; done
set_value SMTPServer kept.example.org
uninstall "after an installation"
grep -q 'Kept for a later installation' "$build/install_upgrade.out" || fail "uninstall does not say what it kept"
classes > "$build/classes.after"
comm -12 "$build/classes.ours" "$build/classes.after" > "$build/classes.left"
[ -s "$build/classes.left" ] && { head -20 "$build/classes.left"; fail "uninstall left $(wc -l < "$build/classes.left") keys registered"; }
$W sc query Quenloc >/dev/null 2>&1 && fail "uninstall left the service"
for source in Quenloc Mirrolan syslogsend "Vantrel Demo"; do
  $W reg query "HKLM\\SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\$source" >/dev/null 2>&1 &&
    fail "uninstall left the event source $source"
done
# The files the installer copies (Nalt.INI it writes once, for the administrator to edit).
copied=$(grep -o '%DEST%\\[A-Za-z0-9_.]*' "$root/tools/install.cmd" | sed 's/^%DEST%\\//' | grep -vix 'Nalt.INI' | sort -u)
[ -n "$copied" ] || fail "no files copied by install.cmd?"
left=$(cd "$dest" && ls | grep -ixF "$copied" || true)
[ -z "$left" ] || fail "uninstall left program files: $left"
for f in "${data[@]}"; do [ -f "$dest/$f" ] || fail "uninstall removed $f"; done
[ "$(reg_value "$key" SMTPServer)" = kept.example.org ] || fail "uninstall removed the settings"
rm -f "$dest/error.log" "$dest/syslogsend.spool" "$dest/To.txt" "$dest/EXCLUSIONS.TXT"
# Leaves the prefix as a fresh installation has it, for the tests that come after.
rm -f "$ini"
install "again after removal"
expect_ini "the ini is written again" $'[preferences]\r\nSilent Run=1\r\n[log file]\r\nWrite To Disk=1\r\n'
echo "quenloc_install_upgrade: all checks passed"
