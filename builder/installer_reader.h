// Reading a finished installer for "tvsfx info" and "tvsfx verify": every
// structure the stub relies on, located the way the stub locates it and read
// with bounds checks, so that a damaged or truncated file gives findings,
// never a read outside it. Nothing here judges; verify_command.cpp does.
//
// Works on any installer this builder has made (both stubs, --verbatim
// archives included): the ParameterBlock is found by its marker, the
// archive is walked from its first local header record by record as the
// stub walks it, and the central directory is read from the end record.
#pragma once

#include "pe_image.h"
#include "portable/sfx_header_layout.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

struct StubFacts {
    PeArch arch;
    uint32_t nt_offset;           // e_lfanew
    uint32_t nt_headers_bytes;    // 248 (PE32) or 264 (PE32+)
    uint32_t entry_point;         // AddressOfEntryPoint
    uint32_t stub_bytes;          // where the _talvok_ section starts (the file size when absent)
    bool has_talvok_section;
    uint32_t certificate_offset;  // Authenticode certificate table; 0 when unsigned
    uint32_t certificate_bytes;
};

struct ParameterFacts {
    size_t offset;             // of the first marker in the file
    size_t marker_count;
    uint32_t crc, first_local_header, header, end_record, total_size, flags;
    std::string wait_name;
    uint16_t completion;
    uint32_t entry_point;
};

struct HeaderFacts {
    bool decoded;                                // the stub's decoder took it whole
    size_t compressed_bytes;                     // from its offset to the first local header
    size_t unpacked_bytes;                       // the fields with their NULs
    std::vector<std::string> fields;             // in SfxHeaderField order; fewer when damaged
};

// A local header and its data as the walk met them.
struct LocalRecord {
    size_t offset;
    uint16_t version_needed, flags, method, dos_time, dos_date;
    uint32_t crc, compressed_bytes, uncompressed_bytes;
    std::string name;
    size_t data_offset;
    bool data_inside;          // the data lies wholly inside the file
    uint8_t aes_strength = 0;  // method 99 with a valid AE field (0x9901): 1..3
    uint16_t aes_version = 0, aes_method = 0;  // its AE version and real method
};

struct CentralRecord {
    size_t offset;
    uint16_t flags, method, dos_time, dos_date;
    uint32_t crc, compressed_bytes, uncompressed_bytes, local_offset;
    std::string name;
};

struct ArchiveFacts {
    std::vector<LocalRecord> members;  // in file order, as the stub meets them
    size_t first_central = 0;          // 0 when the walk met none
    size_t walk_end = 0;               // the end record the walk reached; 0 when it stopped short
    std::string walk_failure;          // why it stopped short
    std::vector<CentralRecord> central;     // through the end record at the ParameterBlock's offset
    std::string central_failure;
    uint16_t stated_entries = 0;            // the end record's fields
    uint32_t stated_central_offset = 0, stated_central_bytes = 0;
    uint16_t end_comment_bytes = 0;
    bool end_record_read = false;
};

struct InstallerFacts {
    std::vector<uint8_t> bytes;
    std::optional<StubFacts> stub;             // nullopt: not a PE image the builder makes
    std::string stub_failure;
    std::optional<ParameterFacts> parameters;  // nullopt: no marker
    std::optional<HeaderFacts> header;         // nullopt: header offset 0 or no block
    ArchiveFacts archive;
};

// Everything that can be read of bytes. Never refuses.
InstallerFacts ReadInstaller(std::vector<uint8_t> bytes);

// The last end record zip tools would find, scanning back from limit (the
// file's end, or where a certificate starts): its offset, or nullopt.
std::optional<size_t> FindTrailingEndRecord(const std::vector<uint8_t> &bytes, size_t limit);

// Names of the members' methods.
const char *MethodText(uint16_t method);
