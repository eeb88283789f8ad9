// The command runs from the temporary folder, which the main dialog has made
// current: a relative command such as ".\SETUP" is found there.
#include "installer/launch_command.h"

#include <shellapi.h>

#include "fixed_texts.h"
#include "installer/command_job.h"
#include "portable/parameter_block.h"
#include "startup/byte_helpers.h"
#include "startup/internal_error.h"
#include "startup/internal_error_places.h"
#include "startup/message_box.h"
#include "startup/message_table.h"
#include "startup/parameter_block_data.h"
#include "startup/run_state.h"
#include "ui/main_dialog.h"
#include "ui/pump_messages.h"

constexpr size_t COMMAND_LINE_BYTES = 739;
constexpr size_t WAIT_FILE_BYTES = 260;
constexpr UINT_PTR POLL_TIMER = 70;
constexpr UINT POLL_PERIOD_MS = 10000;

// The system's own text for a launch error; "Error N" when it has none.
static void ReportSystemError(DWORD error)
{
    char *text = nullptr;
    FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_FROM_SYSTEM,
                   nullptr, error, LANG_USER_DEFAULT, reinterpret_cast<char *>(&text), 0, nullptr);
    if (text) {
        ShowMessage(MainWindow, text, MB_OK);
        LocalFree(text);
        return;
    }
    char fallback[32];
    if (FormatString(fallback, sizeof fallback, "Error %lu", static_cast<unsigned long>(error)) == 0)
        ShowMessage(MainWindow, fallback, MB_OK);
}

// The shell starts the command alone: its parameters are not passed.
static UINT_PTR ShellLaunch(const char *command, HANDLE *process)
{
    SHELLEXECUTEINFOA launch = {};
    launch.cbSize = sizeof launch;
    launch.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_DOENVSUBST | SEE_MASK_FLAG_NO_UI;
    launch.hwnd = MainWindow;
    launch.lpVerb = "Install";
    launch.lpFile = command;
    launch.nShow = SW_SHOWNORMAL;
    ShellExecuteExA(&launch);
    *process = launch.hProcess;
    return reinterpret_cast<UINT_PTR>(launch.hInstApp);
}

static UINT_PTR ProcessLaunch(char *command_line, HANDLE *process)
{
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_SHOWDEFAULT;
    PROCESS_INFORMATION started = {};
    if (!CreateProcessA(nullptr, command_line, nullptr, nullptr, FALSE, CommandCreationFlags(), nullptr, nullptr,
                        &startup, &started)) {
        ReportSystemError(GetLastError());
        return LAUNCH_FAILED;
    }
    AdoptCommand(started.hProcess, started.hThread);
    CloseHandle(started.hThread);
    *process = started.hProcess;
    return LAUNCH_STARTED;
}

UINT_PTR LaunchCommand(const char *command, const char *parameters, HANDLE *process)
{
    char command_line[COMMAND_LINE_BYTES];
    if (CopyString(command_line, sizeof command_line, command) ||
        (parameters[0] && (AppendString(command_line, sizeof command_line, " ") ||
                           AppendString(command_line, sizeof command_line, parameters))))
        InternalError("sfxhead", PLACE_COMMAND_LINE);

    if ((ParameterFlags() & FLAG_SHELL_INSTALL) != FLAG_SHELL_INSTALL)
        return ProcessLaunch(command_line, process);
    const UINT_PTR result = ShellLaunch(command, process);
    if (result > 32)
        return result;
    if (FormatString(command_line, sizeof command_line, Message(MSG_RUN_ERROR), static_cast<int>(result), command))
        InternalError("sfxhead", PLACE_LAUNCH_ERROR);
    ShowMessage(MainWindow, command_line, MB_OK, Message(MSG_RUN_ERROR));
    return LAUNCH_FAILED;
}

// Finished when no file of that name is found where OpenFile looks, or when
// the file can be opened exclusively (nobody runs it any more).
static bool NamedProgramFinished(const char *file_name)
{
    OFSTRUCT found;
    if (OpenFile(file_name, &found, OF_EXIST) == HFILE_ERROR)
        return true;
    const HFILE file = OpenFile(file_name, &found, OF_READ | OF_SHARE_EXCLUSIVE);
    if (file == HFILE_ERROR)
        return false;
    _lclose(file);
    return true;
}

void WaitForNamedProgram()
{
    char wait_name[PB_WAIT_NAME_BYTES + 1] = {};
    CopyBytes(wait_name, ParameterBlock + PB_WAIT_NAME, PB_WAIT_NAME_BYTES);
    char file_name[WAIT_FILE_BYTES];
    if (CopyString(file_name, sizeof file_name, wait_name) || AppendString(file_name, sizeof file_name, ".exe"))
        InternalError("sfxhead", PLACE_WAIT_NAME);

    // The timer only wakes GetMessageA for the next test.
    const UINT_PTR timer = SetTimer(MainWindow, POLL_TIMER, POLL_PERIOD_MS, nullptr);
    while (!NamedProgramFinished(file_name) && !CancelFlag) {
        if (timer) {
            MSG message;
            if (GetMessageA(&message, nullptr, 0, 0) == 0) {
                PostQuitMessage(1);
                return;
            }
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
        PumpMessages();
    }
    if (timer)
        KillTimer(MainWindow, POLL_TIMER);
}
