// Writing the archive as it stands inside the installer: every offset in it
// (local header offsets, the central directory's offset) is an absolute file
// offset of the finished executable, and the end record is the last record.
//
// (One exception: an archive without members states its directory at offset
// 0, where zip tools expect it.)
//
// Every local header carries the member's true CRC and sizes, because the
// stub reads only local headers. A member whose ZIP_FLAG_DESCRIPTOR is set
// keeps it and gets a 16-byte descriptor (signature, CRC, sizes) after its
// data, the one form the stub steps over correctly.
//
// The section that holds the archive ends on the stub's FileAlignment, so the
// archive is followed by zero padding; the end record's comment length covers
// that padding (after the archive's own comment, if any), so the archive still
// ends exactly at the end of the file and zip tools find its end record where
// they look for it. When the archive's own comment leaves no room for it (a
// comment of up to 65,535 bytes), the padding stands in front of the first
// local header instead: zero bytes after the compressed header, where the
// stub's decoder has already stopped, and which zip tools take for part of
// the program before the archive.
#pragma once

#include "zip_archive.h"

#include <cstdint>
#include <vector>

// Where the writer put the records; absolute file offsets.
struct ZipWriteLayout {
    uint32_t first_local_header;  // base + lead_padding_bytes; the end record when there are no members
    uint32_t central_directory;
    uint32_t end_record;
    uint32_t padding_bytes;       // zero bytes appended to the comment
    uint32_t lead_padding_bytes;  // zero bytes in front of the archive, when the comment had no room
};

// Returns the archive's bytes as they will stand at absolute offset base,
// padded so that base + size is a multiple of end_alignment. Refuses more
// than 65535 members, a comment over 65535 bytes, and an archive that would
// end at or beyond 2 GiB.
std::vector<uint8_t> WriteZip(const ZipArchive &archive, uint32_t base, uint32_t end_alignment,
                              ZipWriteLayout *layout);
