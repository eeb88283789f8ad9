// The host interface on Windows, for tvsfx.exe (see host_system.h). Every
// path and text crosses here between UTF-8 and the wide (UTF-16) calls, so
// names outside the ANSI code page work as they do on Linux.
#include "host_system.h"

#include <windows.h>
#include <bcrypt.h>
#include <fcntl.h>
#include <io.h>
#include <shellapi.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>

namespace {

constexpr int64_t FILETIME_TICKS_PER_SECOND = 10000000;
constexpr int64_t FILETIME_UNIX_EPOCH_SECONDS = 11644473600;  // 1601-01-01 to 1970-01-01

std::wstring Wide(const std::string &text)
{
    const int count = MultiByteToWideChar(CP_UTF8, 0, text.data(), int(text.size()), nullptr, 0);
    std::wstring wide(size_t(count), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), int(text.size()), wide.data(), count);
    return wide;
}

std::string Utf8(const wchar_t *text, int count_chars = -1)
{
    const int count = WideCharToMultiByte(CP_UTF8, 0, text, count_chars, nullptr, 0, nullptr, nullptr);
    std::string utf8(size_t(count), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, count_chars, utf8.data(), count, nullptr, nullptr);
    if (count_chars < 0 && !utf8.empty())
        utf8.pop_back();  // the NUL
    return utf8;
}

std::string SystemMessage(DWORD code)
{
    wchar_t *text = nullptr;
    FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                   nullptr, code, 0, reinterpret_cast<wchar_t *>(&text), 0, nullptr);
    std::string message = text ? Utf8(text) : "error " + std::to_string(code);
    LocalFree(text);
    while (!message.empty() && (message.back() == '\n' || message.back() == '\r' || message.back() == '.'))
        message.pop_back();
    return message;
}

// Closes a handle on every path.
struct Handle {
    HANDLE handle;
    ~Handle()
    {
        if (handle != INVALID_HANDLE_VALUE)
            CloseHandle(handle);
    }
};

}  // namespace

bool QueryEntry(const std::string &path, EntryInfo &info, std::string &error)
{
    const std::wstring wide = Wide(path);
    const DWORD attributes = GetFileAttributesW(wide.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        error = SystemMessage(GetLastError());
        return false;
    }
    // Opened to follow links and to learn the file's identity.
    Handle file{CreateFileW(wide.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr)};
    BY_HANDLE_FILE_INFORMATION details;
    if (file.handle == INVALID_HANDLE_VALUE || !GetFileInformationByHandle(file.handle, &details)) {
        error = SystemMessage(GetLastError());
        return false;
    }
    info = EntryInfo{};
    const bool link = attributes & FILE_ATTRIBUTE_REPARSE_POINT;
    info.is_link = link;
    if (details.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
        info.kind = link ? EntryKind::LinkToFolder : EntryKind::Folder;
    else if (details.dwFileAttributes & FILE_ATTRIBUTE_DEVICE)
        info.kind = EntryKind::Other;
    else
        info.kind = EntryKind::File;
    info.size_bytes = uint64_t(details.nFileSizeHigh) << 32 | details.nFileSizeLow;
    const int64_t ticks =
        int64_t(uint64_t(details.ftLastWriteTime.dwHighDateTime) << 32 | details.ftLastWriteTime.dwLowDateTime);
    info.modified = ticks / FILETIME_TICKS_PER_SECOND - FILETIME_UNIX_EPOCH_SECONDS;
    info.identity = FileIdentity{details.dwVolumeSerialNumber,
                                 uint64_t(details.nFileIndexHigh) << 32 | details.nFileIndexLow, true};
    return true;
}

bool ResolvedPath(const std::string &path, std::string &resolved, std::string &error)
{
    Handle file{CreateFileW(Wide(path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr)};
    std::wstring final_path(32768, L'\0');  // the longest path the wide calls take
    const DWORD count = file.handle == INVALID_HANDLE_VALUE
                            ? 0
                            : GetFinalPathNameByHandleW(file.handle, final_path.data(), DWORD(final_path.size()),
                                                        FILE_NAME_NORMALIZED);
    if (count == 0 || count >= final_path.size()) {
        error = SystemMessage(GetLastError());
        return false;
    }
    resolved = Utf8(final_path.data(), int(count));
    for (char &c : resolved)
        if (c == '\\')
            c = '/';
    return true;
}

bool MakeFolder(const std::string &folder, std::string &error)
{
    if (CreateDirectoryW(Wide(folder).c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS)
        return true;
    error = SystemMessage(GetLastError());
    return false;
}

bool ListFolder(const std::string &folder, std::vector<std::string> &names, std::string &error)
{
    WIN32_FIND_DATAW found;
    const HANDLE search = FindFirstFileW(Wide(folder + "/*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) {
        error = SystemMessage(GetLastError());
        return false;
    }
    names.clear();
    do {
        const std::string name = Utf8(found.cFileName);
        if (name != "." && name != "..")
            names.push_back(name);
    } while (FindNextFileW(search, &found));
    const DWORD last = GetLastError();
    FindClose(search);
    if (last != ERROR_NO_MORE_FILES) {
        error = SystemMessage(last);
        return false;
    }
    return true;
}

bool ReadWholeFile(const std::string &path, std::vector<uint8_t> &bytes, std::string &error, uint64_t max_bytes)
{
    Handle file{CreateFileW(Wide(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr)};
    if (file.handle == INVALID_HANDLE_VALUE) {
        error = SystemMessage(GetLastError());
        return false;
    }
    bytes.clear();
    LARGE_INTEGER size;
    if (GetFileSizeEx(file.handle, &size) && size.QuadPart > 0 && uint64_t(size.QuadPart) <= max_bytes)
        bytes.reserve(size_t(size.QuadPart));
    uint8_t chunk[1 << 16];
    for (;;) {
        DWORD count = 0;
        if (!ReadFile(file.handle, chunk, sizeof chunk, &count, nullptr)) {
            error = SystemMessage(GetLastError());
            return false;
        }
        if (count == 0)
            return true;
        bytes.insert(bytes.end(), chunk, chunk + count);
        if (bytes.size() > max_bytes) {
            error = "more than " + std::to_string(max_bytes) + " bytes";
            return false;
        }
    }
}

bool ToLocalTime(int64_t when, struct tm &local)
{
    const __time64_t seconds = when;
    return _localtime64_s(&local, &seconds) == 0;
}

bool ToUtcTime(int64_t when, struct tm &utc)
{
    const __time64_t seconds = when;
    return _gmtime64_s(&utc, &seconds) == 0;
}

bool StderrIsTerminal() { return _isatty(_fileno(stderr)) != 0; }

bool SystemRandomBytes(uint8_t *destination, size_t count_bytes)
{
    return BCryptGenRandom(nullptr, destination, ULONG(count_bytes), BCRYPT_USE_SYSTEM_PREFERRED_RNG) == 0;
}

void UseBinaryStandardStreams()
{
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
}

std::vector<std::string> CommandArguments(int, char **)
{
    int count = 0;
    wchar_t **wide = CommandLineToArgvW(GetCommandLineW(), &count);
    std::vector<std::string> arguments;
    for (int index = 1; wide && index < count; index++)
        arguments.push_back(Utf8(wide[index]));
    LocalFree(wide);
    return arguments;
}

bool EnvironmentValue(const char *name, std::string &value)
{
    const wchar_t *found = _wgetenv(Wide(name).c_str());
    if (!found)
        return false;
    value = Utf8(found);
    return true;
}
