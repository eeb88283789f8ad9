#include "startup/stub_support.h"

#include <winternl.h>

#include <vector>

namespace stub_test {

std::string Ansi(const char *utf8)
{
    int wide_count = MultiByteToWideChar(CP_UTF8, 0, utf8, -1, nullptr, 0);
    std::vector<wchar_t> wide(wide_count);
    MultiByteToWideChar(CP_UTF8, 0, utf8, -1, wide.data(), wide_count);
    int ansi_count = WideCharToMultiByte(CP_ACP, 0, wide.data(), -1, nullptr, 0, nullptr, nullptr);
    std::string ansi(ansi_count, '\0');
    WideCharToMultiByte(CP_ACP, 0, wide.data(), -1, &ansi[0], ansi_count, nullptr, nullptr);
    ansi.resize(ansi_count - 1);
    return ansi;
}

std::string CurrentDirectoryOf(HANDLE process)
{
    using QueryProcess = NTSTATUS(WINAPI *)(HANDLE, PROCESSINFOCLASS, PVOID, ULONG, PULONG);
    auto query = reinterpret_cast<QueryProcess>(
        GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtQueryInformationProcess"));
    PROCESS_BASIC_INFORMATION basic = {};
    if (!query || query(process, ProcessBasicInformation, &basic, sizeof basic, nullptr) != 0)
        return "<no process information>";

    // The layouts of a process of this test's own width (the stub under test
    // is built with the same compiler): PEB.ProcessParameters at 0x10 (0x20
    // for 64-bit); in the parameters, the current directory's DosPath (a
    // UNICODE_STRING) at 0x24 (0x38).
    constexpr size_t PEB_PARAMETERS = sizeof(void *) == 8 ? 0x20 : 0x10;
    constexpr size_t PARAMETERS_CURRENT_DIRECTORY = sizeof(void *) == 8 ? 0x38 : 0x24;
    char *parameters = nullptr;
    UNICODE_STRING dos_path = {};
    wchar_t text[MAX_PATH + 1] = {};
    if (!ReadProcessMemory(process, reinterpret_cast<char *>(basic.PebBaseAddress) + PEB_PARAMETERS,
                           &parameters, sizeof parameters, nullptr) ||
        !ReadProcessMemory(process, parameters + PARAMETERS_CURRENT_DIRECTORY, &dos_path,
                           sizeof dos_path, nullptr) ||
        dos_path.Length > MAX_PATH * sizeof(wchar_t) ||
        !ReadProcessMemory(process, dos_path.Buffer, text, dos_path.Length, nullptr))
        return "<unreadable>";
    char narrow[2 * MAX_PATH] = {};
    WideCharToMultiByte(CP_ACP, 0, text, -1, narrow, sizeof narrow, nullptr, nullptr);
    return narrow;
}

}  // namespace stub_test
