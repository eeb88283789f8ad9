// Atomic output on Windows (see output_file.h): a temporary file beside the
// target, renamed over it with MoveFileExW once it is complete.
#include "output_file.h"

#include "build_error.h"

#include <windows.h>

namespace {

std::wstring Wide(const std::string &text)
{
    const int count = MultiByteToWideChar(CP_UTF8, 0, text.data(), int(text.size()), nullptr, 0);
    std::wstring wide(size_t(count), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), int(text.size()), wide.data(), count);
    return wide;
}

std::string Reason(DWORD code)
{
    char text[256] = "";
    FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0, text, sizeof text,
                   nullptr);
    std::string reason = text;
    while (!reason.empty() && (reason.back() == '\n' || reason.back() == '\r' || reason.back() == '.'))
        reason.pop_back();
    return reason.empty() ? "error " + std::to_string(code) : reason;
}

// The temporary file: removed by the destructor unless kept.
class TemporaryFile {
public:
    explicit TemporaryFile(const std::string &target)
    {
        for (unsigned attempt = GetCurrentProcessId() * 7919u, tries = 0; tries < 100; tries++, attempt++) {
            path_ = target + ".tmp-" + std::to_string(attempt % 1000000);
            handle_ = CreateFileW(Wide(path_).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
            if (handle_ != INVALID_HANDLE_VALUE || GetLastError() != ERROR_FILE_EXISTS)
                break;
        }
        if (handle_ == INVALID_HANDLE_VALUE)
            Refuse("%s: cannot create a file next to it: %s", target.c_str(), Reason(GetLastError()).c_str());
    }
    ~TemporaryFile()
    {
        if (handle_ != INVALID_HANDLE_VALUE)
            CloseHandle(handle_);
        if (!kept_)
            DeleteFileW(Wide(path_).c_str());
    }
    TemporaryFile(const TemporaryFile &) = delete;
    TemporaryFile &operator=(const TemporaryFile &) = delete;

    HANDLE handle() const { return handle_; }
    const std::string &path() const { return path_; }
    bool Close()
    {
        const bool closed = CloseHandle(handle_);
        handle_ = INVALID_HANDLE_VALUE;
        return closed;
    }
    void Keep() { kept_ = true; }

private:
    std::string path_;
    HANDLE handle_ = INVALID_HANDLE_VALUE;
    bool kept_ = false;
};

}  // namespace

void WriteOutputFile(const std::string &path, const std::vector<uint8_t> &bytes)
{
    TemporaryFile temporary(path);
    size_t written_bytes = 0;
    while (written_bytes < bytes.size()) {
        const DWORD piece = DWORD(std::min<size_t>(bytes.size() - written_bytes, 1u << 24));
        DWORD count = 0;
        if (!WriteFile(temporary.handle(), bytes.data() + written_bytes, piece, &count, nullptr) || count == 0)
            Refuse("%s: cannot write: %s", temporary.path().c_str(), Reason(GetLastError()).c_str());
        written_bytes += count;
    }
    if (!temporary.Close())
        Refuse("%s: cannot write: %s", temporary.path().c_str(), Reason(GetLastError()).c_str());
    if (!MoveFileExW(Wide(temporary.path()).c_str(), Wide(path).c_str(), MOVEFILE_REPLACE_EXISTING))
        Refuse("%s: cannot put the installer in place: %s", path.c_str(), Reason(GetLastError()).c_str());
    temporary.Keep();
}
