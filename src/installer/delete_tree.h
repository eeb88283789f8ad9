// Removing the temporary folder after an installation, and files still in
// use scheduled for deletion at the next restart.
#pragma once

#include <windows.h>

// Deletes folder and everything in it; true when the folder itself went.
// Does nothing (false) after a command that failed to start; refuses (with
// StringId 24) a path shorter than 4 characters. A file that stays locked
// for a second is handed to DeleteAtRestart. Links inside are removed as
// links, never followed.
bool DeleteTree(const char *folder, HWND owner);

// Asks the system to delete path at the next restart (MoveFileExA, else the
// [Rename] section of WinInit.Ini); reports nothing.
void DeleteAtRestart(const char *path);
