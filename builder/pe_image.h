// The stub as a PE image (PE32 for the 32-bit stub, PE32+ for the 64-bit
// one): reading the headers the builder relies on, and
// appending one section at the end of the file.
//
// The builder never moves anything that is already in the stub: the new
// section header goes into the free space after the section table (inside
// SizeOfHeaders), and the section's raw data starts at the end of the file,
// which is the end of the last section's raw data. So the section's file
// offsets are plain file offsets and the zip archive inside it can use
// absolute offsets. A stub with bytes after its last section (an overlay or
// an Authenticode certificate) is refused: it must be completed before it is
// signed, never after.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

constexpr size_t PE_SECTION_NAME_BYTES = 8;
constexpr size_t PE_SECTION_HEADER_BYTES = 40;

enum class PeArch { X86, X64 };

// What ReadPeLayout() found; offsets are file offsets, addresses RVAs.
struct PeLayout {
    PeArch arch;                    // i386 PE32 or x86-64 PE32+
    uint32_t nt_headers_bytes;      // signature, file and optional header: 248 or 264
    uint32_t nt_offset;             // e_lfanew: the "PE\0\0" signature
    uint32_t section_table_offset;  // first section header
    uint16_t section_count;
    uint32_t file_alignment;
    uint32_t section_alignment;
    uint32_t size_of_headers;       // first byte of section data
    uint32_t entry_point;           // AddressOfEntryPoint
    uint32_t raw_end;               // end of the last section's raw data = file size
    uint32_t virtual_end;           // end of the last section in memory, unaligned
};

// Parses the headers of image and checks that one section can be appended:
// a PE32 image for i386 with the standard 224-byte optional header or a
// PE32+ image for x86-64 with the standard 240-byte one, room for
// one more section header before the first section's data, no certificate,
// no bytes after the last section, no section of that name yet. Refuses
// (BuildError) otherwise.
PeLayout ReadPeLayout(const std::vector<uint8_t> &image, const char *new_section_name);

// File offset of the first byte after the NT headers (e_lfanew plus 248 for
// PE32, 264 for PE32+), where the sign-friendly self-check starts. Only for
// an image that ReadPeLayout() accepted.
uint32_t NtHeadersEnd(const std::vector<uint8_t> &image);

// File offset at which AppendSection() will place the section's data.
uint32_t AppendedSectionOffset(const PeLayout &layout);

// Appends a section named name (PE_SECTION_NAME_BYTES, not NUL-terminated
// when it fills them) holding content, initialised read-only data. content's
// size must be a multiple of FileAlignment (the caller pads it so that the
// padding means something to it). Updates NumberOfSections, SizeOfImage and
// SizeOfInitializedData, and zeroes CheckSum: the image changes again when the
// ParameterBlock is patched, and a zero checksum is what an unchecked image
// carries. Returns the section's RVA.
uint32_t AppendSection(std::vector<uint8_t> &image, const PeLayout &layout, const char *name,
                       const std::vector<uint8_t> &content);

inline uint32_t AlignUp(uint32_t value, uint32_t alignment)
{
    return (value + alignment - 1) / alignment * alignment;
}
