@echo off
rem Removes what install.cmd installed: the Windows service "Quenloc", the COM servers'
rem registrations, the event sources and the program files. The administrator's data
rem stays for a later installation: the settings key HKLM\SOFTWARE\Pelorin Software\Quenloc
rem and, in the programs' folder, To.txt, EXCLUSIONS.TXT, Nalt.INI, error.log and
rem syslogsend.spool.
setlocal
set "DEST=%ProgramFiles%\Vantrel"
set "LEFT="

rem A running service holds its modules open.
sc query Quenloc >nul 2>&1
if errorlevel 1 goto stopped
sc stop Quenloc >nul 2>&1
for /l %%i in (1,1,30) do (
  sc query Quenloc | find "STOPPED" >nul
  if not errorlevel 1 goto stopped
  ping -n 2 127.0.0.1 >nul
)
:stopped
sc delete Quenloc >nul 2>&1
rem Syslog senders hold syslogsend.exe open. As at an installation, one that waits for its
rem receiver ends once its spool is saved and the others get 30 s (end_senders.exe is in the
rem package beside this script); run from elsewhere, it ends them. The spool stays.
if exist "%~dp0end_senders.exe" (
  "%~dp0end_senders.exe" "%DEST%" 30
) else (
  taskkill /f /im syslogsend.exe >nul 2>&1
)

rem Each COM server removes what it registered. vtadsi.dll is in the programs' folder only
rem where the installer registered it (no "WinNT:" provider of the platform's own).
for %%m in (Lorvex.dll Dovrin.dll VelmSendmail.ocx Mirrolan.dll svcit.ocx vtadsi.dll) do call :unregister %%m

rem The event sources, with the message files below.
for %%s in (Quenloc Mirrolan syslogsend "Vantrel Demo") do (
  reg delete "HKLM\SYSTEM\CurrentControlSet\Services\EventLog\Application\%%~s" /f >nul 2>&1
)

rem The files the installer copied.
for %%f in (vteventlog.dll Lorvex.dll Quillaby.tlb Dovrin.dll syslogsend.exe VelmSendmail.ocx) do call :remove %%f
for %%f in (Mirrolan.dll svcit.ocx Tallisk.exe Quenloc.exe vtadsi.dll) do call :remove %%f
for %%f in (QuenlocMessages.dll MirrolanMessages.dll SyslogsendMessages.dll VantrelDemo.dll) do call :remove %%f
rem The folder goes only when nothing of the administrator's is left in it.
rd "%DEST%" >nul 2>&1

if defined LEFT echo Could not remove:%LEFT%
echo Vantrel is removed. Kept for a later installation: the settings in
echo HKLM\SOFTWARE\Pelorin Software\Quenloc and, where they exist, To.txt, EXCLUSIONS.TXT,
echo Nalt.INI, error.log and syslogsend.spool in %DEST%.
if defined LEFT exit /b 1
exit /b 0

rem :unregister FILE runs the module's own unregistration, once more when the first start
rem of regsvr32 fails.
:unregister
if not exist "%DEST%\%~1" exit /b 0
regsvr32 /s /u "%DEST%\%~1"
if not errorlevel 1 exit /b 0
regsvr32 /s /u "%DEST%\%~1"
if errorlevel 1 set "LEFT=%LEFT% the registration of %~1;"
exit /b 0

:remove
if not exist "%DEST%\%~1" exit /b 0
del /f /q "%DEST%\%~1" >nul 2>&1
if exist "%DEST%\%~1" set "LEFT=%LEFT% %~1;"
exit /b 0
