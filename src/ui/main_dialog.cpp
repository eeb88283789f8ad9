// The main dialog: the window as the installation finds it (position, icon,
// texts, caption), and its buttons. Install runs the install sequence
// (install_sequence.cpp); Cancel, Done and the end of the session are
// handled here, often from inside that sequence's own waits.
#include "ui/main_dialog.h"

#include "archive/extraction_run.h"
#include "extract/output_writer.h"
#include "ui/install_sequence.h"

#include "fixed_texts.h"
#include "language_texts.h"
#include "portable/message_buffers.h"
#include "startup/byte_helpers.h"
#include "startup/exit_code.h"
#include "startup/internal_error.h"
#include "startup/internal_error_places.h"
#include "startup/message_box.h"
#include "startup/message_table.h"
#include "startup/parameter_block_data.h"
#include "startup/path_helpers.h"
#include "startup/run_state.h"
#include "ui/centre_on_screen.h"

constexpr int CAPTION_BYTES = 300;

uint8_t CancelFlag;
int WaitingForDone;
int CommandRunning;
int InstallUnderWay;
uint8_t SessionEnded;

static void HideForUnattendedRun(HWND dialog)
{
    SetWindowLongA(dialog, GWL_STYLE, GetWindowLongA(dialog, GWL_STYLE) & ~WS_VISIBLE);
    SetWindowLongA(dialog, GWL_EXSTYLE, GetWindowLongA(dialog, GWL_EXSTYLE) | WS_EX_TOOLWINDOW | WS_EX_MDICHILD);
}

static void ShowIcon(HWND dialog)
{
    SendDlgItemMessageA(dialog, ID_ICON, STM_SETICON, reinterpret_cast<WPARAM>(AppIcon), 0);
    SetWindowLongA(dialog, GWL_EXSTYLE, GetWindowLongA(dialog, GWL_EXSTYLE) | WS_EX_APPWINDOW);
    SetWindowLongA(dialog, GWL_STYLE, GetWindowLongA(dialog, GWL_STYLE) & ~WS_SYSMENU);
    SendMessageA(dialog, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(AppIcon));
}

static void SetCaption(HWND dialog)
{
    const uint32_t flags = ParameterFlags();
    if (flags & FLAG_TITLE_CAPTION) {
        SetWindowTextA(dialog, Title[0] ? Title : Message(MSG_INSTALL));
        return;
    }
    char caption[CAPTION_BYTES];
    if (FormatString(caption, sizeof caption, "%s - %s", TEXT_CAPTION, FileNamePart(OwnPath)))
        InternalError("sfxhead", PLACE_CAPTION);
    SetWindowTextA(dialog, caption);
}

static void OnInitDialog(HWND dialog)
{
    const uint32_t flags = ParameterFlags();
    if (flags & FLAG_UNATTENDED) {
        HideForUnattendedRun(dialog);
    } else {
        CentreOnScreen(dialog);
        ShowWindow(GetDlgItem(dialog, ID_METER), SW_HIDE);
    }
    if (AppIcon)
        ShowIcon(dialog);
    CommandRunning = 0;
    RunActive = 0;
    InstallUnderWay = 0;
    SessionEnded = 0;
    SetDlgItemTextA(dialog, ID_MESSAGE, DialogText);
    SetCaption(dialog);
    if (flags & FLAG_INFO_BUTTON)
        SetDlgItemTextA(dialog, ID_ABOUT_BUTTON, TEXT_INFO_BUTTON);
    MainWindow = dialog;
    if (AutoFlag || (flags & FLAG_UNATTENDED))
        PostMessageA(dialog, WM_COMMAND, IDOK, 0);
    if (!(flags & FLAG_UNATTENDED)) {
        SetForegroundWindow(dialog);
        SetActiveWindow(dialog);
    }
}

// An unattended run never shows the dialog. Removing WS_VISIBLE is not
// enough on its own: the dialog manager shows a dialog whose template says
// visible once WM_INITDIALOG returns, so every attempt to show it is
// filtered here as well.
static void OnWindowPosChanging(WINDOWPOS *position)
{
    if (ParameterFlags() & FLAG_UNATTENDED)
        position->flags &= ~SWP_SHOWWINDOW;
}

// Done: the user says the setup program has finished.
static BOOL OnDone(HWND dialog)
{
    if (ShowMessage(MainWindow, Message(MSG_CONFIRM_DONE), MB_YESNO | MB_ICONQUESTION) == IDNO)
        return TRUE;
    WaitingForDone = 0;
    RunCleanUp(dialog);
    return FALSE;
}

// Asks before leaving temporary files behind; Yes ends every wait.
static bool ConfirmCancel(const char *question, const char *source)
{
    return ShowMessage(MainWindow, question, MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2, source) == IDYES;
}

static BOOL OnCancel(HWND dialog)
{
    if (RunActive) {
        // Cancel that is not user input (a posted BM_CLICK, an accessibility
        // tool) reaches the dialog through PollCancel's dispatch: it asks as
        // a click does, and a Yes stops the run at that poll.
        if (ConfirmStopExtraction())
            CancelFlag = 1;
        return TRUE;
    }
    if (WaitingForDone) {
        if (!ConfirmCancel(Message(MSG_CONFIRM_CANCEL), nullptr))
            return TRUE;
    } else if (CommandRunning) {
        char question[STILL_RUNNING_BYTES];
        if (FormatString(question, sizeof question, Message(MSG_STILL_RUNNING), RunCommand))
            InternalError("sfxhead", PLACE_STILL_RUNNING);
        if (!ConfirmCancel(question, Message(MSG_STILL_RUNNING)))
            return FALSE;
    }
    CancelFlag = 1;
    NoteOutcome(EXIT_USER_CANCELLED);
    EndDialog(dialog, 1);
    return TRUE;
}

static BOOL OnAbout(HWND dialog)
{
    char text[ABOUT_TEXT_BYTES];
    const char *shown = Message(MSG_PROGRAM_ABOUT);
    if (AboutText[0]) {
        if (FormatString(text, sizeof text, Message(MSG_ABOUT_JOIN), AboutText, Message(MSG_PROGRAM_ABOUT)))
            InternalError("sfxhead", PLACE_ABOUT_TEXT);
        shown = text;
    }
    ShowMessage(dialog, shown, MB_OK);
    return FALSE;
}

// The meter-delay timer's first tick with nothing in front of the dialog: a
// run that has not done a third of its bytes by now shows the meter.
static void OnMeterDelayTick(HWND dialog)
{
    if (GetLastActivePopup(dialog) != dialog)
        return;
    if (MeterTimer) {
        KillTimer(dialog, METER_DELAY_TIMER);
        MeterTimer = 0;
    }
    HWND meter = GetDlgItem(dialog, ID_METER);
    if (meter && RunActive && BytesWritten < ParameterField32(PB_TOTAL_SIZE) / 3) {
        ShowWindow(GetDlgItem(dialog, ID_STATUS), SW_HIDE);
        MeterInUse = 1;
        ShowWindow(meter, SW_SHOW);
        InvalidateRect(meter, nullptr, FALSE);
    }
}

// How a handler leaves the procedure: with TRUE, through the common end, or
// with FALSE and nothing more (a stalled install).
enum class Leave { Handled, CommonEnd, Quietly };

static Leave Through(BOOL handled) { return handled ? Leave::Handled : Leave::CommonEnd; }

// Install. Every wait of the sequence, its message boxes included, dispatches
// messages, and any program can post Install: one that arrives while the
// sequence is under way is ignored, since a second run inside the first would
// share its decoder, its buffers and its abort point.
static Leave OnInstall(HWND dialog)
{
    if (InstallUnderWay)
        return Leave::Handled;
    InstallUnderWay = 1;
    const InstallOutcome outcome = RunInstallSequence(dialog);
    InstallUnderWay = 0;
    switch (outcome) {
    case InstallOutcome::Handled:
        return Leave::Handled;
    case InstallOutcome::Stalled:
        return Leave::Quietly;
    case InstallOutcome::CommonEnd:
        break;
    }
    return Leave::CommonEnd;
}

// The session may end. Every wait ends and nothing more is started; the
// temporary files go now, or, during an extraction run, once the run has
// stopped at its next poll (the install sequence deletes them then). The end
// itself is not blocked.
static void OnQueryEndSession(HWND dialog)
{
    SessionEnded = 1;
    CancelFlag = 1;
    if (!RunActive)
        RunCleanUp(dialog);
}

static Leave OnCommand(HWND dialog, WPARAM command)
{
    switch (command) {
    case IDOK:
        if (WaitingForDone)
            return Through(OnDone(dialog));
        return OnInstall(dialog);
    case IDCANCEL:
        return Through(OnCancel(dialog));
    case ID_ABOUT_BUTTON:
        return Through(OnAbout(dialog));
    default:
        return Leave::CommonEnd;
    }
}

INT_PTR CALLBACK MainDialogProc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam)
{
    Leave leave = Leave::CommonEnd;
    switch (message) {
    case WM_WINDOWPOSCHANGING:
        OnWindowPosChanging(reinterpret_cast<WINDOWPOS *>(lparam));
        break;
    case WM_INITDIALOG:
        OnInitDialog(dialog);
        return TRUE;
    case WM_COMMAND:
        leave = OnCommand(dialog, wparam);
        break;
    case WM_TIMER:
        if (wparam == METER_DELAY_TIMER)
            OnMeterDelayTick(dialog);
        break;
    case WM_QUERYENDSESSION:
        OnQueryEndSession(dialog);
        break;
    }
    if (leave == Leave::Handled)
        return TRUE;
    // The common end: a hidden dialog is hidden again, whatever showed it.
    if (leave == Leave::CommonEnd && (ParameterFlags() & FLAG_UNATTENDED))
        ShowWindow(dialog, SW_HIDE);
    return FALSE;
}
