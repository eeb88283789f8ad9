// End to end: the stub started like a person would start it, from a folder
// other than its own. It must make its own folder current and exit with 0.
//
// The stub's current directory is read from its process parameters at the
// moment it starts to exit: the test runs it as a debuggee with a breakpoint
// on ntdll's RtlExitUserProcess (where ExitProcess ends up), since by the
// time the exit event arrives the process's memory is gone.
#include <gtest/gtest.h>
#include <windows.h>
#include <winternl.h>

#include <string>

namespace {

std::string FullPath(const char *relative)
{
    char full[MAX_PATH];
    GetFullPathNameA(relative, sizeof full, full, nullptr);
    return full;
}

// Reads the current directory out of a stopped process's parameters block.
std::string ReadCurrentDirectory(HANDLE process)
{
    using QueryProcess = NTSTATUS(WINAPI *)(HANDLE, PROCESSINFOCLASS, PVOID, ULONG, PULONG);
    auto query = reinterpret_cast<QueryProcess>(
        GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtQueryInformationProcess"));
    PROCESS_BASIC_INFORMATION basic = {};
    if (!query || query(process, ProcessBasicInformation, &basic, sizeof basic, nullptr) != 0)
        return "<no process information>";

    // 32-bit layouts: PEB.ProcessParameters at 0x10; in the parameters, the
    // current directory's DosPath (a UNICODE_STRING) at 0x24.
    DWORD parameters = 0;
    UNICODE_STRING dos_path = {};
    wchar_t text[MAX_PATH + 1] = {};
    if (!ReadProcessMemory(process, reinterpret_cast<char *>(basic.PebBaseAddress) + 0x10,
                           &parameters, sizeof parameters, nullptr) ||
        !ReadProcessMemory(process, reinterpret_cast<void *>(parameters + 0x24), &dos_path,
                           sizeof dos_path, nullptr) ||
        dos_path.Length > MAX_PATH * sizeof(wchar_t) ||
        !ReadProcessMemory(process, dos_path.Buffer, text, dos_path.Length, nullptr))
        return "<unreadable>";
    char narrow[2 * MAX_PATH] = {};
    WideCharToMultiByte(CP_ACP, 0, text, -1, narrow, sizeof narrow, nullptr, nullptr);
    return narrow;
}

bool StrEndsWithNtdll(const char *path)
{
    size_t length = lstrlenA(path);
    return length >= 9 && lstrcmpiA(path + length - 9, "ntdll.dll") == 0;
}

struct ExitState {
    bool exited = false;
    DWORD exit_code = 0;
    std::string current_directory;
};

// Runs command_line from working_folder as a debuggee until it exits or
// timeout_ms passes (then it is killed and exited stays false).
ExitState RunAndObserveExit(const std::string &command_line, const std::string &working_folder,
                            DWORD timeout_ms)
{
    ExitState state;
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    std::string mutable_line = command_line;
    if (!CreateProcessA(nullptr, &mutable_line[0], nullptr, nullptr, FALSE,
                        DEBUG_ONLY_THIS_PROCESS, nullptr, working_folder.c_str(), &startup,
                        &process))
        return state;

    // The breakpoint's address in the debuggee: ntdll's base there plus the
    // function's offset from ntdll's base here.
    HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    const DWORD exit_offset = reinterpret_cast<DWORD>(GetProcAddress(ntdll, "RtlExitUserProcess")) -
                              reinterpret_cast<DWORD>(ntdll);
    DWORD breakpoint = 0;
    BYTE saved_byte = 0;

    DWORD deadline = GetTickCount() + timeout_ms;
    while (!state.exited && static_cast<LONG>(deadline - GetTickCount()) > 0) {
        DEBUG_EVENT event;
        if (!WaitForDebugEvent(&event, 100))
            continue;
        DWORD continuation = DBG_CONTINUE;
        switch (event.dwDebugEventCode) {
        case CREATE_PROCESS_DEBUG_EVENT:
            if (event.u.CreateProcessInfo.hFile)
                CloseHandle(event.u.CreateProcessInfo.hFile);
            break;
        case LOAD_DLL_DEBUG_EVENT:
            if (event.u.LoadDll.hFile) {
                char name[MAX_PATH] = {};
                GetFinalPathNameByHandleA(event.u.LoadDll.hFile, name, sizeof name, 0);
                CloseHandle(event.u.LoadDll.hFile);
                if (!breakpoint && StrEndsWithNtdll(name)) {
                    breakpoint = reinterpret_cast<DWORD>(event.u.LoadDll.lpBaseOfDll) + exit_offset;
                    const BYTE int3 = 0xCC;
                    ReadProcessMemory(process.hProcess, reinterpret_cast<void *>(breakpoint),
                                      &saved_byte, 1, nullptr);
                    WriteProcessMemory(process.hProcess, reinterpret_cast<void *>(breakpoint),
                                       &int3, 1, nullptr);
                    FlushInstructionCache(process.hProcess, nullptr, 0);
                }
            }
            break;
        case EXCEPTION_DEBUG_EVENT: {
            const EXCEPTION_RECORD &record = event.u.Exception.ExceptionRecord;
            if (record.ExceptionCode != EXCEPTION_BREAKPOINT) {
                continuation = DBG_EXCEPTION_NOT_HANDLED;
            } else if (reinterpret_cast<DWORD>(record.ExceptionAddress) == breakpoint) {
                state.current_directory = ReadCurrentDirectory(process.hProcess);
                // Put the instruction back and resume at it.
                WriteProcessMemory(process.hProcess, reinterpret_cast<void *>(breakpoint),
                                   &saved_byte, 1, nullptr);
                FlushInstructionCache(process.hProcess, nullptr, 0);
                HANDLE thread = OpenThread(THREAD_ALL_ACCESS, FALSE, event.dwThreadId);
                CONTEXT context = {};
                context.ContextFlags = CONTEXT_CONTROL;
                GetThreadContext(thread, &context);
                context.Eip = breakpoint;
                SetThreadContext(thread, &context);
                CloseHandle(thread);
            }
            break;
        }
        case EXIT_PROCESS_DEBUG_EVENT:
            state.exited = true;
            state.exit_code = event.u.ExitProcess.dwExitCode;
            break;
        }
        ContinueDebugEvent(event.dwProcessId, event.dwThreadId, continuation);
    }
    if (!state.exited)
        TerminateProcess(process.hProcess, 99);
    DebugActiveProcessStop(process.dwProcessId);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return state;
}

TEST(WinMain, MakesItsOwnFolderCurrentAndExitsWithZero)
{
    CreateDirectoryA("stub home", nullptr);  // a blank in the name, as users' folders have
    std::string home = FullPath("stub home\\");
    std::string stub = home + "tvsfx32.exe";
    ASSERT_TRUE(CopyFileA(TALVOK_STUB_PATH, stub.c_str(), FALSE)) << TALVOK_STUB_PATH;

    std::string elsewhere = FullPath(".\\");
    ASSERT_NE(home, elsewhere);
    ExitState state = RunAndObserveExit("\"" + stub + "\"", elsewhere, 20000);

    ASSERT_TRUE(state.exited) << "the stub did not exit within 20 s";
    EXPECT_EQ(0u, state.exit_code);
    EXPECT_EQ(home, state.current_directory);
    DeleteFileA(stub.c_str());
}

}  // namespace
