@echo off
rem Runs fontpick.exe in this folder and keeps the window open, so that the
rem generator's report, or its error, can be read after a double-click.
cd /d "%~dp0"
fontpick.exe %*
set status=%errorlevel%
echo.
pause
exit /b %status%
