// A stand-in for <windows.h> that lets the stub's record and header code and
// its output paths, which touch Windows only through the file calls, a few
// allocations, the folder calls and CharNextA, compile natively for the fuzz
// targets. Only what those files use is
// declared; the definitions (over an in-memory file) are in
// stub_stand_ins.cpp. Nothing here is the real API's full behaviour: each
// call does what the stub relies on and no more.
#pragma once

#include <cstddef>
#include <cstdint>

typedef int BOOL;
typedef unsigned int UINT;
typedef int32_t LONG;
typedef uint32_t DWORD;
typedef uint16_t WORD;
typedef int HFILE;
typedef void *HANDLE;
typedef void *HINSTANCE;
typedef void *HMODULE;
typedef void *HWND;
typedef void *HICON;
typedef void *HCURSOR;
typedef void *HLOCAL;
typedef void *HGLOBAL;
typedef const char *LPCSTR;
typedef char *LPSTR;
typedef const char *LPCCH;

struct FILETIME {
    DWORD dwLowDateTime, dwHighDateTime;
};
struct WIN32_FIND_DATAA {
    DWORD dwFileAttributes;
    char cFileName[260];
};

#define MAX_PATH 260
#define HFILE_ERROR (-1)
#define FILE_BEGIN 0
#define FILE_CURRENT 1
#define FILE_END 2
#define LMEM_ZEROINIT 0x40
#define GMEM_MOVEABLE 0x2
#define GMEM_ZEROINIT 0x40
#define INVALID_HANDLE_VALUE (reinterpret_cast<HANDLE>(static_cast<intptr_t>(-1)))
#define FILE_ATTRIBUTE_DIRECTORY 0x10
#define FILE_ATTRIBUTE_NORMAL 0x80
#define DRIVE_NO_ROOT_DIR 1
#define DRIVE_FIXED 3
#define MB_YESNOCANCEL 0x3
#define IDCANCEL 2
#define IDYES 6
#define IDNO 7
#define MAKEINTRESOURCEA(id) (reinterpret_cast<LPCSTR>(static_cast<uintptr_t>(id)))

UINT _lread(HFILE file, void *buffer, UINT count_bytes);
LONG _llseek(HFILE file, LONG offset, int origin);
int lstrlenA(LPCSTR text);
HLOCAL LocalAlloc(UINT flags, size_t size_bytes);
HLOCAL LocalFree(HLOCAL block);
HGLOBAL GlobalAlloc(UINT flags, size_t size_bytes);
void *GlobalLock(HGLOBAL block);
BOOL GlobalUnlock(HGLOBAL block);
HGLOBAL GlobalHandle(const void *block);
HGLOBAL GlobalFree(HGLOBAL block);
DWORD GetModuleFileNameA(HMODULE module, LPSTR name, DWORD size_bytes);
HICON LoadIconA(HINSTANCE instance, LPCSTR name);

LPSTR CharNextA(LPCSTR text);
int MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT style);
HANDLE FindFirstFileA(LPCSTR path, WIN32_FIND_DATAA *found);
BOOL FindClose(HANDLE search);
BOOL CreateDirectoryA(LPCSTR path, void *security);
UINT GetDriveTypeA(LPCSTR root);
DWORD GetEnvironmentVariableA(LPCSTR name, LPSTR buffer, DWORD size_bytes);
BOOL SetFileAttributesA(LPCSTR path, DWORD attributes);
BOOL DeleteFileA(LPCSTR path);
BOOL DosDateTimeToFileTime(WORD dos_date, WORD dos_time, FILETIME *time);
BOOL LocalFileTimeToFileTime(const FILETIME *local, FILETIME *utc);
BOOL SetFileTime(HANDLE file, const FILETIME *created, const FILETIME *accessed, const FILETIME *written);
