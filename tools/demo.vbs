' What an automation client of the installed Vantrel sees: an event reported as a source
' of the Application log, then read back and decoded.
Option Explicit
On Error Resume Next
Main
If Err.Number <> 0 Then WScript.Echo "demo failed: " & Hex(Err.Number) & " from " & Err.Source & ": " & Err.Description

Sub Main
    Dim src : Set src = CreateObject("Lorvex.EventSource")
    src.SourceName = "Vantrel Demo"
    src.ReportError 1000, Array("The demo disk is full", "C:"), Array(1, 2, 3)

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

    ' The demo source has no message file, so the description fails with the reason.
    On Error Resume Next
    text = rec.EventDescription
    WScript.Echo "  description: error " & Hex(Err.Number) & " from " & Err.Source & ": " & Err.Description
    Err.Clear
    On Error GoTo 0
    WScript.Echo "demo finished"
End Sub
