// Helpers of the installer-mode tests (see installer_support.h).
#include "installer/installer_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "startup/message_table.h"
#include "startup/own_file.h"
#include "startup/run_state.h"
#include "support/test_files.h"

namespace stub_test {

void PrepareInstallerModules()
{
    ResetRunState();
    AppInstance = GetModuleHandleA(nullptr);
    ASSERT_EQ(0, AllocateRunBuffers());
    PrepareDecoder();
    UnpackMessageTable();
}

std::wstring Wide(const std::string &ansi)
{
    wchar_t wide[1024];
    return MultiByteToWideChar(CP_ACP, 0, ansi.c_str(), -1, wide, 1024) ? wide : L"";
}

std::string Ansi(const std::wstring &wide)
{
    char ansi[1024];
    return WideCharToMultiByte(CP_ACP, 0, wide.c_str(), -1, ansi, sizeof ansi, nullptr, nullptr) ? ansi : "";
}

ScratchFolder::ScratchFolder(const std::string &name)
{
    char full[MAX_PATH];
    GetFullPathNameA(name.c_str(), sizeof full, full, nullptr);
    path_ = full;
    RemoveTree(Wide(path_));
    CreateDirectoryA(path_.c_str(), nullptr);
}

ScratchFolder::~ScratchFolder() { RemoveTree(Wide(path_)); }

bool MakeFile(const std::string &path, const std::string &content, DWORD attributes)
{
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    const bool ok = WriteFile(file, content.data(), static_cast<DWORD>(content.size()), &written, nullptr) &&
                    written == content.size();
    CloseHandle(file);
    return ok && SetFileAttributesA(path.c_str(), attributes);
}

bool Exists(const std::string &path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

bool IsFolder(const std::string &path)
{
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

static void CollectNames(const std::wstring &folder, const std::wstring &prefix, std::vector<std::string> &names)
{
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return;
    do {
        const std::wstring name = found.cFileName;
        if (name == L"." || name == L"..")
            continue;
        names.push_back(Ansi(prefix + name));
        const DWORD attributes = found.dwFileAttributes;
        if ((attributes & FILE_ATTRIBUTE_DIRECTORY) && !(attributes & FILE_ATTRIBUTE_REPARSE_POINT))
            CollectNames(folder + L"\\" + name, prefix + name + L"\\", names);
    } while (FindNextFileW(search, &found));
    FindClose(search);
}

std::string ListTree(const std::string &folder)
{
    std::vector<std::string> names;
    CollectNames(Wide(folder), L"", names);
    std::sort(names.begin(), names.end());
    std::string list;
    for (const std::string &name : names)
        list += name + "\n";
    return list;
}

}  // namespace stub_test
