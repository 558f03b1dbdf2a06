' A script's road to a service's state: GetObject on the computer path, then the
' container's GetObject for the service, then Status.
'   cscript //nologo adsi_client.vbs SERVICE EXPECTED_STATUS
Option Explicit
Dim args, info, computer, service, status
Set args = WScript.Arguments
Set info = CreateObject("WinNTSystemInfo")
computer = info.ComputerName
If Len(computer) = 0 Then WScript.Echo "FAIL: empty ComputerName"
status = GetObject("WinNT://" & computer & ",Computer").GetObject("service", args(0)).Status
If CStr(status) <> args(1) Then WScript.Echo "FAIL: Status " & status & ", expected " & args(1)

' A service that is not installed is an error the script sees.
On Error Resume Next
Set service = GetObject("WinNT://" & computer & ",Computer").GetObject("service", "VtNoSuchService")
If Err.Number <> &H80070424 Then WScript.Echo "FAIL: missing service gave " & Hex(Err.Number)
Err.Clear
On Error GoTo 0

WScript.Echo "adsi client: status " & status & ", all checks passed"
