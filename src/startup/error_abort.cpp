#include "startup/error_abort.h"

#include <windows.h>

#include <cstdarg>

#include "fixed_texts.h"
#include "startup/abort.h"
#include "startup/byte_helpers.h"
#include "startup/internal_error.h"
#include "startup/internal_error_places.h"
#include "startup/message_box.h"
#include "startup/message_table.h"
#include "startup/run_state.h"

// Shows text, formatted from the table text source, and aborts.
[[noreturn]] static void ErrorAbortFrom(const char *text, const char *source)
{
    ShowMessage(MainWindow, text, MB_ICONERROR, source);
    AbortRun(2);
}

void ErrorAbort(const char *text)
{
    ErrorAbortFrom(text, text);
}

void HeaderCorruptAbort()
{
    ErrorAbort(TEXT_HEADER_CORRUPT);
}

void ErrorAbortFormatted(int format_place, int full_place, const char *format, ...)
{
    va_list arguments;
    va_start(arguments, format);
    const int failed = FormatStringV(FormatBuffer, BufferSizes[SIZE_FORMAT_BUFFER], format, arguments);
    va_end(arguments);
    if (failed)
        InternalError("sfxhead", format_place);
    if (lstrlenA(FormatBuffer) >= BufferSizes[SIZE_FORMAT_BUFFER] - 1)
        InternalError("sfxhead", full_place);
    ErrorAbortFrom(FormatBuffer, format);
}

void ReportReadError(int code)
{
    char code_text[32];
    if (FormatString(code_text, sizeof code_text, " <%d>", code))
        InternalError("sfxhead", PLACE_READ_ERROR_CODE);
    if (FormatString(FormatBuffer, BufferSizes[SIZE_FORMAT_BUFFER], Message(MSG_READ_ERROR), OwnPath))
        InternalError("sfxhead", PLACE_READ_ERROR_TEXT);
    if (AppendString(FormatBuffer, BufferSizes[SIZE_FORMAT_BUFFER], code_text))
        InternalError("sfxhead", PLACE_READ_ERROR_APPEND);
    // A text that fills the buffer to its last byte counts as not fitting.
    if (lstrlenA(FormatBuffer) >= BufferSizes[SIZE_FORMAT_BUFFER] - 1)
        InternalError("sfxhead", PLACE_READ_ERROR_FULL);
    ErrorAbortFrom(FormatBuffer, Message(MSG_READ_ERROR));
}
