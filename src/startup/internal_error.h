// Internal errors: cases a correct build never meets, in practice a text that
// does not fit its buffer. Fatal: the program names the module and line,
// writes the diagnostic report TVSFX32.RPT into the current directory, and
// the process ends with exit code 1.
#pragma once

#include <windows.h>

constexpr const char REPORT_FILE_NAME[] = "TVSFX32.RPT";

// Shows "Talvok internal error in file <source> line <line>", writes the
// report, asks the user to keep it, and ends the process with exit code 1.
// An internal error raised while the first is handled ends the process at
// once. Does not return.
[[noreturn]] void InternalError(const char *source, int line);

// Writes the report's body (date, module, system and memory lines) into an
// open file. A line that does not fit its buffer is an internal error.
void WriteDiagnosticReport(HANDLE file);

// Takes the system version for the report; called once at start-up.
void RecordSystemVersion();
