// The main dialog, run modally from the template in the message table.
#pragma once

#include <windows.h>

INT_PTR CALLBACK MainDialogProc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam);
