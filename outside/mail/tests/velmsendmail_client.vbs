' The mail control as a script host drives it: by ProgID and by member name.
Option Explicit
Dim m, started
Set m = CreateObject("VelmSendMail.VelmSendmail")
m.SMTPServer = "192.0.2.1:25"
m.FromEmail = "vantrel@example.com"
m.ToEmail = "ops@example.com,second@example.com"
m.Subject = "Computer: SRV1 - Record Number: 7"
m.Body = "Event Type: Error"
m.UserName = ""
m.Password = ""
If m.ToEmail <> "ops@example.com,second@example.com" Then WScript.Echo "FAIL: ToEmail reads back " & m.ToEmail
If m.SMTPServer <> "192.0.2.1:25" Then WScript.Echo "FAIL: SMTPServer reads back " & m.SMTPServer

' A server that does not answer must not hold the caller: the outcome comes later.
started = Timer
m.SendMessage
If Timer - started > 2 Then WScript.Echo "FAIL: SendMessage waited for the server"
m.Subject = "changed after the call"
m.SendMessage
WScript.Echo "velmsendmail client: all checks passed"
