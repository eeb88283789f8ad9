// File helpers shared by the Windows-side tests (see test_files.h).
#include "support/test_files.h"

#include <windows.h>

#include <algorithm>

#include "portable/parameter_block.h"

namespace stub_test {

std::string FullPath(const std::string &relative)
{
    char full[MAX_PATH];
    GetFullPathNameA(relative.c_str(), sizeof full, full, nullptr);
    return full;
}

bool CopyTo(const std::string &from, const std::string &to)
{
    return CopyFileA(from.c_str(), to.c_str(), FALSE) != 0;
}

std::string ReadWholeFile(const std::string &path)
{
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return "";
    std::string content(GetFileSize(file, nullptr), '\0');
    DWORD read = 0;
    if (!content.empty())
        ReadFile(file, &content[0], static_cast<DWORD>(content.size()), &read, nullptr);
    CloseHandle(file);
    content.resize(read);
    return content;
}

size_t FindBlock(const std::vector<uint8_t> &bytes)
{
    const uint8_t marker[] = {PARAMETER_MARKER_INIT};
    for (size_t i = 0; i + sizeof marker <= bytes.size(); i++)
        if (std::equal(marker, marker + sizeof marker, bytes.begin() + i))
            return i;
    return std::string::npos;
}

}  // namespace stub_test
