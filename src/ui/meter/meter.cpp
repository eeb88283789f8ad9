// The meter keeps its range and position in its window's extra bytes and
// paints the whole control each time: the done part in the highlight
// colours, the rest inverted, and across both one centred line naming the
// member being written, so that each part clips its own share of the text.
#include "ui/meter/meter.h"

#include "extract/extract_member.h"
#include "portable/message_buffers.h"
#include "startup/byte_helpers.h"
#include "startup/message_table.h"
#include "startup/path_helpers.h"

constexpr int RANGE_INDEX = 0;
constexpr int POSITION_INDEX = 2;
constexpr int METER_FONT_POINTS = 8;

// The 8-point "MS Shell Dlg" font for the display's resolution.
static HFONT CreateMeterFont()
{
    HDC display = CreateDCA("DISPLAY", nullptr, nullptr, nullptr);
    LOGFONTA font = {};
    lstrcpynA(font.lfFaceName, "MS Shell Dlg", sizeof font.lfFaceName);
    font.lfHeight = -(GetDeviceCaps(display, LOGPIXELSY) * METER_FONT_POINTS) / 72;
    HFONT created = CreateFontIndirectA(&font);
    DeleteDC(display);
    return created;
}

// "Descomprimiendo <name>", cut to fit when the name is long (a name is
// at most a path long, so twice the room always holds the whole text).
static int FormatMeterText(char *text)
{
    char formatted[METER_TEXT_BYTES * 2];
    text[0] = '\0';
    if (FormatString(formatted, sizeof formatted, Message(MSG_UNZIPPING), FileNamePart(OutputPath)) == 0)
        lstrcpynA(text, formatted, METER_TEXT_BYTES);
    return lstrlenA(text);
}

static void Paint(HWND meter)
{
    int range = static_cast<int>(SendMessageA(meter, METER_GETRANGE, 0, 0));
    int position = static_cast<int>(SendMessageA(meter, METER_GETPOS, 0, 0));
    if (range == 0) {
        range = 1;
        position = 0;
    }
    char text[METER_TEXT_BYTES];
    const int length = FormatMeterText(text);

    PAINTSTRUCT paint;
    HDC dc = BeginPaint(meter, &paint);
    HFONT font = CreateMeterFont();
    HGDIOBJ previous_font = font ? SelectObject(dc, font) : nullptr;
    SetBkColor(dc, GetSysColor(COLOR_HIGHLIGHT));
    SetTextColor(dc, GetSysColor(COLOR_HIGHLIGHTTEXT));
    SetTextAlign(dc, TA_CENTER | TA_TOP);

    RECT client;
    GetClientRect(meter, &client);
    const int split = position * client.right / range;
    SIZE letter = {};
    const bool measured = GetTextExtentPoint32A(dc, "X", 1, &letter) != 0;
    const int x = client.right / 2;
    const int y = static_cast<int>(static_cast<unsigned>(client.bottom - letter.cy) / 4);
    if (measured) {
        RECT done = {0, 0, split, client.bottom};
        ExtTextOutA(dc, x, y, ETO_CLIPPED | ETO_OPAQUE, &done, text, length, nullptr);
    }
    SetBkColor(dc, GetSysColor(COLOR_HIGHLIGHTTEXT));
    SetTextColor(dc, GetSysColor(COLOR_HIGHLIGHT));
    RECT rest = {split, 0, client.right, client.bottom};
    ExtTextOutA(dc, x, y, ETO_CLIPPED | ETO_OPAQUE, &rest, text, length, nullptr);

    if (font) {
        SelectObject(dc, previous_font);
        DeleteObject(font);
    }
    EndPaint(meter, &paint);
}

static LRESULT Store(HWND meter, int index, WPARAM value)
{
    SetWindowWord(meter, index, static_cast<WORD>(value));
    InvalidateRect(meter, nullptr, FALSE);
    UpdateWindow(meter);
    return 0;
}

static LRESULT CALLBACK MeterProc(HWND meter, UINT message, WPARAM wparam, LPARAM lparam)
{
    switch (message) {
    case METER_SETRANGE:
        return Store(meter, RANGE_INDEX, wparam);
    case METER_GETRANGE:
        return static_cast<WORD>(GetWindowWord(meter, RANGE_INDEX));
    case METER_SETPOS:
        return Store(meter, POSITION_INDEX, wparam);
    case METER_GETPOS:
        return static_cast<WORD>(GetWindowWord(meter, POSITION_INDEX));
    case WM_CREATE:
        SendMessageA(meter, METER_SETRANGE, 100, 0);
        SendMessageA(meter, METER_SETPOS, 50, 0);
        return 0;
    case WM_GETDLGCODE:
        return DLGC_STATIC;
    case WM_PAINT:
        Paint(meter);
        return 0;
    default:
        return DefWindowProcA(meter, message, wparam, lparam);
    }
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
