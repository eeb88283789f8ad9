// Disk changes through the automation helper's drive definition (see
// removable_drive.h).
#include "support/removable_drive.h"

#include <windows.h>

#include "uiauto.h"

namespace stub_test {

bool RemovableDrive::Insert(const std::string &folder)
{
    return uiauto::DefineRemovableDrive(letter_, folder);
}

bool RemovableDrive::Eject()
{
    return uiauto::DefineRemovableDrive(letter_, "");
}
void WriteVolumeLabel(const std::string &folder, const std::string &label)
{
    const std::string path = folder + "\\.windows-label";
    if (label.empty()) {
        DeleteFileA(path.c_str());
        return;
    }
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return;
    DWORD written = 0;
    ::WriteFile(file, label.data(), static_cast<DWORD>(label.size()), &written, nullptr);
    CloseHandle(file);
}

}  // namespace stub_test
