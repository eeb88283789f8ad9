// The command runs from the temporary folder, which the main dialog has made
// current: a relative command such as ".\SETUP" is meant to be found there.
// A relative command is looked for in TargetFolder first and launched by its
// full path when it is there: the system's own search starts in the
// installer's folder (a Downloads folder, say), where a file of the same
// name may lie. Commands not in TargetFolder (cmd.exe, msiexec) are left to
// the system's search.
#include "installer/launch_command.h"

#include <shellapi.h>

#include "archive/output_path.h"
#include "fixed_texts.h"
#include "installer/command_job.h"
#include "portable/message_buffers.h"
#include "portable/parameter_block.h"
#include "startup/byte_helpers.h"
#include "startup/internal_error.h"
#include "startup/internal_error_places.h"
#include "startup/message_box.h"
#include "startup/message_table.h"
#include "startup/parameter_block_data.h"
#include "startup/path_helpers.h"
#include "startup/run_state.h"
#include "ui/main_dialog.h"
#include "ui/pump_messages.h"

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

// True when the file (not a folder) at path exists.
static bool IsFile(const char *path)
{
    const DWORD attributes = GetFileAttributesA(path);
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// The file in TargetFolder that name (length_bytes long, not terminated)
// means when it is relative, with ".exe" added to a file name without an
// extension as CreateProcessA adds it, into found (PATH_BUFFER_BYTES). False
// when the name has a drive or starts at a root, or no such file is there.
static bool FindInTargetFolder(const char *name, size_t length_bytes, char *found)
{
    char bare[PATH_BUFFER_BYTES];
    if (length_bytes == 0 || length_bytes >= sizeof bare)
        return false;
    CopyBytes(bare, name, length_bytes);
    bare[length_bytes] = '\0';
    if (!TargetFolder[0] || IsPathSeparator(static_cast<unsigned char>(bare[0])) || *ScanToChar(bare, ':'))
        return false;
    // The numbered folder's name never ends in a separator.
    if (CopyString(found, PATH_BUFFER_BYTES, TargetFolder) || AppendString(found, PATH_BUFFER_BYTES, "\\") ||
        AppendString(found, PATH_BUFFER_BYTES, bare))
        return false;
    if (IsFile(found))
        return true;
    return !*ScanToChar(FileNamePart(bare), '.') && !AppendString(found, PATH_BUFFER_BYTES, ".exe") && IsFile(found);
}

// The program of a command in TargetFolder, as CreateProcessA reads a
// command line: the text inside leading quotes, or else the first run up to
// a blank, or to the end, that names a file there; with whole_only only the
// whole command counts (the shell takes it as one file name).
static bool FindProgramInTargetFolder(const char *command, bool whole_only, char *found)
{
    if (command[0] == '"') {
        const char *end = ScanToChar(command + 1, '"');
        return FindInTargetFolder(command + 1, static_cast<size_t>(end - command - 1), found);
    }
    for (size_t length = 0;; length++) {
        const char at = command[length];
        const bool blank = at == ' ' || at == '\t';
        if ((at == '\0' || (blank && !whole_only)) && FindInTargetFolder(command, length, found))
            return true;
        if (at == '\0')
            return false;
    }
}

// The shell starts the command alone: its parameters are not passed.
static UINT_PTR ShellLaunch(const char *command, HANDLE *process)
{
    char program[PATH_BUFFER_BYTES];
    SHELLEXECUTEINFOA launch = {};
    launch.cbSize = sizeof launch;
    launch.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_DOENVSUBST | SEE_MASK_FLAG_NO_UI;
    launch.hwnd = MainWindow;
    launch.lpVerb = "Install";
    launch.lpFile = FindProgramInTargetFolder(command, true, program) ? program : command;
    launch.nShow = SW_SHOWNORMAL;
    ShellExecuteExA(&launch);
    *process = launch.hProcess;
    return reinterpret_cast<UINT_PTR>(launch.hInstApp);
}

// The command line goes as it is; only the program that the command names
// may be given by its full path.
static UINT_PTR ProcessLaunch(const char *command, char *command_line, HANDLE *process)
{
    char program[PATH_BUFFER_BYTES];
    const char *application = FindProgramInTargetFolder(command, false, program) ? program : nullptr;
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_SHOWDEFAULT;
    PROCESS_INFORMATION started = {};
    if (!CreateProcessA(application, command_line, nullptr, nullptr, FALSE, CommandCreationFlags(), nullptr, nullptr,
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
        return ProcessLaunch(command, command_line, process);
    const UINT_PTR result = ShellLaunch(command, process);
    if (result > 32)
        return result;
    if (FormatString(command_line, sizeof command_line, Message(MSG_RUN_ERROR), static_cast<int>(result), command))
        InternalError("sfxhead", PLACE_LAUNCH_ERROR);
    ShowMessage(MainWindow, command_line, MB_OK, Message(MSG_RUN_ERROR));
    return LAUNCH_FAILED;
}

// SearchPathA in folders (a list, as PATH is) for a file, not a folder.
static bool FindFileIn(const char *folders, const char *file_name, char *found)
{
    char *file_part;
    const DWORD length = SearchPathA(folders, file_name, nullptr, PATH_BUFFER_BYTES, found, &file_part);
    return length != 0 && length < PATH_BUFFER_BYTES && IsFile(found);
}

// The named program's file into found, looked for where OpenFile looks (the
// current folder, TargetFolder by now, then the system folder, the Windows
// folder and PATH) except the installer's own folder, which OpenFile tries
// first: a stray file of that name there must neither end nor prolong the
// wait. A name with a folder is looked for there alone. False when there is
// none.
static bool FindNamedProgram(const char *file_name, char *found)
{
    if (FindInTargetFolder(file_name, static_cast<size_t>(lstrlenA(file_name)), found))
        return true;
    if (FindLastSeparator(file_name) || *ScanToChar(file_name, ':'))
        return !CopyString(found, PATH_BUFFER_BYTES, file_name) && IsFile(found);
    char folder[PATH_BUFFER_BYTES];
    UINT length = GetSystemDirectoryA(folder, sizeof folder);
    if (length && length < sizeof folder && FindFileIn(folder, file_name, found))
        return true;
    length = GetWindowsDirectoryA(folder, sizeof folder);
    if (length && length < sizeof folder && FindFileIn(folder, file_name, found))
        return true;
    const DWORD path_bytes = GetEnvironmentVariableA("PATH", nullptr, 0);
    char *path = path_bytes ? static_cast<char *>(LocalAlloc(LMEM_FIXED, path_bytes)) : nullptr;
    if (!path)
        return false;
    const DWORD path_length = GetEnvironmentVariableA("PATH", path, path_bytes);
    const bool in_path = path_length && path_length < path_bytes && FindFileIn(path, file_name, found);
    LocalFree(path);
    return in_path;
}

// Finished when no file of that name is found, or when the file can be
// opened exclusively (nobody runs it any more).
static bool NamedProgramFinished(const char *file_name)
{
    char found[PATH_BUFFER_BYTES];
    if (!FindNamedProgram(file_name, found))
        return true;
    const HANDLE file = CreateFileA(found, GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    CloseHandle(file);
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
