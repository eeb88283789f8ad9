// Errors the user can understand: shown in a box, then the current activity
// ends through AbortRun(2) (an extraction run, or at start-up the program).
#pragma once

#include <cstdint>

// Shows text (MB_ICONERROR, owner MainWindow if the dialog exists), then
// AbortRun(2). Does not return.
[[noreturn]] void ErrorAbort(const char *text);

// ErrorAbort with the fixed "header corrupt" text, which lives in the
// program's data so it can be shown before the message table exists.
[[noreturn]] void HeaderCorruptAbort();

// Formats format and its arguments into FormatBuffer and ends in ErrorAbort
// with it. A formatting failure is an internal error at format_place; a text
// that fills the buffer to its last byte, one at full_place (texts are never
// shown cut).
[[noreturn]] void ErrorAbortFormatted(int format_place, int full_place, const char *format, ...);

// A read of the archive came up short at the site numbered code: shows the
// read-error message naming the program's file and " <code>". Does not return.
[[noreturn]] void ReportReadError(int code);
