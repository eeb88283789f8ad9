// Putting an installer together: the stub, its new _talvok_ section holding
// the compressed SfxHeader and the archive, and the completed ParameterBlock.
//
// File layout of the result:
//
//   0                     the stub as linked, with one more section header
//   header offset         _talvok_ section: the compressed SfxHeader
//   first local header    the zip archive, absolute offsets
//   end record            its end record, whose comment runs to the end of
//                         the file (padding to FileAlignment)
//
// Pure computation on buffers: no file is read or written here.
#pragma once

#include "pe_image.h"
#include "sfx_header_builder.h"
#include "zip_archive.h"

#include <cstdint>
#include <string>
#include <vector>

constexpr const char *TALVOK_SECTION_NAME = "_talvok_";

struct BuildRequest {
    std::vector<uint8_t> stub;
    ZipArchive archive;
    HeaderTexts texts;            // ANSI bytes
    uint32_t flags;
    std::string wait_name;        // ANSI bytes, without .exe
    FieldBounds field_bounds;
};

// What was written, for the summary and for tests.
struct BuildResult {
    std::vector<uint8_t> image;
    size_t parameter_block;           // file offset of the marker
    uint32_t header_offset;
    uint32_t header_compressed_bytes;
    uint32_t header_unpacked_bytes;
    uint32_t first_local_header;
    uint32_t central_directory;
    uint32_t end_record;
    uint32_t padding_bytes;
    uint32_t total_size;
    uint32_t flags;
    uint32_t crc;
    uint32_t covered_from;            // first byte of the self-check's region
    uint32_t section_rva;
    uint32_t entry_point;
    PeArch arch;               // the stub's: i386 PE32 or x86-64 PE32+
    size_t member_count;
};

// Refuses (BuildError) whatever the stub or the texts cannot take.
BuildResult BuildInstaller(const BuildRequest &request);
