' What an automation client of the installed Vantrel sees.
Option Explicit
Dim rec
Set rec = CreateObject("Lorvex.EventLogRecord")
WScript.Echo "Lorvex.EventLogRecord created: record " & rec.RecordNumber & _
             ", strings empty: " & IsEmpty(rec.Strings)

Dim log
Set log = CreateObject("Lorvex.EventLog")
On Error Resume Next
Dim n : n = log.RecordCount
WScript.Echo "Lorvex.EventLog.RecordCount -> error " & Hex(Err.Number) & " from " & Err.Source & ": " & Err.Description
On Error GoTo 0
WScript.Echo "demo finished"
