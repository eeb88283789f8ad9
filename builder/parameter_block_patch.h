// Completing the stub's ParameterBlock in the finished image: finding it by
// its marker, writing the offsets, sizes, flags, wait name, completion word
// and expected entry point, and last of all the CRC of the covered region,
// computed exactly as the stub's self-check recomputes it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// The values written into the block; offsets are absolute file offsets.
struct ParameterFields {
    uint32_t first_local_header;  // also where the covered region ends
    uint32_t header;              // the compressed SfxHeader
    uint32_t end_record;          // the end of central directory record
    uint32_t total_size;          // sum of the members' uncompressed sizes
    uint32_t flags;
    std::string wait_name;        // ANSI bytes, at most PB_WAIT_NAME_BYTES - 1
    uint32_t entry_point;         // the stub's AddressOfEntryPoint
};

// Offset of the block in stub: its marker must occur exactly once (the
// self-check takes the first occurrence, so a copy in front of the block
// would be checksummed in the wrong place). Refuses otherwise.
size_t FindParameterBlock(const std::vector<uint8_t> &stub);

// First byte of the covered region: 0, or the end of the NT headers when flags
// has FLAG_SIGN_FRIENDLY.
uint32_t CoveredRegionStart(const std::vector<uint8_t> &image, uint32_t flags);

// Writes every field into the block at block_offset, then its CRC. The image
// must be complete: the CRC covers bytes up to fields.first_local_header.
// Returns the CRC written.
uint32_t CompleteParameterBlock(std::vector<uint8_t> &image, size_t block_offset,
                                const ParameterFields &fields);

// Value of the completion word: anything but 0 marks the stub complete.
constexpr uint16_t COMPLETION_WORD = 0xFFFF;
