// Start-up benchmark (not a test): how long a program takes from its start
// to its first visible window, run after run in one warm Wine session.
//   start_bench REPETITIONS PROGRAM [ARGS...]
// Prints each run's milliseconds and then "best N.N ms, median N.N ms".
// Each program is ended (TerminateProcess) as soon as its window shows: an
// installer that has only shown its dialog has done nothing to clean up.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

struct Search {
    DWORD process_id;
    bool found;
};

BOOL CALLBACK FindVisibleWindow(HWND window, LPARAM parameter)
{
    Search *search = reinterpret_cast<Search *>(parameter);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner == search->process_id && IsWindowVisible(window)) {
        search->found = true;
        return FALSE;
    }
    return TRUE;
}

std::string CommandLine(int argc, char **argv, int first)
{
    std::string line;
    for (int i = first; i < argc; i++) {
        if (!line.empty())
            line += ' ';
        line += std::string("\"") + argv[i] + "\"";
    }
    return line;
}

// Milliseconds from CreateProcess to the first visible window; -1 when none
// showed within 30 s.
double TimeToWindow(std::string command_line)
{
    LARGE_INTEGER frequency, start, now;
    QueryPerformanceFrequency(&frequency);
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION started = {};
    QueryPerformanceCounter(&start);
    if (!CreateProcessA(nullptr, &command_line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &started))
        return -1;
    double elapsed_ms = -1;
    for (;;) {
        Search search = {started.dwProcessId, false};
        EnumWindows(FindVisibleWindow, reinterpret_cast<LPARAM>(&search));
        QueryPerformanceCounter(&now);
        const double ms = 1000.0 * (now.QuadPart - start.QuadPart) / frequency.QuadPart;
        if (search.found) {
            elapsed_ms = ms;
            break;
        }
        if (ms > 30000 || WaitForSingleObject(started.hProcess, 0) == WAIT_OBJECT_0)
            break;
        Sleep(0);
    }
    TerminateProcess(started.hProcess, 0);
    WaitForSingleObject(started.hProcess, 5000);
    CloseHandle(started.hThread);
    CloseHandle(started.hProcess);
    return elapsed_ms;
}

}  // namespace

int main(int argc, char **argv)
{
    if (argc < 3) {
        fprintf(stderr, "usage: start_bench REPETITIONS PROGRAM [ARGS...]\n");
        return 2;
    }
    const int repetitions = atoi(argv[1]);
    const std::string command_line = CommandLine(argc, argv, 2);
    std::vector<double> times;
    TimeToWindow(command_line);  // warms the file cache and the server
    for (int i = 0; i < repetitions; i++) {
        const double ms = TimeToWindow(command_line);
        if (ms < 0) {
            fprintf(stderr, "start_bench: %s showed no window\n", argv[2]);
            return 1;
        }
        times.push_back(ms);
        printf("%.1f ", ms);
    }
    std::sort(times.begin(), times.end());
    printf("\nbest %.1f ms, median %.1f ms\n", times.front(), times[times.size() / 2]);
    return 0;
}
