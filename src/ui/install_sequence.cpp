// The install sequence runs inside the dialog procedure's handling of
// button 1 and keeps the dialog alive by pumping messages in its waits: Cancel,
// Done and the end of the session are handled inside those waits and speak
// to the sequence through CancelFlag, WaitingForDone, CommandRunning and
// SessionEnded. After the end of the session nothing more is started.
#include "ui/install_sequence.h"

#include "archive/extraction_run.h"
#include "archive/output_path.h"
#include "extract/crypt/password_dialog.h"
#include "extract/output_writer.h"
#include "fixed_texts.h"
#include "installer/command_job.h"
#include "installer/delete_tree.h"
#include "installer/launch_command.h"
#include "installer/temp_folder.h"
#include "portable/parameter_block.h"
#include "startup/byte_helpers.h"
#include "startup/exit_code.h"
#include "startup/internal_error.h"
#include "startup/internal_error_places.h"
#include "startup/message_box.h"
#include "startup/message_table.h"
#include "startup/parameter_block_data.h"
#include "startup/path_helpers.h"
#include "startup/run_state.h"
#include "ui/main_dialog.h"
#include "ui/meter/meter.h"
#include "ui/pump_messages.h"

UINT_PTR MeterTimer;

constexpr int32_t METER_AT_ONCE_END_RECORD = 0x80000;  // archives this large show the meter at once
constexpr DWORD COMMAND_WAIT_SLICE_MS = 50;
constexpr DWORD NAMED_PROGRAM_PAUSE_MS = 10000;

int ChangeToFolder(char *path, size_t size_bytes)
{
    const bool stripped = StripTrailingSeparator(path);
    const BOOL changed = SetCurrentDirectoryA(path);
    if (stripped)
        AddTrailingSeparator(path, size_bytes);
    return changed ? 0 : 1;
}

static bool Unattended() { return (ParameterFlags() & FLAG_UNATTENDED) != 0; }

// Waits for at most timeout_ms or the next message, whichever comes first,
// so that the waits below do not spin while nothing happens.
static void WaitForInput(DWORD timeout_ms)
{
    MsgWaitForMultipleObjects(0, nullptr, FALSE, timeout_ms, QS_ALLINPUT);
}

static void ShowMeterNow(HWND dialog)
{
    ShowWindow(GetDlgItem(dialog, ID_STATUS), SW_HIDE);
    ShowWindow(GetDlgItem(dialog, ID_METER), SW_SHOW);
    MeterInUse = 1;
}

// Large or spanned archives show the meter at once; for the others the first
// tick of the meter-delay timer decides.
static void SetUpMeter(HWND dialog)
{
    MeterInUse = 0;
    HWND meter = GetDlgItem(dialog, ID_METER);
    if (!meter || Unattended())
        return;
    SendMessageA(meter, METER_SETPOS, 0, 0);
    SendMessageA(meter, METER_SETRANGE, 100, 0);
    const bool large = static_cast<int32_t>(ParameterField32(PB_END_RECORD)) >= METER_AT_ONCE_END_RECORD;
    if (large || (ParameterFlags() & FLAG_SPANNED) ||
        !(MeterTimer = SetTimer(dialog, METER_DELAY_TIMER, METER_DELAY_MS, nullptr)))
        ShowMeterNow(dialog);
}

static void Repaint()
{
    InvalidateRect(MainWindow, nullptr, FALSE);
    UpdateWindow(MainWindow);
}

static void FinishMeter(HWND dialog)
{
    if (Unattended())
        return;
    if (MeterTimer) {
        KillTimer(dialog, METER_DELAY_TIMER);
        MeterTimer = 0;
    }
    HWND meter = GetDlgItem(dialog, ID_METER);
    SendMessageA(meter, METER_SETPOS, 100, 0);
    Repaint();
    if (meter && MeterInUse)
        ShowWindow(meter, SW_HIDE);
    Repaint();
}

// Posted Cancel closes a dialog that nobody is there to close.
static void UnattendedClose(HWND dialog)
{
    if (AutoFlag || Unattended())
        PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
    EnableWindow(GetDlgItem(dialog, IDOK), TRUE);
}

// Waits for the started process in slices, the dialog kept alive between
// them, until it ends or the user cancels. A shell launch may give no
// process: then only Cancel ends the wait.
static void WaitForCommand(HANDLE process)
{
    CommandRunning = 1;
    CancelFlag = 0;
    for (;;) {
        if (process) {
            if (CommandEnded(process, COMMAND_WAIT_SLICE_MS)) {
                NoteCommandExitCode(process);
                break;
            }
        } else {
            WaitForInput(COMMAND_WAIT_SLICE_MS);
        }
        if (CancelFlag)
            break;
        PumpMessages();
    }
    if (process)
        CloseHandle(process);
}

// Button 1 becomes Done; the Done handling (or the end of the session) runs
// the clean-up and clears WaitingForDone; a confirmed Cancel ends the wait
// with no clean-up.
static void WaitForDone(HWND dialog)
{
    SetDlgItemTextA(dialog, IDOK, Message(MSG_DONE_BUTTON));
    EnableWindow(GetDlgItem(dialog, IDOK), TRUE);
    WaitingForDone = 1;
    // Cancel and Done arrive inside PumpMessages: both ways out are tested
    // after it, right before the wait blocks.
    for (;;) {
        PumpMessages();
        if (CancelFlag || !WaitingForDone)
            break;
        WaitForInput(INFINITE);
    }
}

// Some setup programs start another and end at once: the block may name the
// program to wait for after a pause.
static void WaitForNamedProgramAfterPause()
{
    const DWORD start = GetTickCount();
    for (;;) {
        PumpMessages();
        const DWORD elapsed = GetTickCount() - start;
        if (CancelFlag || elapsed >= NAMED_PROGRAM_PAUSE_MS)
            break;
        WaitForInput(NAMED_PROGRAM_PAUSE_MS - elapsed);
    }
    WaitForNamedProgram();
}

InstallOutcome RunInstallSequence(HWND dialog)
{
    HWND install_button = GetDlgItem(dialog, IDOK);
    if (!WaitFlag) {
        SendMessageA(dialog, DM_SETDEFID, IDCANCEL, 0);
        SendMessageA(install_button, BM_SETSTYLE, BS_PUSHBUTTON, TRUE);
        SendDlgItemMessageA(dialog, IDCANCEL, BM_SETSTYLE, BS_DEFPUSHBUTTON, TRUE);
    }
    EnableWindow(install_button, FALSE);

    if (!CreateTempFolder(TargetFolder, sizeof TargetFolder)) {
        ShowMessage(GetTopWindow(nullptr), Message(MSG_NO_TEMP_FOLDER), MB_ICONERROR);
        // Only Cancel is left, and nobody can press it on a hidden dialog.
        if (Unattended())
            EndDialog(dialog, 1);
        return InstallOutcome::Stalled;
    }
    if (!PromptForPassword(dialog)) {
        EnableWindow(install_button, TRUE);
        return InstallOutcome::Handled;
    }
    // The session ended during the prompt: its clean-up took the folder.
    if (SessionEnded)
        return InstallOutcome::CommonEnd;

    SetUpMeter(dialog);
    ResetProgress();
    const int result = ExtractionRun();
    FinishMeter(dialog);
    SetDlgItemTextA(dialog, ID_STATUS, "");

    // A session that ended during the run (its handler leaves the folder to
    // this point) ends it as an abandoned run does.
    if (result != 0 || SessionEnded) {
        DeleteTree(TargetFolder, dialog);
        SetDlgItemTextA(MainWindow, ID_STATUS, Message(MSG_CANCELLED));
        EndDialog(dialog, 1);
        EnableWindow(install_button, TRUE);
        return InstallOutcome::CommonEnd;
    }
    if (!TargetFolder[0] || ChangeToFolder(TargetFolder, sizeof TargetFolder)) {
        ShowMessage(MainWindow, Message(MSG_CHANGE_FOLDER_ERROR), MB_OK);
        UnattendedClose(dialog);
        return InstallOutcome::CommonEnd;
    }
    if (!RunCommand[0]) {
        ShowMessage(MainWindow, Message(MSG_NO_COMMAND), MB_ICONERROR);
        CommandFailed = 1;
        RunCleanUp(dialog);
        return InstallOutcome::CommonEnd;
    }
    HANDLE process = nullptr;
    if (LaunchCommand(RunCommand, RunParameters, &process) <= 31) {
        NoteOutcome(EXIT_COMMAND_NOT_STARTED);
        CommandFailed = 1;
        RunCleanUp(dialog);
        return InstallOutcome::CommonEnd;
    }
    WaitForCommand(process);
    // The end of the session has run the clean-up and ended the dialog.
    if (SessionEnded)
        return InstallOutcome::CommonEnd;
    if (WaitFlag) {
        WaitForDone(dialog);
        return InstallOutcome::Handled;
    }
    if ((ParameterFlags() & FLAG_WAIT_FOR_NAMED) && ParameterBlock[PB_WAIT_NAME])
        WaitForNamedProgramAfterPause();
    RunCleanUp(dialog);
    return InstallOutcome::CommonEnd;
}

void RunCleanUp(HWND dialog)
{
    char parent[CLEAN_UP_PATH_BYTES];
    if (CopyString(parent, sizeof parent, TargetFolder))
        InternalError("sfxhead", PLACE_CLEAN_UP_PATH);
    CommandRunning = 0;
    AddTrailingSeparator(parent, sizeof parent);
    if (AppendString(parent, sizeof parent, ".."))
        InternalError("sfxhead", PLACE_CLEAN_UP_PATH);
    // The program's current directory must leave the folder before it goes.
    if (ChangeToFolder(parent, sizeof parent) == 0) {
        if (HWND status = GetDlgItem(dialog, ID_STATUS)) {
            ShowWindow(status, SW_SHOW);
            SetWindowTextA(status, Message(MSG_DELETING_TEMP));
            UpdateWindow(dialog);
            PumpMessages();
        }
        DeleteTree(TargetFolder, dialog);
    }
    EndDialog(dialog, 1);
    UnattendedClose(dialog);
}
