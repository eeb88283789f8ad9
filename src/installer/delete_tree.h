// Removing the temporary folder after an installation, and files still in
// use scheduled for deletion at the next restart.
#pragma once

#include <windows.h>

// Deletes folder and everything in it; true when the folder itself went.
// - After a command that failed to start (CommandFailed) it does nothing and
//   returns false: the temporary files stay.
// - A null path or one shorter than 4 characters (a drive root, for one) is
//   refused with StringId 24 in a box owned by MainWindow; false.
// - Entries are deleted through their long names, through their short names
//   only where the long one does not fit or the ANSI code page cannot carry
//   it; an entry reached by neither (a tree deeper than the 261-byte paths)
//   stays, with its folders, and the rest goes.
// - A file is deleted with one DeleteFileA, its attributes reset only when
//   they refuse that (read-only); one that stays locked for a second (the
//   dialog's queue pumped meanwhile) is handed to DeleteAtRestart, and its
//   folder stays.
// - A junction or symbolic link inside is removed as a link and never
//   entered; where the system cannot reach the link itself, it stays.
// owner is not used.
bool DeleteTree(const char *folder, HWND owner);

// Asks the system to delete path at the next restart: MoveFileExA's delayed
// delete, else a line in the [Rename] section of the Windows folder's
// WinInit.Ini. Reports nothing; when neither works the file simply stays.
void DeleteAtRestart(const char *path);
