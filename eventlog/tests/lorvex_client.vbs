' An automation client of Lorvex.dll: every class by ProgID, a record's defaults, and a
' reported error as the script's Err object shows it.
Option Explicit
Dim failures : failures = 0

Sub Check(ok, what)
    If Not ok Then
        WScript.Echo "FAIL: " & what
        failures = failures + 1
    End If
End Sub

Dim progid, obj
For Each progid In Array("Lorvex.EventSource", "Lorvex.EventSourceConfiguration", "Lorvex.EventLog", _
                         "Lorvex.EventLogBackup", "Lorvex.EventLogRecord", "Lorvex.EventLogConfiguration", _
                         "Lorvex.EventLog.1", "Lorvex.EventLogRecord.1")
    Set obj = CreateObject(progid)
    Check IsObject(obj), "CreateObject " & progid
Next

Dim rec : Set rec = CreateObject("Lorvex.EventLogRecord")
Check rec.RecordNumber = 0, "RecordNumber is 0"
Check rec.EventType = "", "EventType is empty"
Check rec.UserName = "", "UserName is empty"
Check CDbl(rec.TimeGenerated) = 0, "TimeGenerated is 0"
Check IsEmpty(rec.Strings), "Strings is Empty"
Check IsEmpty(rec.Data), "Data is Empty"
Check rec.EventCode = 0, "EventCode is 0"

' A backup reader with no file cannot open it: a Windows failure reaches Err with its
' code, the class's ProgID and the fixed text followed by the system message.
Dim backup : Set backup = CreateObject("Lorvex.EventLogBackup")
On Error Resume Next
Dim count : count = backup.RecordCount
Check ((Err.Number And &HFFFF0000) = &H80070000), "Err.Number carries a Windows code, got " & Hex(Err.Number)
Check Err.Source = "Lorvex.EventLogBackup.1", "Err.Source is the ProgID, got " & Err.Source
Check InStr(Err.Description, "Error opening backup event log - ") = 1, "Err.Description, got " & Err.Description
Err.Clear
On Error GoTo 0

If failures = 0 Then WScript.Echo "lorvex client: all checks passed"
