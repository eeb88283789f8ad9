// The progress meter control, window class "Meter".
#pragma once

#include <windows.h>

constexpr UINT METER_SETRANGE = 0x400;
constexpr UINT METER_GETRANGE = 0x401;
constexpr UINT METER_SETPOS = 0x402;
constexpr UINT METER_GETPOS = 0x403;

// Registers the Meter class for instance; the main dialog's template names it.
void RegisterMeterClass(HINSTANCE instance);
