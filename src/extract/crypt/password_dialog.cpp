// The dialog's template is the second compressed blob of the program's data.
// It is unpacked into a block of its own for each showing, and released after.
#include "extract/crypt/password_dialog.h"

#include "archive/member_record.h"
#include "extract/crypt/member_input.h"
#include "extract/inflate/inflate.h"
#include "fixed_texts.h"
#include "portable/message_table_layout.h"
#include "startup/byte_helpers.h"
#include "startup/error_abort.h"
#include "startup/message_blobs.h"
#include "startup/run_state.h"
#include "ui/centre_on_screen.h"

bool PromptForPassword(HWND owner)
{
    if (!(MemberRecord.flags & MEMBER_ENCRYPTED))
        return true;
    char *block = AllocateLockedBlock(PASSWORD_TEMPLATE_MAX_BYTES);
    if (!block)
        ErrorAbort(TEXT_NO_MEMORY_FOR_RESOURCES);
    // Our own data, proven by the self-check: only an overrun counts.
    if (DecodeBlob(PasswordDialogBlob, PasswordDialogBlobBytes, reinterpret_cast<uint8_t *>(block),
                   PASSWORD_TEMPLATE_MAX_BYTES) == BlobResult::Overrun)
        HeaderCorruptAbort();
    const INT_PTR result = DialogBoxIndirectParamA(AppInstance, reinterpret_cast<LPCDLGTEMPLATEA>(block), owner,
                                                   PasswordDialogProc, 0);
    FreeLockedBlock(block);
    // -1 means the dialog could not be created: nothing was confirmed.
    return result == IDOK;
}

// Releases the held password, its bytes cleared first.
static void ForgetPassword()
{
    if (!Password)
        return;
    SecureZeroMemory(Password, lstrlenA(Password));
    FreeLockedBlock(Password);
    Password = nullptr;
}

// OK: an empty field leaves the dialog open; otherwise the text, byte for
// byte in the ANSI code page, becomes the password.
static void OnConfirm(HWND dialog)
{
    char text[PASSWORD_EDIT_CHARS];
    const UINT length = GetDlgItemTextA(dialog, ID_PASSWORD_EDIT, text, sizeof text);
    if (length > 0) {
        ForgetPassword();
        Password = AllocateLockedBlock(length + 1);
        if (Password) {
            CopyBytes(Password, text, length);
            EndDialog(dialog, IDOK);
        }
    }
    SecureZeroMemory(text, sizeof text);
}

INT_PTR CALLBACK PasswordDialogProc(HWND dialog, UINT message, WPARAM wparam, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG:
        CentreOnScreen(dialog);
        return TRUE;
    case WM_COMMAND:
        if (wparam == IDOK) {
            OnConfirm(dialog);
            return TRUE;
        }
        if (wparam == IDCANCEL) {
            EndDialog(dialog, 0);  // the earlier password stays
            return TRUE;
        }
        return FALSE;
    default:
        return FALSE;
    }
}
