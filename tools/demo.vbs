' What an automation client of the installed Vantrel sees: an event reported as the demo
' source of the Application log (installed with its message file), then read back and
' decoded, its description rendered from that message file.
Option Explicit
On Error Resume Next
Main
If Err.Number <> 0 Then WScript.Echo "demo failed: " & Hex(Err.Number) & " from " & Err.Source & ": " & Err.Description

Sub Main
    Dim src : Set src = CreateObject("Lorvex.EventSource")
    src.SourceName = "Vantrel Demo"
    src.ReportWarning 1001, Array("\\FILES\Projects", "42"), Array(1, 2, 3)

    Dim log : Set log = CreateObject("Lorvex.EventLog")
    log.SourceName = "Application"
    Dim rec : Set rec = log.ReadRecord(log.OldestRecordNumber + log.RecordCount - 1)
    WScript.Echo "Application log record " & rec.RecordNumber & ": " & rec.EventType & " " & rec.EventCode & _
                 " from " & rec.SourceName & " on " & rec.ComputerName & " at " & rec.TimeWritten
    Dim strings, i, text : strings = rec.Strings
    For i = LBound(strings) To UBound(strings)
        text = text & " [" & strings(i) & "]"
    Next
    WScript.Echo "  strings:" & text
    WScript.Echo "  description: " & Replace(rec.EventDescription, vbCrLf, "")
    WScript.Echo "demo finished"
End Sub
