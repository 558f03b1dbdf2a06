@echo off
rem Removes the Windows service "Quenloc", unregisters the service's own COM servers
rem (the log monitor class and the service-host control) from the programs' folder and
rem removes the event sources "Quenloc" and "Vantrel Demo".
setlocal
set "DEST=%ProgramFiles%\Vantrel"
sc stop Quenloc >nul 2>&1
sc delete Quenloc >nul 2>&1
if exist "%DEST%\Mirrolan.dll" regsvr32 /s /u "%DEST%\Mirrolan.dll"
if exist "%DEST%\svcit.ocx" regsvr32 /s /u "%DEST%\svcit.ocx"
reg delete "HKLM\SYSTEM\CurrentControlSet\Services\EventLog\Application\Quenloc" /f >nul 2>&1
reg delete "HKLM\SYSTEM\CurrentControlSet\Services\EventLog\Application\Vantrel Demo" /f >nul 2>&1
echo The Quenloc service is removed
exit /b 0
