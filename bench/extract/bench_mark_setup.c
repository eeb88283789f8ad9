/* The setup command of the extraction benchmark's installer: writes the
   performance counter at its start to %TALVOK_BENCH_MARK% (install_bench
   reads it: the moment the installer's command started) and ends. */
#include <windows.h>

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR command_line, int show)
{
    LARGE_INTEGER now;
    char name[MAX_PATH], text[32];
    DWORD written;
    HANDLE file;
    (void)instance, (void)previous, (void)command_line, (void)show;
    QueryPerformanceCounter(&now);
    if (!GetEnvironmentVariableA("TALVOK_BENCH_MARK", name, sizeof name))
        return 1;
    wsprintfA(text, "%I64d", now.QuadPart);
    file = CreateFileA(name, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL);
    if (file == INVALID_HANDLE_VALUE)
        return 1;
    WriteFile(file, text, lstrlenA(text), &written, NULL);
    CloseHandle(file);
    return 0;
}
