# Sourced by the wrapping-log benchmark and its service-level test (W and WINEPREFIX set):
# puts the "DNS Server" log into a fresh file of 64 KB, which wraps after some 700 small
# entries, and back. Call both while no process has the log open (the service stopped): a
# log's "File" and "MaxSize" are read when it is opened while no process has it open, and
# a log file never shrinks, so the small log needs a file of its own.
small_log_key='HKLM\SYSTEM\CurrentControlSet\Services\EventLog\DNS Server'
small_log_file="$WINEPREFIX/drive_c/windows/system32/config/VtWrap64k.evt"
small_log_set() {  # FILE MAXSIZE
  $W reg add "$small_log_key" /v File /t REG_EXPAND_SZ /d "%SystemRoot%\\System32\\config\\$1" /f >/dev/null
  $W reg add "$small_log_key" /v MaxSize /t REG_DWORD /d "$2" /f >/dev/null
}
small_log_on() {
  rm -f "$small_log_file"
  small_log_set VtWrap64k.evt 65536
}
small_log_off() {
  small_log_set DnsEvent.Evt 524288
  rm -f "$small_log_file"
}
