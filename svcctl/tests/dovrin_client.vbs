' The control as a container's script drives it: the manager's calling order against a
' test service of our own, the edge cases of the members, and refused puts.
' Arguments: the test service program, a suffix that makes the service names unique.
Option Explicit

Dim failures: failures = 0
Sub Check(ok, what)
    If Not ok Then
        WScript.Echo "FAIL: " & what
        failures = failures + 1
    End If
End Sub

Const COMPONENT_ERROR = &H800407D0

Dim program: program = WScript.Arguments(0)
Dim suffix: suffix = WScript.Arguments(1) & "_" & CStr(Int(Timer * 100))  ' unique per run
Dim name: name = "VtTestScript" & suffix
Dim stiff: stiff = "VtTestScriptNoPause" & suffix

Function NewControl()
    Set NewControl = CreateObject("Dovrin.VuRURazerir")
End Function

Sub CreateService(svcName, extra)
    Dim c: Set c = NewControl()
    c.ManagerAccess = 3   ' M_CONNECT + M_CREATE_SERVICE
    c.ActiveManager = True
    c.ServiceName = svcName
    c.DisplayName = svcName & " display"
    c.BinaryPathName = """" & program & """ " & svcName & extra
    c.ServiceType = 16    ' WIN32_OWN_PROCESS
    c.StartType = 3       ' DEMAND_START
    c.ErrorControl = 1
    c.Createservice
    Check Not c.ActiveService, "Createservice leaves the service closed"
    c.ActiveManager = False
End Sub

' Polls the state for up to ten seconds (Wine's cscript has no WScript.Sleep).
Function WaitState(c, state)
    Dim started: started = Timer
    Do
        If c.QueryServiceStatus.CurrentState = state Then
            WaitState = True
            Exit Function
        End If
    Loop While Abs(Timer - started) < 10
    WaitState = False
End Function

' The manager's order: access, name, open both, start, close both.
Sub StartTheManagersWay(svcName)
    Dim c: Set c = NewControl()
    c.ManagerAccess = 5
    c.ServiceAccess = 983551
    c.ServiceName = svcName
    c.ActiveManager = True
    c.ActiveService = True
    c.Startservice
    Check Not c.ActiveService, "Startservice closes the service"
    c.ActiveService = False
    c.ActiveManager = False
End Sub

Function Opened(svcName)
    Dim c: Set c = NewControl()
    c.ManagerAccess = 5
    c.ServiceAccess = 983551
    c.ServiceName = svcName
    c.ActiveService = True
    Set Opened = c
End Function

CreateService name, ""
CreateService stiff, " nopause"

' --- start, read back, stop with the codes that all mean stop ---
StartTheManagersWay name
Dim c: Set c = Opened(name)
Check c.DisplayName = name & " display", "configuration loaded on open: " & c.DisplayName
Check WaitState(c, 4), "the service runs after Startservice"

On Error Resume Next
c.ControlService 5
Check Err.Number = COMPONENT_ERROR, "ControlService 5 refused: " & Hex(Err.Number)
Check Left(Err.Description, 4) = "87: ", "ControlService 5 text: " & Err.Description
Err.Clear
On Error GoTo 0
Check c.QueryServiceStatus.CurrentState = 4, "the refused control changed nothing"

c.ControlService 0
Check WaitState(c, 1), "ControlService 0 stops the service"
c.ActiveService = False
StartTheManagersWay name
c.ActiveService = True
Check WaitState(c, 4), "started again"
c.ControlService 9
Check WaitState(c, 1), "ControlService 9 stops the service"

' --- status objects ---
Dim st: Set st = c.QueryServiceStatus
Check st.ServiceName = name, "status name: " & st.ServiceName
Check st.ServiceType = 16, "status type " & st.ServiceType
st.CurrentState = 9
Check st.CurrentState = 1, "CurrentState put 9 reads 1"
st.ControlsAccepted = 8
Check st.ControlsAccepted = 0, "ControlsAccepted put 8 reads 0"

' --- a service that refuses pause and continue ---
StartTheManagersWay stiff
Dim s2: Set s2 = Opened(stiff)
Check WaitState(s2, 4), "the second service runs"
On Error Resume Next
s2.ControlService 3
Check Err.Number = COMPONENT_ERROR, "continue refused: " & Hex(Err.Number)
Check Left(Err.Description, 6) = "1052: ", "continue text: " & Err.Description
Err.Clear
On Error GoTo 0
s2.ControlService 1
Check WaitState(s2, 1), "CONTROL_STOP stops the second service"

' --- lists ---
Dim m: Set m = NewControl()
m.ManagerAccess = 5
m.ActiveManager = True
Dim all: Set all = m.GetServiceList(3, 59)
Dim i: i = all.IndexOf(UCase(name))
Check i >= 0, "GetServiceList 3, 59 holds the test service"
Check all.Count > 2, "GetServiceList lists many services"
Check all.Items(i) Is all.Items(i), "Items gives the same object twice"
Check all.Items(i).ServiceName = name, "item name"
Dim inactive: Set inactive = m.GetServiceList(2, 48)
Check inactive.IndexOf(name) >= 0, "the stopped service is inactive"
Dim active: Set active = m.GetServiceList(1, 48)
Check active.IndexOf(name) < 0, "and not active"
Dim before: before = all.Count
Set all.Items(0) = all.Items(1)
Check all.Count = before And all.Items(0).ServiceName <> all.Items(1).ServiceName, "Items put is ignored"
On Error Resume Next
Dim bad: Set bad = all.Items(all.Count)
Check Err.Number = &H8000FFFF, "Items out of range: " & Hex(Err.Number)
Check Err.Description = "List index out of bounds (" & before & ")", "list error: " & Err.Description
Err.Clear
On Error GoTo 0

' --- refused puts keep the old value ---
On Error Resume Next
m.ManagerAccess = 1
Check Err.Number = COMPONENT_ERROR, "ManagerAccess refused while open"
Check Err.Description = "Can not change parameter when CONTROL SERVICE MANAGER is active", Err.Description
Check Err.Source = "Dovrin.VuRURazerir", "error source " & Err.Source
Err.Clear
m.DatabaseName = "Other"
Check Err.Description = "Can not change parameter when CONTROL SERVICE MANAGER is active", "DatabaseName refused"
Err.Clear
On Error GoTo 0
Check m.ManagerAccess = 5, "ManagerAccess kept"
Check m.DatabaseName = "", "DatabaseName kept"
On Error Resume Next
c.ServiceAccess = 4
Check Err.Description = "Can not change parameter when SERVICE is active", "ServiceAccess refused: " & Err.Description
Err.Clear
On Error GoTo 0
Check c.ServiceAccess = 983551, "ServiceAccess kept"

' --- conversions ---
Dim v: Set v = NewControl()
v.ServiceAccess = &HF01FF
Check v.ServiceAccess = 983551, "all access"
v.ServiceAccess = &H14
Check v.ServiceAccess = 20, "S_QUERY_STATUS + S_START"
v.StartType = 7
Check v.StartType = 4, "StartType 7 reads 4"
v.ErrorControl = 9
Check v.ErrorControl = 1, "ErrorControl 9 reads 1"
v.ManagerAccess = 5
Check v.ManagerAccess = 5, "ManagerAccess"
Check v.DBLocked = False, "not locked"
Check v.ManagerHandle = 0, "no manager handle"
Check v.ClassNameIs("tntservice"), "ClassNameIs ignores case"

' --- object properties: Set is their put ---
Dim deps: Set deps = v.Dependencies
deps.Text = "a" & vbCrLf & "b"
Check deps.Count = 2, "Text put splits lines"
Check v.Dependencies.Item(1) = "b", "edits reach the control's list"
Set v.Dependencies = Nothing
Check v.Dependencies.Count = 2, "Dependencies put changes nothing"
Dim logon: Set logon = v.LogonAs
Check logon Is v.LogonAs, "LogonAs is always the same object"
logon.UserName = "VtUser"
Set v.LogonAs = Nothing
Check v.LogonAs.UserName = "VtUser", "LogonAs put changes nothing"

' --- clean up ---
' A service is removed once its last handle closes.
Set c = Nothing
Set s2 = Nothing
Sub Remove(svcName)
    Dim d: Set d = Opened(svcName)
    d.DeleteService
    Check Not d.ActiveService, "DeleteService closes the service"
End Sub
Remove name
Remove stiff
Dim gone: Set gone = NewControl()
gone.ServiceName = name
On Error Resume Next
gone.ActiveService = True
Check Err.Number = COMPONENT_ERROR, "deleted service cannot be opened"
Check Left(Err.Description, 6) = "1060: ", "deleted: " & Err.Description
On Error GoTo 0

If failures = 0 Then WScript.Echo "dovrin client: all checks passed"
