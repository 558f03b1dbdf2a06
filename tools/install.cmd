@echo off
rem Installs Vantrel into the programs' folder and registers it.
rem   install.cmd             from the folder it is in (the unpacked package)
rem   install.cmd BUILD_DIR   from a build tree's programs' folder, BUILD_DIR\bin
setlocal
set "SRC=%~dp0"
set "SRC=%SRC:~0,-1%"
if not "%~1"=="" set "SRC=%~1\bin"
set "DEST=%ProgramFiles%\Vantrel"
if not exist "%SRC%\Quenloc.exe" goto usage
if not exist "%DEST%" mkdir "%DEST%"

rem A running service holds its modules open: stop it before anything is replaced.
sc query Quenloc >nul 2>&1
if errorlevel 1 goto stopped
sc stop Quenloc >nul 2>&1
for /l %%i in (1,1,30) do (
  sc query Quenloc | find "STOPPED" >nul
  if not errorlevel 1 goto stopped
  ping -n 2 127.0.0.1 >nul
)
:stopped
rem Syslog senders hold syslogsend.exe open. One that waits for its receiver ends once its
rem spool is saved (the next sender delivers it first); the others get 30 s to finish with
rem their message; only those still running then are ended, and named here.
"%SRC%\end_senders.exe" "%DEST%" 30

rem The event-log substitute, loaded from beside the programs under Wine.
copy /y "%SRC%\vteventlog.dll" "%DEST%\vteventlog.dll" >nul
if errorlevel 1 goto fail
copy /y "%SRC%\Lorvex.dll" "%DEST%\Lorvex.dll" >nul
if errorlevel 1 goto fail
regsvr32 /s "%DEST%\Lorvex.dll"
if errorlevel 1 goto fail
rem The service-control control; it registers Quillaby.tlb from beside itself.
copy /y "%SRC%\Quillaby.tlb" "%DEST%\Quillaby.tlb" >nul
if errorlevel 1 goto fail
copy /y "%SRC%\Dovrin.dll" "%DEST%\Dovrin.dll" >nul
if errorlevel 1 goto fail
regsvr32 /s "%DEST%\Dovrin.dll"
if errorlevel 1 goto fail
rem The two delivery channels: the syslog sender and the SMTP mail control.
copy /y "%SRC%\syslogsend.exe" "%DEST%\syslogsend.exe" >nul
if errorlevel 1 goto fail
copy /y "%SRC%\VelmSendmail.ocx" "%DEST%\VelmSendmail.ocx" >nul
if errorlevel 1 goto fail
regsvr32 /s "%DEST%\VelmSendmail.ocx"
if errorlevel 1 goto fail
rem The service program with its log monitor class and its service-host control.
copy /y "%SRC%\Mirrolan.dll" "%DEST%\Mirrolan.dll" >nul
if errorlevel 1 goto fail
regsvr32 /s "%DEST%\Mirrolan.dll"
if errorlevel 1 goto fail
copy /y "%SRC%\svcit.ocx" "%DEST%\svcit.ocx" >nul
if errorlevel 1 goto fail
regsvr32 /s "%DEST%\svcit.ocx"
if errorlevel 1 goto fail
rem The manager program; it hosts the service-control control and starts the service.
copy /y "%SRC%\Tallisk.exe" "%DEST%\Tallisk.exe" >nul
if errorlevel 1 goto fail
sc stop Quenloc >nul 2>&1
copy /y "%SRC%\Quenloc.exe" "%DEST%\Quenloc.exe" >nul
if errorlevel 1 goto fail
rem A service has no desktop: trapped errors go to the error log, never to a dialog. An
rem upgrade keeps the administrator's trap settings and only makes sure of Silent Run.
if exist "%DEST%\Nalt.INI" goto ini_kept
>"%DEST%\Nalt.INI" echo [preferences]
>>"%DEST%\Nalt.INI" echo Silent Run=1
>>"%DEST%\Nalt.INI" echo [log file]
>>"%DEST%\Nalt.INI" echo Write To Disk=1
goto ini_done
:ini_kept
cscript //nologo "%~dp0silent_run.vbs" "%DEST%\Nalt.INI" >"%TEMP%\vantrel_ini.txt" 2>&1
find "silent run " "%TEMP%\vantrel_ini.txt" >nul
if errorlevel 1 goto fail
:ini_done
rem The event sources our programs write under in the Application log, each with its
rem message file, so that the event viewer shows their entries' texts: the service's
rem warnings, the log monitor's, the syslog sender's, and the demo source's events. A
rem program with a source of its own adds its message file here and a line to uninstall.cmd.
copy /y "%SRC%\QuenlocMessages.dll" "%DEST%\QuenlocMessages.dll" >nul
if errorlevel 1 goto fail
call :source Quenloc QuenlocMessages.dll
if errorlevel 1 goto fail
copy /y "%SRC%\MirrolanMessages.dll" "%DEST%\MirrolanMessages.dll" >nul
if errorlevel 1 goto fail
call :source Mirrolan MirrolanMessages.dll
if errorlevel 1 goto fail
copy /y "%SRC%\SyslogsendMessages.dll" "%DEST%\SyslogsendMessages.dll" >nul
if errorlevel 1 goto fail
call :source syslogsend SyslogsendMessages.dll
if errorlevel 1 goto fail
copy /y "%SRC%\VantrelDemo.dll" "%DEST%\VantrelDemo.dll" >nul
if errorlevel 1 goto fail
call :source "Vantrel Demo" VantrelDemo.dll
if errorlevel 1 goto fail
rem The settings key: the manager's design states for the switches not set yet (so that a
rem fresh installation watches what the manager's window shows), and an access list that
rem lets only Administrators and SYSTEM read the mail password.
"%SRC%\vtsettings.exe"
if errorlevel 1 goto fail
rem The Windows service, made afresh by every installation. Its path is quoted: unquoted,
rem the service manager would try "C:\Program.exe" first.
sc delete Quenloc >nul 2>&1
sc create Quenloc binPath= "\"%DEST%\Quenloc.exe\"" start= auto DisplayName= "Vantrel event-log monitor" >nul
if errorlevel 1 goto fail
rem Recovery: the service manager starts the service again one minute after its process
rem ended without a stop (killed, crashed). Wine's accepts the setting but neither keeps
rem nor carries it out (3).
"%SRC%\svcrecovery.exe" Quenloc >nul
if errorlevel 4 goto fail
if errorlevel 3 goto recovery_done
if errorlevel 1 goto fail
:recovery_done
rem The "WinNT:" directory provider substitute, only where the platform has none (Wine);
rem a provider of ours from an earlier installation is updated.
reg query "HKCR\CLSID\{6A27423F-BB5F-4FA3-917B-3832380EBDEE}" >nul 2>&1
if not errorlevel 1 goto adsi
reg query "HKLM\Software\Microsoft\ADs\Providers\WinNT" >nul 2>&1
if not errorlevel 1 goto adsi_done
:adsi
copy /y "%SRC%\vtadsi.dll" "%DEST%\vtadsi.dll" >nul
if errorlevel 1 goto fail
regsvr32 /s "%DEST%\vtadsi.dll"
if errorlevel 1 goto fail
:adsi_done

echo Vantrel installed in %DEST%
exit /b 0

rem :source NAME MESSAGE_FILE registers an event source of the Application log with its
rem message file in the programs' folder.
:source
reg add "HKLM\SYSTEM\CurrentControlSet\Services\EventLog\Application\%~1" /v EventMessageFile /t REG_EXPAND_SZ /d "%DEST%\%~2" /f >nul
if errorlevel 1 exit /b 1
reg add "HKLM\SYSTEM\CurrentControlSet\Services\EventLog\Application\%~1" /v TypesSupported /t REG_DWORD /d 7 /f >nul
if errorlevel 1 exit /b 1
exit /b 0

:usage
echo usage: install.cmd [BUILD_DIR]
echo Without BUILD_DIR it installs from its own folder, which must hold Quenloc.exe.
exit /b 2

:fail
echo Vantrel installation failed
exit /b 1
