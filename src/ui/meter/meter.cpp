// The meter keeps its range and position in its window's extra bytes. This
// first cut registers the class so the main dialog can be created; drawing
// the bar and the member's name arrives with the extraction run.
#include "ui/meter/meter.h"

static LRESULT CALLBACK MeterProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam)
{
    return DefWindowProcA(window, message, wparam, lparam);
}

void RegisterMeterClass(HINSTANCE instance)
{
    WNDCLASSA meter = {};
    meter.style = CS_HREDRAW | CS_VREDRAW;
    meter.lpfnWndProc = MeterProc;
    meter.cbWndExtra = 4;
    meter.hInstance = instance;
    meter.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    meter.lpszClassName = "Meter";
    RegisterClassA(&meter);
}
