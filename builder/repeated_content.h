// Members whose data repeats another member's, byte for byte. A zip member
// cannot point at another's data (the installer refuses members that share
// bytes, as unzip refuses them as a zip bomb), so each copy is paid for in
// full; the build's summary tells the author what that costs.
#pragma once

#include <cstddef>
#include <cstdint>

#include "zip_archive.h"

struct RepeatedContent {
    size_t members;            // members that repeat an earlier one's data
    uint64_t archive_bytes;    // their compressed data in the archive
};

// Compares members by method, CRC, sizes and then their compressed bytes, so
// equal contents compressed alike count, and nothing else does.
RepeatedContent FindRepeatedContent(const ZipArchive &archive);
