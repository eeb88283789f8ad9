// A removable drive whose "disk" a test changes while the code under test
// runs, in this process or in another one of the same Wine session, through
// uiauto::DefineRemovableDrive.
//
// Wine keeps a volume's label in its mount manager, read from the
// .windows-label file in the drive's folder when the drive is defined, and
// every process asks the mount manager for it: rewriting the file, or
// re-pointing dosdevices/a: behind its back, leaves the old label in place
// until the session ends. Defining the drive anew through the mount
// manager's own request (IOCTL_MOUNTMGR_DEFINE_UNIX_DRIVE, as winecfg does)
// re-points the letter and reads the label again at once, and makes the
// drive removable without a registry edit or a server restart. So a disk
// change here is what a disk change is to the program: the next label query
// and the next file opened on the drive see the new disk.
#pragma once

#include <string>

namespace stub_test {

class RemovableDrive {
public:
    // The drive letter to use ('a' to 'z'); nothing is defined yet.
    explicit RemovableDrive(char letter) : letter_(letter) {}
    // Takes the drive away again, so the prefix is left as it was.
    ~RemovableDrive() { Eject(); }
    RemovableDrive(const RemovableDrive &) = delete;
    RemovableDrive &operator=(const RemovableDrive &) = delete;

    // Puts the folder (a Windows path) in the drive as its disk; its
    // .windows-label file, if any, is the disk's label. False on failure.
    bool Insert(const std::string &folder);
    // Leaves the drive without a disk: the letter names nothing. False on failure.
    bool Eject();
    // "A:" and so on.
    std::string Root() const { return std::string(1, static_cast<char>(letter_ - 'a' + 'A')) + ":"; }

private:
    char letter_;
};

// Writes label into folder's .windows-label (an empty label removes the file).
void WriteVolumeLabel(const std::string &folder, const std::string &label);

}  // namespace stub_test
