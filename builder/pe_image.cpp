// PE32 and PE32+ header reading and section appending (see pe_image.h). Only the fields
// named below are read or written; everything else in the headers is kept
// byte for byte.
#include "pe_image.h"

#include "build_error.h"
#include "portable/parameter_block.h"

#include <cstring>

namespace {

// Offsets within the NT headers (from the "PE\0\0" signature). Up to the
// data directories the two optional header forms agree on every field read
// here; PE32+ drops BaseOfData and widens ImageBase and the stack and heap
// sizes, which moves the directory count and the directories 16 bytes on.
constexpr size_t NT_MACHINE = PE_MACHINE;
constexpr size_t NT_SECTION_COUNT = 6;
constexpr size_t NT_OPTIONAL_HEADER_BYTES = 20;
constexpr size_t OPT = 24;  // the optional header
constexpr size_t OPT_MAGIC = OPT + 0;
constexpr size_t OPT_SIZE_OF_INITIALIZED_DATA = OPT + 8;
constexpr size_t OPT_ENTRY_POINT = OPT + 16;
constexpr size_t OPT_SECTION_ALIGNMENT = OPT + 32;
constexpr size_t OPT_FILE_ALIGNMENT = OPT + 36;
constexpr size_t OPT_SIZE_OF_IMAGE = OPT + 56;
constexpr size_t OPT_SIZE_OF_HEADERS = OPT + 60;
constexpr size_t OPT_CHECKSUM = OPT + 64;
constexpr size_t DIRECTORY_BYTES = 8;
constexpr size_t DIRECTORY_SECURITY = 4;  // the certificate table, a file offset

// The two forms the builder completes: the 32-bit stub and the 64-bit one.
struct PeForm {
    uint16_t machine;
    uint16_t magic;
    uint16_t optional_header_bytes;
    size_t directory_count;  // NumberOfRvaAndSizes, from the NT headers
    size_t directories;      // the first data directory
    PeArch arch;
};
constexpr PeForm Forms[] = {
    {PE_MACHINE_I386, 0x010B, 224, OPT + 92, OPT + 96, PeArch::X86},
    {PE_MACHINE_AMD64, 0x020B, 240, OPT + 108, OPT + 112, PeArch::X64},
};
static_assert(OPT + 224 == PE32_NT_HEADERS_BYTES,
              "the self-check's PE32 NT header size is signature, file header and optional header");
static_assert(OPT + 240 == PE32PLUS_NT_HEADERS_BYTES,
              "the self-check's PE32+ NT header size is signature, file header and optional header");
static_assert(OPT_ENTRY_POINT == PE_ENTRY_POINT, "the stub's PE check reads the same field");

// Offsets within a section header.
constexpr size_t SH_VIRTUAL_SIZE = 8;
constexpr size_t SH_VIRTUAL_ADDRESS = 12;
constexpr size_t SH_RAW_SIZE = 16;
constexpr size_t SH_RAW_OFFSET = 20;
constexpr size_t SH_CHARACTERISTICS = 36;
constexpr uint32_t SCN_INITIALIZED_DATA = 0x00000040;
constexpr uint32_t SCN_MEM_READ = 0x40000000;

bool IsPowerOfTwo(uint32_t value) { return value != 0 && (value & (value - 1)) == 0; }

}  // namespace

PeLayout ReadPeLayout(const std::vector<uint8_t> &image, const char *new_section_name)
{
    const uint8_t *bytes = image.data();
    const size_t file_bytes = image.size();
    if (file_bytes < 64 || bytes[0] != 'M' || bytes[1] != 'Z')
        Refuse("stub: not an executable (no MZ header)");
    if (file_bytes > 0x7FFFFFFF)
        Refuse("stub: over 2 GiB");

    PeLayout layout = {};
    layout.nt_offset = ReadLe32(bytes + DOS_E_LFANEW);
    if (layout.nt_offset > file_bytes || file_bytes - layout.nt_offset < PE32_NT_HEADERS_BYTES)
        Refuse("stub: e_lfanew 0x%X points outside the file", layout.nt_offset);
    const uint8_t *nt = bytes + layout.nt_offset;
    if (std::memcmp(nt, "PE\0\0", 4) != 0)
        Refuse("stub: no PE signature at e_lfanew 0x%X", layout.nt_offset);
    const PeForm *form = nullptr;
    for (const PeForm &candidate : Forms)
        if (ReadLe16(nt + NT_MACHINE) == candidate.machine && ReadLe16(nt + OPT_MAGIC) == candidate.magic &&
            ReadLe16(nt + NT_OPTIONAL_HEADER_BYTES) == candidate.optional_header_bytes)
            form = &candidate;
    if (!form)
        Refuse("stub: neither a PE32 image for i386 nor a PE32+ image for x86-64 with the standard optional header");
    layout.arch = form->arch;
    layout.nt_headers_bytes = OPT + form->optional_header_bytes;
    if (file_bytes - layout.nt_offset < layout.nt_headers_bytes)
        Refuse("stub: its NT headers run past the end of the file");

    layout.section_count = ReadLe16(nt + NT_SECTION_COUNT);
    layout.section_table_offset = layout.nt_offset + layout.nt_headers_bytes;
    layout.file_alignment = ReadLe32(nt + OPT_FILE_ALIGNMENT);
    layout.section_alignment = ReadLe32(nt + OPT_SECTION_ALIGNMENT);
    layout.size_of_headers = ReadLe32(nt + OPT_SIZE_OF_HEADERS);
    layout.entry_point = ReadLe32(nt + OPT_ENTRY_POINT);
    if (!IsPowerOfTwo(layout.file_alignment) || !IsPowerOfTwo(layout.section_alignment) ||
        layout.file_alignment > layout.section_alignment)
        Refuse("stub: FileAlignment 0x%X / SectionAlignment 0x%X are not valid",
               layout.file_alignment, layout.section_alignment);

    if (ReadLe32(nt + form->directory_count) > DIRECTORY_SECURITY) {
        const uint8_t *security = nt + form->directories + DIRECTORY_SECURITY * DIRECTORY_BYTES;
        if (ReadLe32(security) != 0 || ReadLe32(security + 4) != 0)
            Refuse("stub: it carries a certificate; complete the stub first, sign the result after");
    }

    const size_t table_end =
        size_t(layout.section_table_offset) + size_t(layout.section_count) * PE_SECTION_HEADER_BYTES;
    if (table_end > file_bytes)
        Refuse("stub: section table runs past the end of the file");

    uint32_t first_raw = layout.size_of_headers;
    for (uint16_t index = 0; index < layout.section_count; index++) {
        const uint8_t *section = bytes + layout.section_table_offset + index * PE_SECTION_HEADER_BYTES;
        if (std::strncmp(reinterpret_cast<const char *>(section), new_section_name,
                         PE_SECTION_NAME_BYTES) == 0)
            Refuse("stub: it already has a %.8s section (was it completed before?)", new_section_name);
        uint32_t raw_size = ReadLe32(section + SH_RAW_SIZE);
        uint32_t raw_offset = ReadLe32(section + SH_RAW_OFFSET);
        uint32_t virtual_size = ReadLe32(section + SH_VIRTUAL_SIZE);
        uint32_t virtual_address = ReadLe32(section + SH_VIRTUAL_ADDRESS);
        if (raw_size != 0) {
            if (raw_offset < first_raw)
                first_raw = raw_offset;
            if (uint64_t(raw_offset) + raw_size > layout.raw_end)
                layout.raw_end = raw_offset + raw_size;
        }
        uint32_t in_memory = virtual_size > raw_size ? virtual_size : raw_size;
        if (uint64_t(virtual_address) + in_memory > layout.virtual_end)
            layout.virtual_end = virtual_address + in_memory;
    }

    if (table_end + PE_SECTION_HEADER_BYTES > first_raw)
        Refuse("stub: no room for one more section header (table ends at 0x%zX, data starts at 0x%X)",
               table_end, first_raw);
    for (size_t at = table_end; at < table_end + PE_SECTION_HEADER_BYTES; at++)
        if (bytes[at] != 0)
            Refuse("stub: the bytes after the section table are in use (at 0x%zX)", at);
    if (layout.raw_end > file_bytes)
        Refuse("stub: truncated (its sections end at 0x%X, the file at 0x%zX)", layout.raw_end, file_bytes);
    if (layout.raw_end < file_bytes)
        Refuse("stub: %zu bytes after its last section (an overlay or a certificate); "
               "build from the stub as the linker made it",
               file_bytes - layout.raw_end);
    if (layout.raw_end % layout.file_alignment != 0)
        Refuse("stub: its last section does not end on FileAlignment");
    return layout;
}

uint32_t NtHeadersEnd(const std::vector<uint8_t> &image)
{
    const uint32_t nt_offset = ReadLe32(image.data() + DOS_E_LFANEW);
    return nt_offset + OPT + ReadLe16(image.data() + nt_offset + NT_OPTIONAL_HEADER_BYTES);
}

uint32_t AppendedSectionOffset(const PeLayout &layout) { return layout.raw_end; }

uint32_t AppendSection(std::vector<uint8_t> &image, const PeLayout &layout, const char *name,
                       const std::vector<uint8_t> &content)
{
    if (content.size() % layout.file_alignment != 0)
        Refuse("internal: section content is not padded to FileAlignment");
    if (uint64_t(image.size()) + content.size() > 0x7FFFFFFF)
        Refuse("the result would reach 2 GiB; offsets in the executable are signed 32-bit");
    const uint32_t raw_bytes = static_cast<uint32_t>(content.size());
    const uint32_t virtual_address = AlignUp(layout.virtual_end, layout.section_alignment);

    uint8_t *section = image.data() + layout.section_table_offset +
                       size_t(layout.section_count) * PE_SECTION_HEADER_BYTES;
    std::memset(section, 0, PE_SECTION_HEADER_BYTES);
    std::memcpy(section, name, strnlen(name, PE_SECTION_NAME_BYTES));
    WriteLe32(section + SH_VIRTUAL_SIZE, raw_bytes);
    WriteLe32(section + SH_VIRTUAL_ADDRESS, virtual_address);
    WriteLe32(section + SH_RAW_SIZE, raw_bytes);
    WriteLe32(section + SH_RAW_OFFSET, AppendedSectionOffset(layout));
    WriteLe32(section + SH_CHARACTERISTICS, SCN_INITIALIZED_DATA | SCN_MEM_READ);

    uint8_t *nt = image.data() + layout.nt_offset;
    WriteLe16(nt + NT_SECTION_COUNT, static_cast<uint16_t>(layout.section_count + 1));
    WriteLe32(nt + OPT_SIZE_OF_IMAGE, AlignUp(virtual_address + raw_bytes, layout.section_alignment));
    WriteLe32(nt + OPT_SIZE_OF_INITIALIZED_DATA, ReadLe32(nt + OPT_SIZE_OF_INITIALIZED_DATA) + raw_bytes);
    WriteLe32(nt + OPT_CHECKSUM, 0);

    image.insert(image.end(), content.begin(), content.end());
    return virtual_address;
}
