@echo off
rem Installs Vantrel from a build folder into the programs' folder and registers it.
rem   install.cmd BUILD_DIR
setlocal
set "SRC=%~1"
set "DEST=%ProgramFiles%\Vantrel"
if "%SRC%"=="" goto usage
if not exist "%DEST%" mkdir "%DEST%"

rem The event-log substitute, loaded from beside the programs under Wine.
copy /y "%SRC%\bin\vteventlog.dll" "%DEST%\vteventlog.dll" >nul
if errorlevel 1 goto fail
copy /y "%SRC%\bin\Lorvex.dll" "%DEST%\Lorvex.dll" >nul
if errorlevel 1 goto fail
regsvr32 /s "%DEST%\Lorvex.dll"
if errorlevel 1 goto fail
rem The two delivery channels: the syslog sender and the SMTP mail control.
copy /y "%SRC%\bin\syslogsend.exe" "%DEST%\syslogsend.exe" >nul
if errorlevel 1 goto fail
copy /y "%SRC%\bin\VelmSendmail.ocx" "%DEST%\VelmSendmail.ocx" >nul
if errorlevel 1 goto fail
regsvr32 /s "%DEST%\VelmSendmail.ocx"
if errorlevel 1 goto fail

echo Vantrel installed in %DEST%
exit /b 0

:usage
echo usage: install.cmd BUILD_DIR
exit /b 2

:fail
echo Vantrel installation failed
exit /b 1
