#include "ui/pump_messages.h"

#include <windows.h>

void PumpMessages()
{
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT)
            return;
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
}
