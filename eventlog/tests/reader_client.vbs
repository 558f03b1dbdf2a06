' A script that reports events as a source of its own log, walks the log with For Each,
' reads every property of the decoded records, and clears the log with and without backup.
'   cscript reader_client.vbs MESSAGE_DLL BACKUP_FILE
Option Explicit
Dim failures : failures = 0
Sub Check(ok, what)
    If Not ok Then
        WScript.Echo "FAIL: " & what
        failures = failures + 1
    End If
End Sub

' A run-time error ends Main and is reported here: cscript would stop without a word.
On Error Resume Next
Main
If Err.Number <> 0 Then Check False, "run-time error " & Hex(Err.Number) & " from " & Err.Source & ": " & Err.Description
On Error GoTo 0
If failures = 0 Then WScript.Echo "reader client: all checks passed"

Sub Main
Dim dll : dll = WScript.Arguments(0)
Dim backupFile : backupFile = WScript.Arguments(1)
Dim fso : Set fso = CreateObject("Scripting.FileSystemObject")
If fso.FileExists(backupFile) Then fso.DeleteFile backupFile
Dim shell : Set shell = CreateObject("WScript.Shell")
Const LogKey = "HKLM\SYSTEM\CurrentControlSet\Services\EventLog\VtScriptLog\"
shell.RegWrite LogKey & "MaxSize", 524288, "REG_DWORD"
shell.RegWrite LogKey & "VtScriptSource\EventMessageFile", dll, "REG_EXPAND_SZ"
shell.RegWrite LogKey & "VtScriptSource\CategoryMessageFile", dll, "REG_EXPAND_SZ"
shell.RegWrite LogKey & "VtScriptSource\ParameterMessageFile", dll, "REG_EXPAND_SZ"

Dim log : Set log = CreateObject("Lorvex.EventLog")
log.SourceName = "VtScriptLog"
log.Clear

Dim src : Set src = CreateObject("Lorvex.EventSource")
src.SourceName = "VtScriptSource"
src.Category = 1
src.ReportError 1000, Array("C:"), Array(1, 2, 255)
src.ReportWarning 1001, Array("7")
src.ReportInformation 1000, "D:"
On Error Resume Next
src.ReportError 1000, 42
Check Err.Number = &H80020005, "a number for Strings is a type mismatch, got " & Hex(Err.Number)
Check Err.Description = "Unsupported variant type - strings expected", "mismatch text, got " & Err.Description
Err.Clear
src.ReportError 1000, Array("x"), Array(256)
Check Err.Description = "Error converting to a byte value", "256 is no byte, got " & Err.Description
Err.Clear
On Error GoTo 0
Check log.RecordCount = 3, "three events written, got " & log.RecordCount

Dim rec, seen, n : seen = 0
For Each rec In log.EventLogRecords
    seen = seen + 1
    Check rec.RecordNumber = log.OldestRecordNumber + seen - 1, "records in order"
    Check rec.SourceName = "VtScriptSource", "SourceName"
    Check Len(rec.ComputerName) > 0, "ComputerName"
    Check rec.UserName = "", "no user SID was written"
    Check rec.Category = 1, "Category"
    Check Left(rec.CategoryDescription, 4) = "Disk", "CategoryDescription, got " & rec.CategoryDescription
    Check CDbl(rec.TimeGenerated) > 40000 And CDbl(rec.TimeWritten) >= CDbl(rec.TimeGenerated), "times"
    Check rec.EventCode = (rec.EventId And 65535), "EventCode"
    Select Case seen
    Case 1
        Check rec.EventType = "Error", "EventType of 1"
        Check rec.EventId = 1000, "EventId of 1"
        Check Trim(rec.EventDescription) = "Disk C: is full", "EventDescription of 1, got " & rec.EventDescription
        ' The properties return copies of their arrays: index the copy.
        Dim strings : strings = rec.Strings
        Check UBound(strings) = 1 And LBound(strings) = 1, "Strings bounds"
        Check strings(1) = "C:", "Strings(1)"
        Dim data : data = rec.Data
        Check LBound(data) = 1 And UBound(data) = 3, "Data bounds"
        Check data(3) = 255, "Data(3)"
    Case 2
        Check rec.EventType = "Warning", "EventType of 2"
        Check InStr(rec.EventDescription, "seven") > 0, "parameter message, got " & rec.EventDescription
        Check IsEmpty(rec.Data), "no data"
    Case 3
        Check rec.EventType = "Information", "EventType of 3"
        strings = rec.Strings
        Check strings(1) = "D:", "one string"
    End Select
Next
Check seen = 3, "For Each saw every record, got " & seen

' Clear with a variable naming the backup (it arrives by reference), then with "".
log.Clear backupFile
Check log.RecordCount = 0, "cleared"
Dim backup : Set backup = CreateObject("Lorvex.EventLogBackup")
backup.FileName = backupFile
Check backup.RecordCount = 3, "the backup holds the three events"
Check backup.ReadRecord(backup.OldestRecordNumber).EventId = 1000, "backup record"
Set backup = Nothing
src.ReportInformation 5
log.Clear ""
Check log.RecordCount = 0, "cleared without backup"
End Sub
