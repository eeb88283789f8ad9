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

// Files under folder (relative paths, '\' separated) with their sizes.
void ListFiles(const std::string &folder, const std::string &prefix, std::map<std::string, long> &files)
{
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return;
    do {
        const std::string name = found.cFileName;
        if (name == "." || name == "..")
            continue;
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            ListFiles(folder + "\\" + name, prefix + name + "\\", files);
        else
            files[prefix + name] = static_cast<long>(found.nFileSizeLow);
    } while (FindNextFileA(search, &found));
    FindClose(search);
}

void RemoveTree(const std::wstring &path)
{
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((path + L"\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            const std::wstring name = found.cFileName, entry = path + L"\\" + name;
            if (name == L"." || name == L"..")
                continue;
            if (found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)
                continue;  // links are removed by whoever made them: under Wine, deleting one deletes its target
            SetFileAttributesW(entry.c_str(), FILE_ATTRIBUTE_NORMAL);
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                RemoveTree(entry);
            else
                DeleteFileW(entry.c_str());
        } while (FindNextFileW(search, &found));
        FindClose(search);
    }
    RemoveDirectoryW(path.c_str());
}

void RemoveTree(const std::string &folder)
{
    wchar_t wide[1024];
    if (MultiByteToWideChar(CP_ACP, 0, folder.c_str(), -1, wide, 1024))
        RemoveTree(std::wstring(wide));
}

}  // namespace stub_test
