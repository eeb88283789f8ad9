// The WinInit.Ini edit (see wininit_ini.h). The file is edited in place
// through one mapping that is large enough for the new line and a possible
// new header: the mapping grows the file by that much (the added bytes read
// as zero, which also ends the text for the header search), the tail after
// the header moves up once, and the file is cut back to its new length.
#include "installer/wininit_ini.h"

#include <windows.h>

#include "startup/byte_helpers.h"
#include "startup/internal_error.h"
#include "startup/internal_error_places.h"

constexpr char RENAME_HEADER[] = "[Rename]\r\n";
constexpr DWORD RENAME_HEADER_BYTES = sizeof RENAME_HEADER - 1;
constexpr size_t RENAME_LINE_BYTES = 1024;
static_assert(RENAME_HEADER_BYTES == 10, "the header line is ten bytes with its CR LF");

// First occurrence of the NUL-terminated needle in the NUL-terminated text,
// compared byte for byte, or nullptr.
static char *FindText(char *text, const char *needle)
{
    for (; *text; text++) {
        size_t i = 0;
        while (needle[i] && text[i] == needle[i])
            i++;
        if (!needle[i])
            return text;
    }
    return nullptr;
}

// Puts line (line_bytes long) into the view of a file whose old length is
// old_bytes; the view has room for the header and the line beyond it.
// Returns the file's new length.
static DWORD InsertRenameLine(char *view, DWORD old_bytes, const char *line, DWORD line_bytes)
{
    char *header = FindText(view, RENAME_HEADER);
    if (!header) {
        CopyBytes(view + old_bytes, RENAME_HEADER, RENAME_HEADER_BYTES);
        CopyBytes(view + old_bytes + RENAME_HEADER_BYTES, line, line_bytes);
        return old_bytes + RENAME_HEADER_BYTES + line_bytes;
    }
    // Just after the header's own line feed: the new line becomes the
    // section's first entry, above those already there.
    char *insertion = header + RENAME_HEADER_BYTES;
    char *old_end = view + old_bytes;
    for (char *from = old_end; from > insertion; from--)
        from[line_bytes - 1] = from[-1];
    CopyBytes(insertion, line, line_bytes);
    return old_bytes + line_bytes;
}

void AddRenameEntry(const char *ini_path, const char *path)
{
    char line[RENAME_LINE_BYTES];
    if (FormatString(line, sizeof line, "%hs=%hs\r\n", "NUL", path))
        InternalError("sfxhead", PLACE_WININIT_LINE);
    const DWORD line_bytes = static_cast<DWORD>(lstrlenA(line));

    HANDLE file = CreateFileA(ini_path, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return;
    const DWORD old_bytes = GetFileSize(file, nullptr);
    const DWORD mapped_bytes = old_bytes + line_bytes + RENAME_HEADER_BYTES;
    if (old_bytes == INVALID_FILE_SIZE || mapped_bytes < old_bytes) {
        CloseHandle(file);  // no size, or one the edit cannot grow
        return;
    }
    DWORD new_bytes = old_bytes;
    HANDLE mapping = CreateFileMappingA(file, nullptr, PAGE_READWRITE, 0, mapped_bytes, nullptr);
    if (mapping) {
        char *view = static_cast<char *>(MapViewOfFile(mapping, FILE_MAP_WRITE, 0, 0, 0));
        if (view) {
            new_bytes = InsertRenameLine(view, old_bytes, line, line_bytes);
            UnmapViewOfFile(view);
        }
        CloseHandle(mapping);
    }
    // The mapping grew the file even where nothing was written: cut it back.
    SetFilePointer(file, static_cast<LONG>(new_bytes), nullptr, FILE_BEGIN);
    SetEndOfFile(file);
    CloseHandle(file);
}
