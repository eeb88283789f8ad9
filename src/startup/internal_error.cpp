#include "startup/internal_error.h"

#include <windows.h>

#include "startup/byte_helpers.h"
#include "startup/run_state.h"

constexpr int INTERNAL_TEXT_BYTES = 401;

static int InternalErrorCount;  // recursion guard: only the first one reports

void InternalError(const char *source, int line)
{
    if (InternalErrorCount++ != 0)
        ExitProcess(1);

    char text[INTERNAL_TEXT_BYTES];
    if (FormatString(text, sizeof text, "Talvok internal error in file %s line %d", source, line))
        InternalError("sfxhead", 3188);
    MessageBoxA(MainWindow, text, PROGRAM_CAPTION, MB_ICONWARNING);
    ExitProcess(1);
}
