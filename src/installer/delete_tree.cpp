// Removing the temporary folder (see delete_tree.h). Entries are reached by
// their short 8.3 names where the file system has them, so that a long name
// the ANSI code page cannot carry is still deleted. A file that a program
// still holds is retried for a second while the dialog's queue is pumped,
// then left to the system's deletion at restart; its folder then stays.
//
// Links: a setup program may leave a junction or a symbolic link in the
// folder. Entering it would delete files outside the folder, so an entry
// marked as a reparse point is never entered and is removed as a link. That
// is safe only where a handle opened on the link is the link's own: Wine 8,
// for one, resolves every handle (and so RemoveDirectoryA, DeleteFileA and
// SetFileAttributesA) to the link's target. A link that does not open as
// itself is left where it is, and the folder with it.
#include "installer/delete_tree.h"

#include "fixed_texts.h"
#include "installer/temp_folder.h"
#include "installer/wininit_ini.h"
#include "startup/byte_helpers.h"
#include "startup/internal_error.h"
#include "startup/internal_error_places.h"
#include "startup/message_box.h"
#include "startup/message_table.h"
#include "startup/path_helpers.h"
#include "startup/run_state.h"
#include "ui/pump_messages.h"

constexpr DWORD DELETE_WINDOW_MS = 1000;    // how long a locked file is retried
constexpr int SHORTEST_FOLDER_CHARS = 4;    // "C:\" and shorter are never enumerated
constexpr UINT WINDOWS_FOLDER_MAX_CHARS = 260;

void DeleteAtRestart(const char *path)
{
    if (MoveFileExA(path, nullptr, MOVEFILE_DELAY_UNTIL_REBOOT))
        return;
    char ini_path[PATH_BUFFER_BYTES];
    const UINT length = GetWindowsDirectoryA(ini_path, WINDOWS_FOLDER_MAX_CHARS);
    if (length == 0 || length >= WINDOWS_FOLDER_MAX_CHARS)
        return;
    AddTrailingSeparator(ini_path, sizeof ini_path);
    if (AppendString(ini_path, sizeof ini_path, "WinInit.Ini"))
        InternalError("sfxhead", PLACE_WININIT_PATH);
    AddRenameEntry(ini_path, path);
}

// True when path opens as a reparse point of its own rather than as what it
// points to, so that deleting it by name removes the link alone.
static bool OpensAsLink(const char *path)
{
    HANDLE link = CreateFileA(path, FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS,
                              nullptr);
    if (link == INVALID_HANDLE_VALUE)
        return false;
    BY_HANDLE_FILE_INFORMATION information;
    const bool is_link = GetFileInformationByHandle(link, &information) &&
                         (information.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT);
    CloseHandle(link);
    return is_link;
}

// Deletes one file, trying for DELETE_WINDOW_MS while pumping messages; a
// file still there then goes to DeleteAtRestart. A link keeps its attributes
// (resetting them could reach its target). The window is measured as elapsed
// ticks, so it survives the tick count's wrap, and the file is tried at
// least once.
static void DeleteFileWithin(const char *path, bool link)
{
    const DWORD start = GetTickCount();
    do {
        if (link ? DeleteFileA(path) != 0 : DeleteFileForced(path) == 0)
            return;
        PumpMessages();
    } while (GetTickCount() - start < DELETE_WINDOW_MS);
    DeleteAtRestart(path);
}

// Removes the entry found in folder: a folder by a recursive DeleteTree (and
// one more RemoveDirectoryA when that fails), a file by DeleteFileWithin, a
// link as a link when the system lets it go as one.
static void DeleteEntry(const char *folder, const WIN32_FIND_DATAA &found, HWND owner)
{
    const char *name = found.cAlternateFileName[0] ? found.cAlternateFileName : found.cFileName;
    const bool directory = (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    if (directory && name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0')))
        return;
    char path[PATH_BUFFER_BYTES];
    if (CopyString(path, sizeof path, folder))
        InternalError("sfxhead", PLACE_DELETE_ENTRY);
    AddTrailingSeparator(path, sizeof path);
    if (AppendString(path, sizeof path, name))
        InternalError("sfxhead", PLACE_DELETE_ENTRY);

    if (found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) {
        if (!OpensAsLink(path))
            return;
        if (directory)
            RemoveDirectoryA(path);
        else
            DeleteFileWithin(path, true);
    } else if (directory) {
        if (!DeleteTree(path, owner))
            RemoveDirectoryA(path);
    } else {
        DeleteFileWithin(path, false);
    }
}

bool DeleteTree(const char *folder, HWND owner)
{
    if (CommandFailed)
        return false;
    if (!folder || lstrlenA(folder) < SHORTEST_FOLDER_CHARS) {
        ShowMessage(MainWindow, Message(MSG_CHANGE_FOLDER_ERROR), MB_OK);
        return false;
    }
    char pattern[PATH_BUFFER_BYTES];
    if (CopyString(pattern, sizeof pattern, folder))
        InternalError("sfxhead", PLACE_DELETE_PATTERN);
    AddTrailingSeparator(pattern, sizeof pattern);
    if (AppendString(pattern, sizeof pattern, "*.*"))
        InternalError("sfxhead", PLACE_DELETE_PATTERN);

    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA(pattern, &found);
    if (search != INVALID_HANDLE_VALUE) {
        do
            DeleteEntry(folder, found, owner);
        while (FindNextFileA(search, &found));
        FindClose(search);
    }
    return RemoveDirectoryA(folder) != 0;
}
