// The extraction benchmark's timer (a program, not a test): starts one
// contender the way a user's double click does and times it from inside
// Wine, so that every contender pays the same process start and none pays
// this program's own.
//
//   install_bench TEMP_FOLDER MARK_FILE PROGRAM [ARGUMENTS...]
//
// TMP and TEMP are set to TEMP_FOLDER for the contender (the installer makes
// its numbered folder there) and TALVOK_BENCH_MARK to MARK_FILE, where
// bench_mark_setup.exe, run as the installer's setup command, writes the
// performance counter at its start. PROGRAM is started with its ARGUMENTS
// after it, separated by blanks and not quoted (NSIS wants /D= bare), and
// waited for. Prints, in seconds from just before CreateProcess:
//   whole SECONDS        until the contender's process ended
//   to_command SECONDS   until the setup command started (when it wrote
//                        MARK_FILE)
//   exit CODE            the contender's exit code
// Exit code 0, or 1 when PROGRAM could not be started.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

int main(int argc, char **argv)
{
    if (argc < 4) {
        std::fprintf(stderr, "usage: install_bench TEMP_FOLDER MARK_FILE PROGRAM [ARGUMENTS...]\n");
        return 1;
    }
    SetEnvironmentVariableA("TMP", argv[1]);
    SetEnvironmentVariableA("TEMP", argv[1]);
    SetEnvironmentVariableA("TALVOK_BENCH_MARK", argv[2]);
    DeleteFileA(argv[2]);
    std::string command_line = std::string("\"") + argv[3] + "\"";
    for (int i = 4; i < argc; i++)
        command_line += std::string(" ") + argv[i];

    LARGE_INTEGER frequency, start, end;
    QueryPerformanceFrequency(&frequency);
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    QueryPerformanceCounter(&start);
    if (!CreateProcessA(nullptr, &command_line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &process)) {
        std::fprintf(stderr, "cannot start %s (error %lu)\n", argv[3], GetLastError());
        return 1;
    }
    WaitForSingleObject(process.hProcess, INFINITE);
    QueryPerformanceCounter(&end);
    DWORD exit_code = 0;
    GetExitCodeProcess(process.hProcess, &exit_code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);

    const double ticks_per_second = static_cast<double>(frequency.QuadPart);
    std::printf("whole %.3f\n", static_cast<double>(end.QuadPart - start.QuadPart) / ticks_per_second);
    char mark[64] = "";
    HANDLE file = CreateFileA(argv[2], GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
        DWORD got_bytes = 0;
        ReadFile(file, mark, sizeof mark - 1, &got_bytes, nullptr);
        mark[got_bytes] = '\0';
        CloseHandle(file);
        const long long command_start = std::strtoll(mark, nullptr, 10);
        std::printf("to_command %.3f\n", static_cast<double>(command_start - start.QuadPart) / ticks_per_second);
    }
    std::printf("exit %lu\n", exit_code);
    return 0;
}
