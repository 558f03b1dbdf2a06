' Makes sure the error trap's ini file says "Silent Run=1" in [preferences], so that a
' trapped error in the service never waits for an answer nobody can give. Every other line
' of the administrator's file stays as it is; a file that already says so is not touched.
'   cscript //nologo silent_run.vbs PATH_OF_NALT_INI
' Prints "silent run set" or "silent run kept" as its last line; anything else is a failure.
Option Explicit

Const ForReading = 1
Dim fso : Set fso = CreateObject("Scripting.FileSystemObject")
Dim path : path = WScript.Arguments(0)

Dim text : text = ""
Dim f : Set f = fso.OpenTextFile(path, ForReading, False)
If Not f.AtEndOfStream Then text = f.ReadAll
f.Close

' Lines split on LF; a CR before it stays with its line, so line ends come back unchanged.
Dim lines : lines = Split(text, vbLf)
If UBound(lines) < 0 Then lines = Array("")
Dim ending : ending = vbCrLf
If InStr(text, vbLf) > 0 And InStr(text, vbCrLf) = 0 Then ending = vbLf

' Where [preferences] starts and where its first "Silent Run" key is, compared the way
' the profile functions compare: names without regard to case, blanks around them ignored.
Dim i, inside, header, found, bare
header = -1 : found = -1 : inside = False
For i = 0 To UBound(lines)
    bare = Trim(Replace(lines(i), vbCr, ""))
    If Left(bare, 1) = "[" Then
        inside = (LCase(bare) = "[preferences]")
        If inside And header < 0 Then header = i
    ElseIf inside And found < 0 And InStr(bare, "=") > 0 Then
        If LCase(Trim(Left(bare, InStr(bare, "=") - 1))) = "silent run" Then found = i
    End If
Next

Dim changed : changed = True
If found >= 0 Then
    bare = Replace(lines(found), vbCr, "")
    If Trim(Mid(bare, InStr(bare, "=") + 1)) = "1" Then
        changed = False
    Else
        lines(found) = "Silent Run=1" & Mid(lines(found), Len(bare) + 1)
    End If
ElseIf header >= 0 Then
    ' The new line goes right below the section header, with the file's own line end.
    If header = UBound(lines) Then
        lines(header) = lines(header) & ending & "Silent Run=1" & ending
    Else
        lines(header) = lines(header) & vbLf & "Silent Run=1" & Left(ending, Len(ending) - 1)
    End If
Else
    If Len(text) > 0 And Right(text, 1) <> vbLf Then lines(UBound(lines)) = lines(UBound(lines)) & ending
    lines(UBound(lines)) = lines(UBound(lines)) & "[preferences]" & ending & "Silent Run=1" & ending
End If

If changed Then
    ' Joined by hand: not every script host has Join (Wine's has not).
    Dim joined : joined = lines(0)
    For i = 1 To UBound(lines)
        joined = joined & vbLf & lines(i)
    Next
    Dim out : Set out = fso.CreateTextFile(path, True)
    out.Write joined
    out.Close
    WScript.Echo "silent run set"
Else
    WScript.Echo "silent run kept"
End If
