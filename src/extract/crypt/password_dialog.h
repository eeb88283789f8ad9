// The password dialog: asked once at the start of a run whose first member
// is encrypted; the password it takes serves every encrypted member of this
// run and of later runs.
#pragma once

#include <windows.h>

constexpr int ID_PASSWORD_PROMPT = 401;
constexpr int ID_PASSWORD_EDIT = 402;
constexpr int PASSWORD_EDIT_CHARS = 255;  // GetDlgItemTextA's count, NUL included

// Called before a run starts. Shows the dialog, owned by owner, when the
// member record says encrypted; true to start the run, false when the user
// cancelled or the dialog could not be shown (then no run starts and any
// earlier password stays).
bool PromptForPassword(HWND owner);

INT_PTR CALLBACK PasswordDialogProc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam);
