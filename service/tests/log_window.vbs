' log_window.vbs LOG [clear]: prints "oldest count" of an event log, its oldest record number
' and its record count; with "clear", clears the log first. Prints nothing when either fails.
Set events = CreateObject("Lorvex.EventLog")
events.SourceName = WScript.Arguments(0)
If WScript.Arguments.Count > 1 Then events.Clear
WScript.Echo events.OldestRecordNumber & " " & events.RecordCount
