// Disk volumes of a spanned archive: the archive is one stream that runs from
// the end of one disk's file into the start of the next one's. Each disk is
// known by its volume label (disk_label.h) in the drive the program was
// started from; OpenDisk asks for the disk it wants until it is in the drive
// and makes its file the ArchiveFile. Only four reads follow the stream onto
// the next disk: a record signature, a local header's fixed part, member
// data stepped over (SkipSpannedData) and member data read for extraction
// (RefillInput); every other record must lie whole on one disk.
#pragma once

#include <cstdint>

extern uint16_t CurrentDisk;  // number of the disk whose file is open; 1 at start, set by OpenDisk

// The file name each disk carries: the program's own name with ".EXE"
// (disk 1's file is then the program itself) or with ".ZIP".
enum class DiskNaming { Exe, Zip };

// The naming of the disks after the first, as flags bit 15 says.
DiskNaming VolumeNaming();

// The disk number in the label of the volume in the drive drive_root ("A:"),
// or NO_DISK when there is no readable volume or its label names no disk.
[[nodiscard]] uint16_t ReadDiskNumber(const char *drive_root);

// Closes ArchiveFile, asks until disk wanted is in the program's drive (a
// wanted number of 0 asks for "the last disk"), opens its file as ArchiveFile
// at offset 0 and sets CurrentDisk. Returns only then: Abort or Cancel in a
// prompt is the abort jump with code 2, a file that does not open the
// header-corrupt abort.
void OpenDisk(uint16_t wanted, DiskNaming naming);

// Steps over part of the current member's unread data (InputRemaining),
// onto the next disk when this one's file ends first; returns the bytes
// stepped over and takes them off InputRemaining, 0 when none are left. A
// seek that fails ends the run with read-error code 2.
int32_t SkipSpannedData();
