// The stub's process entry, in place of the C runtime's start-up code. The
// stub needs nothing that code prepares (no static constructors, no command
// line split into arguments, no console); leaving it out saves about a
// quarter of the stub's size. It hands WinMain what the runtime would: the
// instance, the command line after the program's name, the show state.
#include <windows.h>

#include "startup/dll_search.h"

// Skips the program's name (quoted or not) and the blanks after it, the way
// the C runtime does before it calls WinMain.
static char *ArgumentsAfterProgramName(char *command_line)
{
    char *p = command_line;
    if (*p == '"') {
        p++;
        while (*p && *p != '"')
            p++;
        if (*p)
            p++;
    } else {
        while (static_cast<unsigned char>(*p) > ' ')
            p++;
    }
    while (*p && static_cast<unsigned char>(*p) <= ' ')
        p++;
    return p;
}

extern "C" void __stdcall StubEntry()
{
    LimitDllSearchToSystemFolder();
    STARTUPINFOA startup;
    startup.dwFlags = 0;
    GetStartupInfoA(&startup);
    int show = (startup.dwFlags & STARTF_USESHOWWINDOW) ? startup.wShowWindow : SW_SHOWDEFAULT;
    ExitProcess(WinMain(GetModuleHandleA(nullptr), nullptr, ArgumentsAfterProgramName(GetCommandLineA()), show));
}
