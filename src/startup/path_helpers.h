// Path helpers. Paths are ANSI strings in the system's multi-byte code page,
// so every walk steps with CharNextA (or the runtime's lead-byte table) and
// never takes the trail byte of a double-byte character for a separator or a
// terminator. Tests return non-zero for "yes"; operations return 0 for
// success and 1 for failure unless noted.
#pragma once

#include <windows.h>

// True when the character starting at p is two bytes long.
bool IsDoubleByteAt(const char *p);

// True when byte is a lead byte of the current multi-byte code page.
bool IsLeadByte(unsigned char byte);

// First single-byte character equal to ch, or the terminating NUL.
char *ScanToChar(const char *text, char ch);

// Last '\' or '/' that is a character of its own, or nullptr.
char *FindLastSeparator(const char *path);

// The character after the last separator, or path itself without one.
char *FileNamePart(const char *path);

// First byte of the last character, or nullptr for an empty string.
char *LastChar(const char *text);

// Removes one trailing separator unless it belongs to the root ("C:\", "\",
// the two leading separators of a UNC path). Returns true when one was removed.
bool StripTrailingSeparator(char *path);

// 1 when FindFirstFileA finds nothing at path; otherwise 0, and when
// attributes is given and the entry is a folder, *attributes = 16.
[[nodiscard]] int ProbePath(const char *path, DWORD *attributes = nullptr);

[[nodiscard]] int MakeDirectory(const char *path);

// True when the drive of path (its first character) is a drive Windows knows.
bool IsValidDrive(const char *path);

// GetEnvironmentVariableA as it is: the value's length, or 0.
DWORD ReadEnvironment(const char *name, char *buffer, DWORD size_bytes);

// Clears the attributes (so read-only files go too), then deletes.
[[nodiscard]] int DeleteFileForced(const char *path);

// Sets creation, access and write time from a DOS date and time taken as
// local time. Returns 1 when they were set, 0 when DosDateTimeToFileTime
// refuses the date or time (the file's times are then left as they are).
int SetFileTimes(HANDLE file, WORD dos_date, WORD dos_time);

// Replaces the last component of path by the name the file system lists for
// it (its long form). Unchanged when the look-up fails; a name that does not
// fit size_bytes is an internal error.
void MakeLongName(char *path, size_t size_bytes);
