// Dialogs open in the middle of the screen, whatever their template says.
#pragma once

#include <windows.h>

// Moves the window so that it is centred on the primary screen; its size and
// activation stay as they are.
void CentreOnScreen(HWND window);
