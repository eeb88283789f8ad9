#include "startup/path_helpers.h"

#include <mbctype.h>

#include "startup/byte_helpers.h"
#include "startup/internal_error.h"
#include "startup/internal_error_places.h"

bool IsDoubleByteAt(const char *p)
{
    return CharNextA(p) - p > 1;
}

bool IsLeadByte(unsigned char byte)
{
    return _ismbblead(byte) != 0;
}

char *ScanToChar(const char *text, char ch)
{
    const char *p = text;
    while (*p) {
        if (IsLeadByte(static_cast<unsigned char>(*p))) {
            if (!p[1])  // a lead byte cut off by the NUL: stop on the NUL
                return const_cast<char *>(p + 1);
            p += 2;
            continue;
        }
        if (*p == ch)
            break;
        p++;
    }
    return const_cast<char *>(p);
}

char *FindLastSeparator(const char *path)
{
    const char *last = nullptr;
    for (const char *p = path; *p; p = CharNextA(p))
        if (IsPathSeparator(static_cast<unsigned char>(*p)))
            last = p;
    return const_cast<char *>(last);
}

char *FileNamePart(const char *path)
{
    char *separator = FindLastSeparator(path);
    return separator ? separator + 1 : const_cast<char *>(path);
}

char *LastChar(const char *text)
{
    const char *last = nullptr;
    for (const char *p = text; *p; p = CharNextA(p))
        last = p;
    return const_cast<char *>(last);
}

// Length of the root prefix: two bytes for a UNC path ("\\") or a drive
// ("C:"), none otherwise. A separator right after the prefix is the root's own.
static size_t RootPrefixBytes(const char *path)
{
    unsigned char first = static_cast<unsigned char>(path[0]);
    if (!first)
        return 0;
    if (IsPathSeparator(first) && IsPathSeparator(static_cast<unsigned char>(path[1])))
        return 2;
    if (IsAsciiLetter(first) && path[1] == ':')
        return 2;
    return 0;
}

bool StripTrailingSeparator(char *path)
{
    char *last = LastChar(path);
    if (!last || !IsPathSeparator(static_cast<unsigned char>(*last)))
        return false;
    if (static_cast<size_t>(last - path) <= RootPrefixBytes(path))
        return false;
    *last = '\0';
    return true;
}

int ProbePath(const char *path, DWORD *attributes)
{
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA(path, &found);
    if (search == INVALID_HANDLE_VALUE)
        return 1;
    FindClose(search);
    if (attributes && (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
        *attributes = FILE_ATTRIBUTE_DIRECTORY;
    return 0;
}

int MakeDirectory(const char *path)
{
    return CreateDirectoryA(path, nullptr) ? 0 : 1;
}

bool IsValidDrive(const char *path)
{
    char root[4] = {path[0], ':', '\\', '\0'};
    return GetDriveTypeA(root) > DRIVE_NO_ROOT_DIR;
}

DWORD ReadEnvironment(const char *name, char *buffer, DWORD size_bytes)
{
    return GetEnvironmentVariableA(name, buffer, size_bytes);
}

int DeleteFileForced(const char *path)
{
    SetFileAttributesA(path, FILE_ATTRIBUTE_NORMAL);
    return DeleteFileA(path) ? 0 : 1;
}

int SetFileTimes(HANDLE file, WORD dos_date, WORD dos_time)
{
    // A date the conversion refuses (31 February) leaves local unset: the
    // file then keeps the times it has rather than whatever the stack held.
    FILETIME local, utc;
    if (!DosDateTimeToFileTime(dos_date, dos_time, &local) || !LocalFileTimeToFileTime(&local, &utc))
        return 0;
    SetFileTime(file, &utc, &utc, &utc);
    return 1;
}

void MakeLongName(char *path, size_t size_bytes)
{
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA(path, &found);
    if (search == INVALID_HANDLE_VALUE)
        return;
    FindClose(search);
    char *name = FileNamePart(path);
    if (CopyString(name, size_bytes - static_cast<size_t>(name - path), found.cFileName))
        InternalError("sfxhead", PLACE_LONG_NAME);
}
