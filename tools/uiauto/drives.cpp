// Removable drives through Wine's mount manager (see uiauto.h). The request
// and its record are Wine's own extension of the mount manager's interface;
// their layout is Wine's (include/ddk/mountmgr.h there).
#include "uiauto.h"
#include "uiauto_internal.h"

#include <windows.h>
#include <winioctl.h>

#include <cstring>
#include <vector>

namespace uiauto {

namespace {

constexpr ULONG MOUNT_MANAGER_TYPE = 'm';
constexpr DWORD IOCTL_DEFINE_UNIX_DRIVE =
    CTL_CODE(MOUNT_MANAGER_TYPE, 32, METHOD_BUFFERED, FILE_READ_ACCESS | FILE_WRITE_ACCESS);

struct UnixDrive {
    ULONG size;
    ULONG type;  // a DRIVE_* type; DRIVE_REMOVABLE on A: or B: is a floppy drive
    ULONG fs_type;
    DWORD serial;
    ULONGLONG unix_dev;
    WCHAR letter;
    USHORT mount_point_offset;  // the Unix folder the letter links to; 0 removes the drive
    USHORT device_offset;
    USHORT label_offset;
};

// The Unix path of a Windows one, as Wine maps it; empty when it cannot.
std::string UnixPath(const std::string &folder)
{
    using ToUnix = char *(CDECL *)(const WCHAR *);
    const auto to_unix = reinterpret_cast<ToUnix>(
        reinterpret_cast<void *>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name")));
    WCHAR wide[MAX_PATH];
    if (!to_unix || !MultiByteToWideChar(CP_ACP, 0, folder.c_str(), -1, wide, MAX_PATH))
        return "";
    char *unix_path = to_unix(wide);
    if (!unix_path)
        return "";
    std::string result = unix_path;
    HeapFree(GetProcessHeap(), 0, unix_path);
    return result;
}

bool DefineUnixDrive(char letter, const std::string &unix_folder)
{
    std::vector<char> request(sizeof(UnixDrive) + unix_folder.size() + 1, '\0');
    UnixDrive drive = {};
    drive.size = static_cast<ULONG>(request.size());
    drive.letter = static_cast<WCHAR>(letter);
    if (!unix_folder.empty()) {
        drive.type = DRIVE_REMOVABLE;
        drive.mount_point_offset = sizeof(UnixDrive);
        std::memcpy(request.data() + sizeof(UnixDrive), unix_folder.c_str(), unix_folder.size() + 1);
    }
    std::memcpy(request.data(), &drive, sizeof drive);
    HANDLE manager = CreateFileW(L"\\\\.\\MountPointManager", GENERIC_READ | GENERIC_WRITE,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    if (manager == INVALID_HANDLE_VALUE)
        return false;
    DWORD returned = 0;
    const BOOL defined = DeviceIoControl(manager, IOCTL_DEFINE_UNIX_DRIVE, request.data(),
                                         static_cast<DWORD>(request.size()), nullptr, 0, &returned, nullptr);
    CloseHandle(manager);
    return defined != FALSE;
}

}  // namespace

bool DefineRemovableDrive(char letter, const std::string &folder)
{
    const std::string unix_folder = folder.empty() ? "" : UnixPath(folder);
    if (!folder.empty() && unix_folder.empty()) {
        RecordFailure("DefineRemovableDrive: " + folder + " has no Unix path (not under Wine?)");
        return false;
    }
    if (!DefineUnixDrive(letter, unix_folder)) {
        RecordFailure(std::string("DefineRemovableDrive: the mount manager refused drive ") + letter + ":");
        return false;
    }
    return true;
}

}  // namespace uiauto
