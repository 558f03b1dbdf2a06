#!/usr/bin/env bash
# Registers the system's six event logs in a Wine prefix, as a Windows server has them,
# for vteventlog.dll: each with its File, MaxSize and Retention values.
#   prefix_logs.sh WINE      (WINEPREFIX and WINEDEBUG set by the caller)
# Existing values are overwritten; other subkeys (Wine's own Parameters key) are left alone.
set -euo pipefail
wine=${1:?usage: prefix_logs.sh WINE}
reg=$(mktemp --suffix=.reg)
trap 'rm -f "$reg"' EXIT

# REG_EXPAND_SZ in a REGEDIT4 file: the text's ANSI bytes as hex, with the terminator.
hex2() {
  local s=$1 out="" c i
  for ((i = 0; i < ${#s}; i++)); do printf -v c '%02x,' "'${s:i:1}"; out+=$c; done
  printf '%s00' "$out"
}

{
  printf 'REGEDIT4\r\n\r\n'
  for entry in "Application=AppEvent.Evt" "Security=SecEvent.Evt" "System=SysEvent.Evt" \
               "Directory Service=NTDS.Evt" "DNS Server=DnsEvent.Evt" \
               "File Replication Service=NtFrs.Evt"; do
    name=${entry%%=*}
    file=${entry#*=}
    printf '[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\\EventLog\\%s]\r\n' "$name"
    printf '"File"=hex(2):%s\r\n' "$(hex2 "%SystemRoot%\\System32\\config\\$file")"
    printf '"MaxSize"=dword:00080000\r\n"Retention"=dword:00000000\r\n\r\n'
  done
} >"$reg"
"$wine" regedit /S "Z:${reg//\//\\}"
