// The program's only entry: prepares the run-wide state, reads and checks the
// program's own file, asks the intro question, reads the command line and
// runs the main dialog. Every exit returns 0 (only an internal error ends the
// process with another code), or, with FLAG_EXIT_CODES, the run's exit code.
#include <windows.h>
#include <commctrl.h>

#include "archive/member_record.h"
#include "fixed_texts.h"
#include "portable/message_table_layout.h"
#include "startup/abort.h"
#include "startup/byte_helpers.h"
#include "startup/command_line.h"
#include "startup/exit_code.h"
#include "startup/internal_error.h"
#include "startup/message_box.h"
#include "startup/message_log.h"
#include "startup/message_table.h"
#include "startup/own_file.h"
#include "startup/parameter_block_data.h"
#include "startup/path_helpers.h"
#include "startup/run_state.h"
#include "startup/self_check.h"
#include "ui/main_dialog.h"
#include "ui/meter/meter.h"

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
    ReleaseOwnFile();
    ReleaseRunBuffers();
}

// Shows the intro question; true when the run goes on.
static bool AskIntroQuestion()
{
    const uint32_t flags = ParameterFlags();
    const char *caption = (flags & FLAG_HAS_TITLE) && Title[0] ? Title : TEXT_CAPTION;
    UINT buttons = MB_OK;
    if (flags & FLAG_INTRO_TWO_BUTTONS)
        buttons = (flags & FLAG_INTRO_OK_CANCEL) ? MB_OKCANCEL : MB_YESNO;
    int answer = MessageBoxA(nullptr, IntroText, caption, buttons | MB_TASKMODAL);
    if (answer != IDNO && answer != IDCANCEL)
        return true;
    NoteOutcome(EXIT_USER_CANCELLED);
    return false;
}

// Runs the main dialog from its template in the message table. The template
// is copied into a block of its own: its place in the table is not aligned.
static void RunMainDialog()
{
    void *block = AllocateLockedBlock(MAIN_DIALOG_COPY_BYTES);
    if (!block)
        return;
    CopyBytes(block, MainDialogTemplate(), MAIN_DIALOG_COPY_BYTES);
    DialogBoxIndirectParamA(AppInstance, static_cast<LPCDLGTEMPLATEA>(block), nullptr, MainDialogProc, 0);
    FreeLockedBlock(block);
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR command_line, int)
{
    ResetRunState();
    ReadLogArgument(command_line);
    InitCommonControls();
    BusyCursor = LoadCursorA(nullptr, IDC_WAIT);
    ArrowCursor = LoadCursorA(nullptr, IDC_ARROW);
    EnterProgramFolder();
    AppInstance = instance;
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    WindowsVersion = GetVersion();
    RecordSystemVersion();
    if (AllocateRunBuffers())
        return 0;  // a few hundred bytes could not be had: nothing can be shown

    if (!GetModuleFileNameA(nullptr, OwnPath, sizeof OwnPath))
        OwnPath[0] = '\0';
    MakeLongName(OwnPath, sizeof OwnPath);

    static AbortPoint start_up;
    if (SAVE_ABORT_CONTEXT(start_up))
        return ProcessExitCode(0);

    Initialise();
    if (!PeCheck()) {
        ShowMessage(MainWindow, Message(MSG_DAMAGED_ARCHIVE), MB_ICONERROR);
        return ProcessExitCode(0);
    }
    if (HasInfoOption(command_line)) {
        ShowMessage(nullptr, InfoText, MB_OK);
        return ProcessExitCode(0);
    }
    if ((WindowsVersion & 0xFF) < 4) {
        ShowMessage(nullptr, Message(MSG_NEEDS_WINDOWS_95), MB_OK);
        return ProcessExitCode(0);
    }
    if (ParameterField16(PB_COMPLETION) == 0) {
        ShowMessage(nullptr, Message(MSG_INCOMPLETE), MB_ICONERROR);
        return ProcessExitCode(0);
    }
    const uint32_t flags = ParameterFlags();
    WaitFlag = (flags & FLAG_WAIT) != 0;
    ResetMemberRecord((flags & FLAG_ENCRYPTED) != 0);
    RegisterMeterClass(AppInstance);
    if (IntroText && !(flags & FLAG_UNATTENDED)) {
        if (!AskIntroQuestion())
            return ProcessExitCode(0);
        LocalFree(IntroText);
        IntroText = nullptr;
    }
    if (flags & FLAG_AUTO)
        AutoFlag = 1;
    ParseCommandLine(command_line);

    // The main dialog's handlers run inside user32's frames: from here on an
    // abort outside an extraction run ends the process instead of jumping.
    AbortContext = nullptr;
    RunMainDialog();
    Teardown();
    return ProcessExitCode(0);
}
