// Putting an installer together: the stub, its new _talvok_ section holding
// the compressed SfxHeader and the archive, and the completed ParameterBlock.
//
// File layout of the result:
//
//   0                     the stub as linked, with one more section header
//   header offset         _talvok_ section: the compressed SfxHeader (and
//                         zero padding when the archive comment is full)
//   first local header    the zip archive, absolute offsets
//   end record            its end record, whose comment runs to the end of
//                         the file (padding to FileAlignment)
//
// With --verbatim the archive's own bytes stand at "first local header"
// instead, re-based where they can be (verbatim_archive.h) and followed by
// zero padding to FileAlignment: growing the end record's comment would
// change the archive's bytes, and there may be no end record to grow.
//
// Pure computation on buffers: no file is read or written here.
#pragma once

#include "pe_image.h"
#include "sfx_header_builder.h"
#include "verbatim_archive.h"
#include "zip_archive.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

constexpr const char *TALVOK_SECTION_NAME = "_talvok_";

struct BuildRequest {
    std::vector<uint8_t> stub;
    ZipArchive archive;           // written anew, unless verbatim is set
    std::optional<VerbatimArchive> verbatim;  // --verbatim: these bytes instead of archive
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
    uint32_t central_directory;       // 0 when a verbatim archive's could not be found
    uint32_t end_record;              // 0 when a verbatim archive has none
    uint32_t padding_bytes;           // in the end record's comment; verbatim: after the archive
    uint32_t lead_padding_bytes;      // between the header and the archive (a full comment left no room)
    uint32_t total_size;
    uint32_t flags;
    uint32_t crc;
    uint32_t covered_from;            // first byte of the self-check's region
    uint32_t section_rva;
    uint32_t entry_point;
    PeArch arch;               // the stub's: i386 PE32 or x86-64 PE32+
    std::string language;             // the stub's message table: "es", "en"; "" when unknown
    size_t member_count;              // verbatim: the headers total_size was summed over
    std::optional<VerbatimScan> verbatim;  // what re-basing found, with --verbatim
};

// Refuses (BuildError) whatever the stub or the texts cannot take (with
// checked bounds, also a text too long for a message the stub formats it
// into, message_fit.h), and an installer that would reach 2 GiB; a verbatim
// archive's content never.
BuildResult BuildInstaller(const BuildRequest &request);
