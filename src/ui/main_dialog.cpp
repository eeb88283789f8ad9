// The main dialog. This first cut prepares the window as the installation
// will find it (position, icon, texts, caption), starts by itself when asked
// to, and closes on Cancel. Install only prepares the buttons so far: the
// temporary folder, the extraction run and the command arrive with their
// modules.
#include "ui/main_dialog.h"

#include "fixed_texts.h"
#include "startup/byte_helpers.h"
#include "startup/internal_error.h"
#include "startup/internal_error_places.h"
#include "startup/message_table.h"
#include "startup/parameter_block_data.h"
#include "startup/path_helpers.h"
#include "startup/run_state.h"
#include "ui/centre_on_screen.h"

constexpr int CAPTION_BYTES = 300;

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

// Install: Cancel becomes the default button (unless the user will confirm
// the end of setup on button 1), and Install cannot be pressed twice.
static void OnInstall(HWND dialog)
{
    if (!WaitFlag) {
        SendMessageA(dialog, DM_SETDEFID, IDCANCEL, 0);
        SendDlgItemMessageA(dialog, IDOK, BM_SETSTYLE, BS_PUSHBUTTON, TRUE);
        SendDlgItemMessageA(dialog, IDCANCEL, BM_SETSTYLE, BS_DEFPUSHBUTTON, TRUE);
    }
    EnableWindow(GetDlgItem(dialog, IDOK), FALSE);
}

static void OnCancel(HWND dialog)
{
    EndDialog(dialog, 1);
    MainWindow = nullptr;
}

INT_PTR CALLBACK MainDialogProc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam)
{
    switch (message) {
    case WM_WINDOWPOSCHANGING:
        OnWindowPosChanging(reinterpret_cast<WINDOWPOS *>(lparam));
        return FALSE;
    case WM_INITDIALOG:
        OnInitDialog(dialog);
        return TRUE;
    case WM_COMMAND:
        if (wparam == IDOK)
            OnInstall(dialog);
        else if (wparam == IDCANCEL)
            OnCancel(dialog);
        return TRUE;
    }
    return FALSE;
}
