// Interim: the full rules arrive with the clean-up module.
#include "installer/delete_tree.h"

#include "startup/byte_helpers.h"
#include "startup/run_state.h"

bool DeleteTree(const char *folder, HWND owner)
{
    if (CommandFailed || !folder || lstrlenA(folder) < 4)
        return false;
    char pattern[261];
    if (FormatString(pattern, sizeof pattern, "%s\\*.*", folder))
        return false;
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA(pattern, &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            char path[261];
            if (found.cFileName[0] == '.' || FormatString(path, sizeof path, "%s\\%s", folder, found.cFileName))
                continue;
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                DeleteTree(path, owner);
            } else {
                SetFileAttributesA(path, FILE_ATTRIBUTE_NORMAL);
                DeleteFileA(path);
            }
        } while (FindNextFileA(search, &found));
        FindClose(search);
    }
    return RemoveDirectoryA(folder) != 0;
}

void DeleteAtRestart(const char *) {}
