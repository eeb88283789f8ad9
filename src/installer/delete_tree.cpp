// Removing the temporary folder (see delete_tree.h). A file that a program
// still holds is retried for a second while the dialog's queue is pumped,
// then left to the system's deletion at restart; its folder then stays.
//
// Names. Each folder is listed first with the cheapest call the system
// offers (no short names, large reads) and its entries are deleted through
// their long names, which always name the entry itself: short names may be
// made up on the fly (Wine hashes long names, and long names sharing a
// prefix then collide, so the short name reaches another file or none). An
// entry its long name cannot reach is left to a second listing that gives
// short names: a path that does not fit the 261-byte buffers, or a long name
// the ANSI code page could not carry (it arrives with '?' or with a
// look-alike, which may even be a separator). A tree deeper than the buffers
// even through short names stays where it is; the rest goes.
//
// Each file costs one DeleteFileA; the attributes are reset only for a file
// that refuses it (read-only). A folder goes as soon as its entries have.
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

// Set when a path on the way down did not fit its buffer; a folder whose
// subtree raised it is tried again through its short name.
static bool PathDidNotFit;

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

// folder, a separator and name into path (PATH_BUFFER_BYTES). False, with
// PathDidNotFit set, when that does not fit.
static bool JoinPath(char *path, const char *folder, const char *name)
{
    const char *last = LastChar(folder);
    const char *separator = last && IsPathSeparator(static_cast<unsigned char>(*last)) ? "" : "\\";
    if (FormatString(path, PATH_BUFFER_BYTES, "%s%s%s", folder, separator, name) == 0)
        return true;
    PathDidNotFit = true;
    return false;
}

static bool IsDotEntry(const char *name)
{
    return name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'));
}

// True when name, as an ANSI listing gives it, can only be the entry's own
// name: no character that no file name holds ('?' for a character the code
// page lacks; a separator or a colon from a look-alike), and no trailing
// point or blank, which the system would strip to name another entry.
static bool NamesItself(const char *name)
{
    unsigned char last = 0;
    for (const char *p = name; *p; p = CharNextA(p)) {
        last = static_cast<unsigned char>(*p);
        if (IsDoubleByteAt(p))
            continue;
        if (last < ' ' || ScanToChar("\\/:*?\"<>|", static_cast<char>(last))[0])
            return false;
    }
    return last != '.' && last != ' ';
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

// One attempt at a file: DeleteFileA, and only when that is refused for the
// attributes (a read-only file), the attributes reset and once more. A link
// keeps its attributes (resetting them could reach its target).
static bool DeleteFileOnce(const char *path, bool link)
{
    if (DeleteFileA(path))
        return true;
    return !link && GetLastError() == ERROR_ACCESS_DENIED && DeleteFileForced(path) == 0;
}

// Deletes one file, trying for DELETE_WINDOW_MS while pumping messages; a
// file still there then goes to DeleteAtRestart. The window is measured as
// elapsed ticks, so it survives the tick count's wrap, and the file is tried
// at least once.
static void DeleteFileWithin(const char *path, bool link)
{
    const DWORD start = GetTickCount();
    do {
        if (DeleteFileOnce(path, link))
            return;
        PumpMessages();
    } while (GetTickCount() - start < DELETE_WINDOW_MS);
    DeleteAtRestart(path);
}

static bool DeleteFolder(const char *folder);

// Removes the entry at path with the given attributes: a folder by
// DeleteFolder (and one more RemoveDirectoryA when that fails), a file by
// DeleteFileWithin, a link as a link when the system lets it go as one.
static void DeleteEntry(const char *path, DWORD attributes)
{
    const bool directory = (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) {
        if (!OpensAsLink(path))
            return;
        if (directory)
            RemoveDirectoryA(path);
        else
            DeleteFileWithin(path, true);
    } else if (directory) {
        if (!DeleteFolder(path))
            RemoveDirectoryA(path);
    } else {
        DeleteFileWithin(path, false);
    }
}

using FindFirstFileExFunction = HANDLE(WINAPI *)(LPCSTR, FINDEX_INFO_LEVELS, LPVOID, FINDEX_SEARCH_OPS, LPVOID,
                                                  DWORD);

// The first entry matching pattern, listed as cheaply as the system allows:
// without short names (FindExInfoBasic) and in large reads, both from
// Windows 7 on. Systems without them (FindFirstFileExA absent, or refusing
// the level or the flag) get FindFirstFileA.
static HANDLE FindFirstCheaply(const char *pattern, WIN32_FIND_DATAA *found)
{
    const auto find_first_ex = reinterpret_cast<FindFirstFileExFunction>(
        reinterpret_cast<void *>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "FindFirstFileExA")));
    if (find_first_ex) {
        HANDLE search = find_first_ex(pattern, FindExInfoBasic, found, FindExSearchNameMatch, nullptr,
                                      FIND_FIRST_EX_LARGE_FETCH);
        if (search != INVALID_HANDLE_VALUE)
            return search;
    }
    return FindFirstFileA(pattern, found);
}

// Deletes what folder holds, then the folder; true when the folder went.
// First pass: every entry through its long name. Second pass, only when the
// first left entries it could not reach (or a subfolder's tree did not fit):
// those entries through their short names, where they have one that fits.
static bool DeleteFolder(const char *folder)
{
    char pattern[PATH_BUFFER_BYTES];
    if (!JoinPath(pattern, folder, "*.*"))
        return false;
    char path[PATH_BUFFER_BYTES];
    WIN32_FIND_DATAA found;
    bool unreached = false;       // entries the first pass could not name
    bool subtree_too_deep = false;  // subfolders whose trees did not fit
    HANDLE search = FindFirstCheaply(pattern, &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            if (IsDotEntry(found.cFileName))
                continue;
            if (!NamesItself(found.cFileName) || !JoinPath(path, folder, found.cFileName)) {
                unreached = true;
                continue;
            }
            const bool did_not_fit = PathDidNotFit;
            PathDidNotFit = false;
            DeleteEntry(path, found.dwFileAttributes);
            subtree_too_deep |= PathDidNotFit && (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
            PathDidNotFit |= did_not_fit;
        } while (FindNextFileA(search, &found));
        FindClose(search);
    }
    if ((unreached || subtree_too_deep) && (search = FindFirstFileA(pattern, &found)) != INVALID_HANDLE_VALUE) {
        do {
            const char *short_name = found.cAlternateFileName;
            const bool reached = NamesItself(found.cFileName) && JoinPath(path, folder, found.cFileName);
            const bool retry = !reached || (subtree_too_deep && (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY));
            if (retry && short_name[0] && !IsDotEntry(short_name) && lstrcmpA(short_name, found.cFileName) &&
                JoinPath(path, folder, short_name))
                DeleteEntry(path, found.dwFileAttributes);
        } while (FindNextFileA(search, &found));
        FindClose(search);
    }
    return RemoveDirectoryA(folder) != 0;
}

bool DeleteTree(const char *folder, HWND owner)
{
    (void)owner;
    if (CommandFailed)
        return false;
    if (!folder || lstrlenA(folder) < SHORTEST_FOLDER_CHARS) {
        ShowMessage(MainWindow, Message(MSG_CHANGE_FOLDER_ERROR), MB_OK);
        return false;
    }
    PathDidNotFit = false;
    return DeleteFolder(folder);
}
