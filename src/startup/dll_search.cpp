#include "startup/dll_search.h"

#include <windows.h>

void LimitDllSearchToSystemFolder()
{
    using SetDefaultDllDirectoriesFunction = BOOL(WINAPI *)(DWORD);
    const auto set_default_dll_directories = reinterpret_cast<SetDefaultDllDirectoriesFunction>(
        reinterpret_cast<void *>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "SetDefaultDllDirectories")));
    if (set_default_dll_directories)
        set_default_dll_directories(LOAD_LIBRARY_SEARCH_SYSTEM32);
}
