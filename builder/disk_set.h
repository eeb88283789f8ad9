// Archives spanned over removable disks: the installer's archive cut into
// disks of a given size, and the disks put back together for verify.
//
// The installer reads a disk set as one stream that runs from the end of one
// disk's file into the start of the next one's, but only four of its reads
// follow the stream onto the next disk: a record signature, a local header's
// 26 fixed bytes (read again whole from the next disk's start, so never
// split), member data read for extraction and member data stepped over.
// Everything else (a name, an extra field, an encryption header, a data
// descriptor, a central header, the end record) must lie whole on one disk.
// So the cut falls only between such records or inside member data.
//
// Disk 1 holds the installer. With flags bit 15 ("exe volumes") every disk
// carries NAME.EXE: disk 1's is the installer, its archive's first part after
// the header; later ones hold archive data only. Without it disk 1 carries the
// installer cut after its header and every disk NAME.ZIP, the first of them
// opening with the spanning marker "PK\x07\x08". Disk n's volume label must
// read "PKBACK# 00n".
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct DiskFile {
    std::string name;
    std::vector<uint8_t> bytes;
};

struct Disk {
    std::string label;            // the volume label the disk must carry
    std::vector<DiskFile> files;  // disk 1: the installer first
};

// The label of disk number (1 for the first).
std::string DiskLabel(unsigned number);

// Cuts a finished installer image (its archive after first_local_header)
// into disks of at most disk_bytes each; program_name is the installer's
// file name (its extension is replaced for the other files). Refuses
// (BuildError) when the installer up to its archive, or a record that must
// not be cut, does not fit on a disk.
std::vector<Disk> LayOutDisks(const std::vector<uint8_t> &image, uint32_t first_local_header, bool exe_volumes,
                              uint64_t disk_bytes, const std::string &program_name);

// Writes disk n into folder/disk<n> (folder must exist) and folder/labels.txt
// ("disk1 PKBACK# 001" a line). Refuses (BuildError) on a write failure.
void WriteDiskSet(const std::string &folder, const std::vector<Disk> &disks);

// The installer put back together from the folders of a disk set, in disk
// order, with the offsets in it where each disk after the first begins.
// Faults (a missing file, a cut that the installer would not read across)
// are added to faults; the image is empty when it cannot be made.
struct JoinedSet {
    std::vector<uint8_t> image;
    std::vector<size_t> cuts;
    std::string installer_path;  // disk 1's installer
};
JoinedSet JoinDiskSet(const std::vector<std::string> &folders, std::vector<std::string> &faults);

// Parses a size with an optional suffix k, m or g (powers of 1024), e.g.
// 1440k; 0 when it is not one: a sign, blanks, an unknown suffix, 0, or a
// number whose bytes do not fit 64 bits.
uint64_t ParseDiskSize(const std::string &text);
