// Paths of the helper's programs under Wine, and file helpers for tests.
#include "uiauto/uiauto_support.h"

#include <windows.h>

#include <fstream>
#include <sstream>

// The DOS form of a host path, from Wine's own mapping when it offers one;
// otherwise the path is taken to be a Windows path already.
static std::string HostPath(const char *host_path)
{
    typedef WCHAR *(CDECL * DosName)(const char *);
    DosName to_dos = reinterpret_cast<DosName>(
        reinterpret_cast<void *>(GetProcAddress(GetModuleHandleA("kernel32.dll"),
                                                "wine_get_dos_file_name")));
    if (host_path[0] != '/' || !to_dos)
        return host_path;
    WCHAR *wide = to_dos(host_path);
    if (!wide)
        return host_path;
    char narrow[MAX_PATH * 2];
    int bytes = WideCharToMultiByte(CP_ACP, 0, wide, -1, narrow, sizeof narrow, nullptr, nullptr);
    HeapFree(GetProcessHeap(), 0, wide);
    return bytes > 0 ? std::string(narrow) : std::string(host_path);
}

std::string FixtureExe()
{
    return HostPath(UIAUTO_FIXTURE_EXE);
}

std::string DriverExe()
{
    return HostPath(UIAUTO_DRIVER_EXE);
}

uiauto::LaunchOptions FixtureLaunch(const std::vector<std::string> &args)
{
    uiauto::LaunchOptions options;
    options.argv.push_back(FixtureExe());
    options.argv.insert(options.argv.end(), args.begin(), args.end());
    return options;
}

std::string ScratchPath(const std::string &name)
{
    char folder[MAX_PATH];
    GetCurrentDirectoryA(sizeof folder, folder);
    std::string path = std::string(folder) + "\\uiauto_" + name;
    DeleteFileA(path.c_str());
    return path;
}

std::string ReadBytes(const std::string &path, bool *exists)
{
    std::ifstream file(path, std::ios::binary);
    *exists = file.is_open();
    std::ostringstream bytes;
    bytes << file.rdbuf();
    return *exists ? bytes.str() : std::string();
}
