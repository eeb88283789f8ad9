/* The setup program the installer-mode tests put in their installers (and
   beside them, as a planted program). It writes what it found to
   %TALVOK_REPORT%: its own file, the folder it ran in, its command line
   after its own name, and the files around it. Its first argument then
   says what more it does:
     wait   stays until the file %TALVOK_RELEASE% exists;
     spawn  starts "holder.exe hold" from its folder and ends at once, with
            exit code 3;
     hold   (as holder.exe) keeps its own file open until released;
     deep   leaves in its folder a tree deeper than any path of 260
            characters, a file at every level;
     exit N ends at once with exit code N.
   Every wait gives up after 60 s. */
#include <windows.h>

static void Append(HANDLE file, const char *text)
{
    DWORD written;
    WriteFile(file, text, lstrlenA(text), &written, NULL);
}

static void ListFiles(HANDLE report, const char *folder, const char *prefix)
{
    char pattern[MAX_PATH], path[MAX_PATH];
    WIN32_FIND_DATAA found;
    wsprintfA(pattern, "%s\\*", folder);
    HANDLE search = FindFirstFileA(pattern, &found);
    if (search == INVALID_HANDLE_VALUE)
        return;
    do {
        if (found.cFileName[0] == '.')
            continue;
        wsprintfA(path, "%s%s", prefix, found.cFileName);
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            char inner[MAX_PATH], inner_prefix[MAX_PATH];
            wsprintfA(inner, "%s\\%s", folder, found.cFileName);
            wsprintfA(inner_prefix, "%s\\", path);
            ListFiles(report, inner, inner_prefix);
        } else {
            Append(report, "file=");
            Append(report, path);
            Append(report, "\r\n");
        }
    } while (FindNextFileA(search, &found));
    FindClose(search);
}

static void Report(const char *arguments)
{
    char name[MAX_PATH], folder[MAX_PATH], own[MAX_PATH];
    if (!GetEnvironmentVariableA("TALVOK_REPORT", name, sizeof name))
        return;
    HANDLE report = CreateFileA(name, GENERIC_WRITE, FILE_SHARE_READ, NULL, CREATE_ALWAYS, 0, NULL);
    GetCurrentDirectoryA(sizeof folder, folder);
    if (!GetModuleFileNameA(NULL, own, sizeof own))
        own[0] = '\0';
    Append(report, "program=");
    Append(report, own);
    Append(report, "\r\nfolder=");
    Append(report, folder);
    Append(report, "\r\nargs=");
    Append(report, arguments);
    Append(report, "\r\n");
    ListFiles(report, folder, "");
    Append(report, "end\r\n");
    CloseHandle(report);
}

static void WaitForRelease(void)
{
    char name[MAX_PATH];
    if (!GetEnvironmentVariableA("TALVOK_RELEASE", name, sizeof name))
        return;
    for (int i = 0; i < 3000 && GetFileAttributesA(name) == INVALID_FILE_ATTRIBUTES; i++)
        Sleep(20);
}

static const char *ArgumentsAfterName(const char *line)
{
    if (*line == '"') {
        for (line++; *line && *line != '"'; line++)
            ;
        if (*line)
            line++;
    } else {
        while (*line && *line != ' ')
            line++;
    }
    while (*line == ' ')
        line++;
    return line;
}

static void LeaveDeepTree(void)
{
    WCHAR path[4096] = L"\\\\?\\";
    if (!GetCurrentDirectoryW(2048, path + 4))
        return;
    for (int depth = 0; depth < 40; depth++) {
        WCHAR file[4096];
        lstrcatW(path, L"\\a-level-of-a-tree-too-deep-for-its-paths");
        CreateDirectoryW(path, NULL);
        lstrcpyW(file, path);
        lstrcatW(file, L"\\file.txt");
        CloseHandle(CreateFileW(file, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL));
    }
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR command_line, int show)
{
    (void)instance, (void)previous, (void)command_line, (void)show;
    const char *arguments = ArgumentsAfterName(GetCommandLineA());
    if (lstrcmpA(arguments, "hold") == 0) {
        char own[MAX_PATH];
        GetModuleFileNameA(NULL, own, sizeof own);
        HANDLE held = CreateFileA(own, GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, 0, NULL);
        WaitForRelease();
        CloseHandle(held);
        return 0;
    }
    Report(arguments);
    if (arguments[0] == 'e' && arguments[1] == 'x' && arguments[2] == 'i' && arguments[3] == 't' &&
        arguments[4] == ' ') {
        unsigned code = 0;
        for (const char *digit = arguments + 5; *digit >= '0' && *digit <= '9'; digit++)
            code = code * 10 + (unsigned)(*digit - '0');
        return (int)code;
    }
    if (lstrcmpA(arguments, "wait") == 0) {
        WaitForRelease();
    } else if (lstrcmpA(arguments, "deep") == 0) {
        LeaveDeepTree();
    } else if (lstrcmpA(arguments, "spawn") == 0) {
        STARTUPINFOA startup = {sizeof startup};
        PROCESS_INFORMATION started;
        char holder[] = "holder.exe hold";
        if (CreateProcessA(NULL, holder, NULL, NULL, FALSE, 0, NULL, NULL, &startup, &started)) {
            CloseHandle(started.hThread);
            CloseHandle(started.hProcess);
        }
        return 3;
    }
    return 0;
}
