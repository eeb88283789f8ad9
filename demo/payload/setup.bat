@echo off
rem Demo set-up: leaves a note in the temporary folder to show that it ran.
echo Talvok demo: setup.bat ran in %CD% > "%TEMP%\talvok-demo.txt"
type leeme.txt >> "%TEMP%\talvok-demo.txt"
