// The numbered temporary folder (see temp_folder.h). The base comes from the
// first usable source of TMP, TEMP and the Windows folder's TEMP; nothing
// checks that a folder named by a variable exists, so a missing one is still
// the base and the numbered folder then cannot be created.
//
// A variable is usable only when its value reaches us whole in the ANSI code
// page: a value too long for the buffer arrives empty, and one with a
// character the code page lacks arrives as '?' or as a look-alike letter,
// which names no folder or the wrong one. Such a value is replaced by its
// short 8.3 form when the file system gives one that the code page can
// carry; otherwise the variable counts as absent and the next source is
// tried.
//
// A relative value ("..", "temp", "\temp", "C:temp") is made absolute here,
// against the current directory of the moment (the program's own folder):
// the install sequence changes folder before the clean-up, and the same
// relative path would then name another folder, which the clean-up would
// delete in place of the one this run made.
#include "installer/temp_folder.h"

#include <windows.h>

#include "startup/byte_helpers.h"
#include "startup/internal_error.h"
#include "startup/internal_error_places.h"
#include "startup/message_table.h"
#include "startup/path_helpers.h"
#include "startup/run_state.h"

constexpr int TEMP_FOLDER_NUMBERS = 100;     // TVSE0.TMP to TVSE99.TMP
constexpr UINT WINDOWS_FOLDER_MAX_CHARS = 250;  // room left for "\TEMP"

void AddTrailingSeparator(char *path, size_t size_bytes)
{
    const char *last = LastChar(path);
    if (last && IsPathSeparator(static_cast<unsigned char>(*last)))
        return;
    if (AppendString(path, size_bytes, "\\"))
        InternalError("sfxhead", PLACE_TRAILING_SEPARATOR);
}

// True when ansi, read back into UTF-16, is exactly wide: the conversion
// lost nothing and substituted nothing.
static bool SameAsWide(const char *ansi, const WCHAR *wide)
{
    WCHAR back[PATH_BUFFER_BYTES];
    if (!MultiByteToWideChar(CP_ACP, 0, ansi, -1, back, PATH_BUFFER_BYTES))
        return false;
    for (int i = 0;; i++) {
        if (back[i] != wide[i])
            return false;
        if (!wide[i])
            return true;
    }
}

// The value of the variable (name, and wide_name for the same name in
// UTF-16) into value. Returns 1 when it is usable as the base, 0 when it
// counts as absent: unset, empty, too long for size_bytes, or not
// representable in the ANSI code page and without a short form that is.
static int ReadTempVariable(const char *name, const WCHAR *wide_name, char *value, DWORD size_bytes)
{
    const DWORD length = GetEnvironmentVariableA(name, value, size_bytes);
    if (length == 0 || length >= size_bytes || value[0] == '\0')
        return 0;
    WCHAR wide[PATH_BUFFER_BYTES];
    const DWORD wide_length = GetEnvironmentVariableW(wide_name, wide, PATH_BUFFER_BYTES);
    if (wide_length == 0)
        return 1;  // no UTF-16 environment (Windows 9x): the ANSI value is all there is
    if (wide_length >= PATH_BUFFER_BYTES)
        return 0;
    if (SameAsWide(value, wide))
        return 1;
    WCHAR short_form[PATH_BUFFER_BYTES];
    const DWORD short_length = GetShortPathNameW(wide, short_form, PATH_BUFFER_BYTES);
    if (short_length == 0 || short_length >= PATH_BUFFER_BYTES)
        return 0;  // no such folder, or no short form that fits
    if (!WideCharToMultiByte(CP_ACP, 0, short_form, -1, value, static_cast<int>(size_bytes), nullptr, nullptr))
        return 0;
    return SameAsWide(value, short_form) ? 1 : 0;
}

// True when path names its folder whatever the current directory and drive:
// "X:\..." or "\\...". A drive letter and a colon are single bytes, so the
// byte tests are safe in a double-byte code page.
static bool FullyQualified(const char *path)
{
    const auto at = [path](int index) { return static_cast<unsigned char>(path[index]); };
    if (IsPathSeparator(at(0)))
        return IsPathSeparator(at(1));
    return at(0) && at(1) == ':' && IsPathSeparator(at(2));
}

// Makes a relative path absolute in place. Returns 0 when its full form does
// not fit size_bytes (the variable then counts as absent, like a value too
// long to arrive at all).
static int MakeAbsolute(char *path, DWORD size_bytes)
{
    if (FullyQualified(path))
        return 1;
    char full[PATH_BUFFER_BYTES];
    const DWORD length = GetFullPathNameA(path, sizeof full, full, nullptr);
    if (length == 0 || length >= sizeof full)
        return 0;
    return CopyString(path, size_bytes, full) ? 0 : 1;
}

// ReadTempVariable, and the value made absolute.
static int UsableTempVariable(const char *name, const WCHAR *wide_name, char *value, DWORD size_bytes)
{
    return ReadTempVariable(name, wide_name, value, size_bytes) && MakeAbsolute(value, size_bytes);
}

// The Windows folder's TEMP into folder (261 bytes), created when it does not
// exist. Returns 1 when it is a folder now; 0 when the Windows folder is not
// known, an entry of another kind has the name, or the folder cannot be made.
static int WindowsTempFolder(char *folder)
{
    const UINT length = GetWindowsDirectoryA(folder, WINDOWS_FOLDER_MAX_CHARS);
    if (length == 0 || length >= WINDOWS_FOLDER_MAX_CHARS)
        return 0;
    AddTrailingSeparator(folder, PATH_BUFFER_BYTES);
    if (AppendString(folder, PATH_BUFFER_BYTES, Message(MSG_TEMP_VARIABLE)))
        InternalError("sfxhead", PLACE_WINDOWS_TEMP);
    DWORD attributes = 0;
    if (ProbePath(folder, &attributes) == 0)
        return (attributes & FILE_ATTRIBUTE_DIRECTORY) ? 1 : 0;
    return MakeDirectory(folder) == 0 ? 1 : 0;
}

int TempFolderBase(char *out, size_t size_bytes)
{
    char base[PATH_BUFFER_BYTES];
    if (!UsableTempVariable("TMP", L"TMP", base, PATH_BUFFER_BYTES) &&
        !UsableTempVariable("TEMP", L"TEMP", base, PATH_BUFFER_BYTES) && !WindowsTempFolder(base))
        return 0;
    StripTrailingSeparator(base);
    if (CopyString(out, size_bytes, base))
        InternalError("sfxhead", PLACE_TEMP_BASE);
    return 1;
}

int CreateNumberedTempFolder(const char *base, char *out, size_t size_bytes)
{
    if (base[0] == '\0')
        return 0;
    char folder[PATH_BUFFER_BYTES];
    if (CopyString(folder, sizeof folder, base))
        InternalError("sfxhead", PLACE_NUMBERED_FOLDER);
    AddTrailingSeparator(folder, sizeof folder);
    // A folder left over from an earlier run makes CreateDirectoryA fail, so
    // the numbering always starts again at 0 and steps over it.
    for (int number = 0; number < TEMP_FOLDER_NUMBERS; number++) {
        char name[PATH_BUFFER_BYTES];
        if (FormatString(name, sizeof name, "%sTVSE%d.TMP", folder, number))
            InternalError("sfxhead", PLACE_NUMBERED_FOLDER);
        if (CreateDirectoryA(name, nullptr)) {
            if (CopyString(out, size_bytes, name))
                InternalError("sfxhead", PLACE_NUMBERED_FOLDER);
            return 1;
        }
    }
    return 0;
}

int CreateTempFolder(char *out, size_t size_bytes)
{
    char base[PATH_BUFFER_BYTES];
    return TempFolderBase(base, sizeof base) && CreateNumberedTempFolder(base, out, size_bytes);
}
