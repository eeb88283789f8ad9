// --verbatim: an archive put into the installer as it is, for tests and for
// diagnosing the stub with damaged or unusual archives. Nothing in it is
// checked, refused or rewritten (zip_reader.h's rules do not apply); the only
// change is re-basing, where it can be done, the offsets zip tools rely on:
//
//   - the end record is the last complete "PK\5\6" record in the file,
//     found by scanning back from the end (bytes after it are allowed);
//   - when the directory it states (offset and size) lies inside the file,
//     its central directory offset is re-based, and so is the local header
//     offset of each central header, walking from that offset for as long as
//     the headers parse (signature, and name, extra field and comment inside
//     the file) and start inside the stated directory. An offset that points
//     outside the archive is not a position that moves with it (0xFFFFFFFF,
//     the Zip64 mark, is one) and is left alone.
//
// An archive without members is no exception here (zip_writer.h keeps its
// directory offset at 0 for unzip's sake): one rule, so a test knows exactly
// what it gets. Zip64 records (the locator, the Zip64 end record, Zip64 extra
// blocks) are never touched, so an archive that needs them comes out with
// its 64-bit offsets pointing where they pointed in the original file.
//
// The scan also gathers what the ParameterBlock needs: the members' total
// size (from the central directory when its headers fill it exactly, else
// from the local headers walked from the archive's first byte as the stub
// walks them, else 0) and whether any header walked carries the encryption
// bit. Pure computation on buffers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

enum class TotalSizeSource {
    CentralDirectory,  // every central header parsed and they fill the directory exactly
    LocalHeaders,      // the local headers that parse, walked from the first byte
    None,              // nothing parsed: the total is 0
};

// What could be read of the archive; positions count from its first byte.
struct VerbatimScan {
    bool end_record_found;
    size_t end_record;                       // when found
    bool directory_inside;                   // its offset + size lie inside the file: re-based
    uint32_t central_directory;              // the stated offset, when directory_inside
    size_t central_headers;                  // central headers walked
    size_t local_headers;                    // local headers walked
    std::vector<size_t> local_offset_fields; // positions of the local header offsets to re-base
    uint64_t total_bytes;                    // sum of the uncompressed sizes, from total_from
    TotalSizeSource total_from;
    bool encrypted;                          // bit 0 on any central or local header walked
};

// Reads what parses of archive; never refuses.
VerbatimScan ScanVerbatimArchive(const std::vector<uint8_t> &archive);

// Adds base (the archive's file offset in the installer) to the end record's
// central directory offset and to each local header offset the scan chose.
// archive must be the bytes that were scanned. Sums wrap at 32 bits, which
// only an installer over 4 GiB would meet, and that is refused when its
// section is appended (pe_image.h).
void RebaseVerbatimArchive(std::vector<uint8_t> &archive, const VerbatimScan &scan, uint32_t base);

// An archive read for --verbatim: its bytes as they are, and their scan.
struct VerbatimArchive {
    std::vector<uint8_t> bytes;
    VerbatimScan scan;
};
