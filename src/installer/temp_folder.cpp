// Interim: the full rules arrive with the temporary-folder module.
#include "installer/temp_folder.h"

#include <windows.h>

#include "startup/byte_helpers.h"
#include "startup/internal_error.h"
#include "startup/path_helpers.h"

void AddTrailingSeparator(char *path, size_t size_bytes)
{
    const char *last = LastChar(path);
    if (last && (*last == '\\' || *last == '/'))
        return;
    if (AppendString(path, size_bytes, "\\"))
        InternalError("sfxhead", 5300);
}

int TempFolderBase(char *out, size_t size_bytes)
{
    DWORD got = GetEnvironmentVariableA("TMP", out, static_cast<DWORD>(size_bytes));
    if (!got || got >= size_bytes || !out[0])
        got = GetEnvironmentVariableA("TEMP", out, static_cast<DWORD>(size_bytes));
    return got && got < size_bytes && out[0];
}

int CreateNumberedTempFolder(const char *base, char *out, size_t size_bytes)
{
    char folder[261];
    for (int n = 0; n < 100; n++) {
        if (FormatString(folder, sizeof folder, "%s\\TVSE%d.TMP", base, n))
            return 0;
        if (CreateDirectoryA(folder, nullptr))
            return !CopyString(out, size_bytes, folder);
    }
    return 0;
}

int CreateTempFolder(char *out, size_t size_bytes)
{
    char base[261];
    return TempFolderBase(base, sizeof base) && CreateNumberedTempFolder(base, out, size_bytes);
}
