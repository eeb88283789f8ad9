@echo off
rem Demo set-up: reports where it ran, with which arguments, and what it found
rem there, to the file named by TALVOK_DEMO_REPORT (else %TEMP%\talvok-demo.txt).
set report=%TALVOK_DEMO_REPORT%
if "%report%"=="" set report=%TEMP%\talvok-demo.txt
echo setup.bat ran in %CD% > "%report%"
echo with the arguments: %* >> "%report%"
echo and found there: >> "%report%"
dir /b /s >> "%report%"
