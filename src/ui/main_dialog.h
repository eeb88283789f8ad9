// The main dialog, run modally from the template in the message table.
#pragma once

#include <windows.h>

#include <cstdint>

// The main dialog's controls that other modules reach: the message text, the
// status line that names the member being unpacked, the about/info button,
// the icon, and the progress meter.
constexpr int ID_MESSAGE = 101;
constexpr int ID_STATUS = 109;
constexpr int ID_ABOUT_BUTTON = 112;
constexpr int ID_ICON = 120;
constexpr int ID_METER = 201;

// The dialog's run state, shared with the install sequence's waits.
extern uint8_t CancelFlag;   // the user gave up: ends every wait
extern int WaitingForDone;   // button 1 is Done and the dialog waits for it
extern int CommandRunning;   // the command was started and not yet waited out
extern int InstallUnderWay;  // the install sequence runs: Install is ignored
extern uint8_t SessionEnded; // WM_QUERYENDSESSION came: nothing more is started

INT_PTR CALLBACK MainDialogProc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam);
