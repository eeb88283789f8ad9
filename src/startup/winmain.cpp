// The program's only entry: prepares the run-wide state, reads and checks the
// program's own file, and runs the main dialog; every early exit returns 0.
// The later start-up steps (own file, header, options, dialog) arrive with
// their modules; until then start-up ends after saving the abort context.
#include <windows.h>
#include <commctrl.h>

#include "extract/inflate/stream_buffers.h"
#include "startup/abort.h"
#include "startup/parameter_block_data.h"
#include "startup/path_helpers.h"
#include "startup/run_state.h"

// Makes the folder that holds the program current, so that relative names
// (the report file, spanned archives) resolve beside it.
static void EnterProgramFolder()
{
    char module_name[MODULE_NAME_BYTES];
    if (!GetModuleFileNameA(nullptr, module_name, sizeof module_name))
        return;
    char *separator = FindLastSeparator(module_name);
    if (separator)
        *separator = '\0';
    SetCurrentDirectoryA(module_name);
}

// Releases what start-up acquired. Early exits skip this and leave the
// release to the end of the process.
static void Teardown()
{
    ReleaseRunBuffers();
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
    ResetRunState();
    InputRemaining = -1;
    InitCommonControls();
    BusyCursor = LoadCursorA(nullptr, IDC_WAIT);
    ArrowCursor = LoadCursorA(nullptr, IDC_ARROW);
    EnterProgramFolder();
    AppInstance = instance;
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    WindowsVersion = GetVersion();
    if (AllocateRunBuffers())
        return 0;  // a few hundred bytes could not be had: nothing can be shown

    if (!GetModuleFileNameA(nullptr, OwnPath, sizeof OwnPath))
        OwnPath[0] = '\0';
    MakeLongName(OwnPath, sizeof OwnPath);

    // Read once so the linker keeps the block the builder patches; the
    // start-up steps that act on it follow with their modules.
    volatile uint32_t flags = ParameterFlags();
    (void)flags;

    static AbortPoint start_up;
    if (SAVE_ABORT_CONTEXT(start_up))
        return 0;

    // The main dialog's handlers run inside user32's frames: from here on an
    // abort outside an extraction run ends the process instead of jumping.
    AbortContext = nullptr;
    Teardown();
    return 0;
}
