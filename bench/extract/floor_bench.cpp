// The floor of the extraction benchmark (a program, not a test): creates the
// payload's folders and files, with the same names and sizes, sets each
// file's times, and does nothing else. No archive is read, nothing is
// decoded or checked; each file is written from a zero-filled buffer in the
// extractor's chunk size. What is left is the cost of the file system and of
// the process under Wine, the least any extractor of this payload pays: an
// extractor must stamp every file with its member's time, so the floor
// stamps one too, converted from a DOS date and time as a member's is.
//
//   floor_bench LIST TARGET_FOLDER
//
// LIST is make_payload.py's files.txt: "D path" for a folder, "F size path"
// for a file, paths relative to TARGET_FOLDER with backslashes, in the order
// they are to be made. Exit code 0, or 1 at the first failure (named).
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

constexpr DWORD CHUNK_BYTES = 0x7000;  // the extractor's IO_CHUNK_BYTES

bool ReadList(const char *path, std::string &list)
{
    HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    char buffer[1 << 16];
    DWORD got_bytes = 0;
    while (ReadFile(file, buffer, sizeof buffer, &got_bytes, nullptr) && got_bytes > 0)
        list.append(buffer, got_bytes);
    CloseHandle(file);
    return true;
}

// 2024-06-15 12:30:00, a member's DOS date and time.
constexpr WORD FLOOR_DOS_DATE = (2024 - 1980) << 9 | 6 << 5 | 15;
constexpr WORD FLOOR_DOS_TIME = 12 << 11 | 30 << 5;

bool WriteZeros(const std::string &path, unsigned long size_bytes)
{
    static const char zeros[CHUNK_BYTES] = {};
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    bool written = true;
    while (written && size_bytes > 0) {
        DWORD chunk_bytes = size_bytes < CHUNK_BYTES ? DWORD(size_bytes) : CHUNK_BYTES, done_bytes = 0;
        written = WriteFile(file, zeros, chunk_bytes, &done_bytes, nullptr) && done_bytes == chunk_bytes;
        size_bytes -= chunk_bytes;
    }
    FILETIME local, utc;
    const bool stamped = DosDateTimeToFileTime(FLOOR_DOS_DATE, FLOOR_DOS_TIME, &local) &&
                         LocalFileTimeToFileTime(&local, &utc) && SetFileTime(file, &utc, &utc, &utc);
    return CloseHandle(file) && written && stamped;
}

}  // namespace

int main(int argc, char **argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: floor_bench LIST TARGET_FOLDER\n");
        return 1;
    }
    std::string list;
    if (!ReadList(argv[1], list)) {
        std::fprintf(stderr, "%s: cannot read it\n", argv[1]);
        return 1;
    }
    const std::string target = std::string(argv[2]) + "\\";
    if (!CreateDirectoryA(argv[2], nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) {
        std::fprintf(stderr, "%s: cannot create it\n", argv[2]);
        return 1;
    }
    size_t line_start = 0;
    while (line_start < list.size()) {
        size_t line_end = list.find('\n', line_start);
        if (line_end == std::string::npos)
            line_end = list.size();
        const std::string line = list.substr(line_start, line_end - line_start);
        line_start = line_end + 1;
        if (line.size() < 3)
            continue;
        bool made = false;
        std::string path;
        if (line[0] == 'D') {
            path = target + line.substr(2);
            made = CreateDirectoryA(path.c_str(), nullptr) != 0;
        } else if (line[0] == 'F') {
            char *size_end = nullptr;
            unsigned long size_bytes = std::strtoul(line.c_str() + 2, &size_end, 10);
            path = target + std::string(size_end + 1);
            made = WriteZeros(path, size_bytes);
        }
        if (!made) {
            std::fprintf(stderr, "cannot make %s (line \"%s\")\n", path.c_str(), line.c_str());
            return 1;
        }
    }
    return 0;
}
