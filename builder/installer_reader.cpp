// Installer reading (see installer_reader.h). Every read goes through
// Inside(), so a field is never taken from outside the file.
#include "extract/aes/ae_format.h"
#include "installer_reader.h"

#include "archive/zip_records.h"
#include "portable/byte_order.h"
#include "portable/parameter_block.h"
#include "stub_decoder.h"
#include "zip_archive.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr size_t NT_SECTION_COUNT = 6;
constexpr size_t NT_OPTIONAL_HEADER_BYTES = 20;
constexpr size_t OPT = 24;
constexpr size_t OPT_MAGIC = OPT + 0;
constexpr size_t SECURITY_DIRECTORY_PE32 = OPT + 96 + 4 * 8;
constexpr size_t SECURITY_DIRECTORY_PE32PLUS = OPT + 112 + 4 * 8;
constexpr size_t SECTION_RAW_OFFSET = 20;
constexpr const char TALVOK_SECTION[] = "_talvok_";

bool Inside(const std::vector<uint8_t> &bytes, uint64_t offset, uint64_t count_bytes)
{
    return offset <= bytes.size() && count_bytes <= bytes.size() - offset;
}

bool SignatureAt(const std::vector<uint8_t> &bytes, size_t offset, const uint8_t *tail)
{
    return Inside(bytes, offset, ZIP_SIGNATURE_BYTES) && IsZipSignature(bytes.data() + offset, tail);
}

std::optional<StubFacts> ReadStub(const std::vector<uint8_t> &bytes, std::string &failure)
{
    if (!Inside(bytes, 0, 64) || bytes[0] != 'M' || bytes[1] != 'Z') {
        failure = "not an executable (no MZ header)";
        return std::nullopt;
    }
    StubFacts stub = {};
    stub.nt_offset = ReadLe32(bytes.data() + DOS_E_LFANEW);
    if (!Inside(bytes, stub.nt_offset, PE32PLUS_NT_HEADERS_BYTES) ||
        std::memcmp(bytes.data() + stub.nt_offset, "PE\0\0", 4) != 0) {
        failure = "no PE header where e_lfanew points";
        return std::nullopt;
    }
    const uint8_t *nt = bytes.data() + stub.nt_offset;
    const uint16_t machine = ReadLe16(nt + PE_MACHINE);
    const uint16_t magic = ReadLe16(nt + OPT_MAGIC);
    size_t security;
    if (machine == PE_MACHINE_I386 && magic == 0x010B) {
        stub.arch = PeArch::X86;
        stub.nt_headers_bytes = PE32_NT_HEADERS_BYTES;
        security = SECURITY_DIRECTORY_PE32;
    } else if (machine == PE_MACHINE_AMD64 && magic == 0x020B) {
        stub.arch = PeArch::X64;
        stub.nt_headers_bytes = PE32PLUS_NT_HEADERS_BYTES;
        security = SECURITY_DIRECTORY_PE32PLUS;
    } else {
        failure = "neither an i386 PE32 nor an x86-64 PE32+ image";
        return std::nullopt;
    }
    stub.entry_point = ReadLe32(nt + PE_ENTRY_POINT);
    stub.certificate_offset = ReadLe32(nt + security);
    stub.certificate_bytes = ReadLe32(nt + security + 4);

    stub.stub_bytes = static_cast<uint32_t>(bytes.size());
    const uint16_t sections = ReadLe16(nt + NT_SECTION_COUNT);
    const size_t table = stub.nt_offset + OPT + ReadLe16(nt + NT_OPTIONAL_HEADER_BYTES);
    for (uint16_t index = 0; index < sections; index++) {
        const size_t at = table + size_t(index) * PE_SECTION_HEADER_BYTES;
        if (!Inside(bytes, at, PE_SECTION_HEADER_BYTES))
            break;
        if (std::memcmp(bytes.data() + at, TALVOK_SECTION, PE_SECTION_NAME_BYTES) == 0) {
            stub.has_talvok_section = true;
            stub.stub_bytes = ReadLe32(bytes.data() + at + SECTION_RAW_OFFSET);
        }
    }
    return stub;
}

std::optional<ParameterFacts> ReadParameters(const std::vector<uint8_t> &bytes)
{
    static const uint8_t marker[PARAMETER_MARKER_BYTES] = {PARAMETER_MARKER_INIT};
    ParameterFacts facts = {};
    bool found = false;
    for (auto at = bytes.begin();
         (at = std::search(at, bytes.end(), marker, marker + PARAMETER_MARKER_BYTES)) != bytes.end(); ++at) {
        if (facts.marker_count++ == 0)
            facts.offset = size_t(at - bytes.begin());
        found = true;
    }
    if (!found || !Inside(bytes, facts.offset, PARAMETER_BLOCK_BYTES))
        return std::nullopt;
    const uint8_t *block = bytes.data() + facts.offset;
    facts.crc = ReadLe32(block + PB_CRC);
    facts.first_local_header = ReadLe32(block + PB_FIRST_LOCAL_HEADER);
    facts.header = ReadLe32(block + PB_HEADER);
    facts.end_record = ReadLe32(block + PB_END_RECORD);
    facts.total_size = ReadLe32(block + PB_TOTAL_SIZE);
    facts.flags = ReadLe32(block + PB_FLAGS);
    facts.wait_name.assign(reinterpret_cast<const char *>(block + PB_WAIT_NAME),
                           strnlen(reinterpret_cast<const char *>(block + PB_WAIT_NAME), PB_WAIT_NAME_BYTES));
    facts.completion = ReadLe16(block + PB_COMPLETION);
    facts.entry_point = ReadLe32(block + PB_ENTRY_POINT);
    return facts;
}

std::optional<HeaderFacts> ReadHeader(const std::vector<uint8_t> &bytes, const ParameterFacts &parameters)
{
    if (parameters.header == 0)
        return std::nullopt;
    HeaderFacts header = {};
    if (parameters.first_local_header < parameters.header ||
        !Inside(bytes, parameters.header, parameters.first_local_header - parameters.header))
        return header;
    header.compressed_bytes = parameters.first_local_header - parameters.header;
    // The stub reads at most its work area's worth of the blob.
    const size_t blob_bytes = std::min(header.compressed_bytes, HEADER_COMPRESSED_MAX_BYTES);
    std::vector<uint8_t> unpacked;
    {
        StubDecoder decoder;
        header.decoded = decoder.DecodeHeader(bytes.data() + parameters.header, blob_bytes,
                                              HEADER_UNPACKED_MAX_BYTES, unpacked) == BlobResult::Decoded;
    }
    size_t at = 0;
    while (header.fields.size() < HEADER_FIELD_COUNT && at < unpacked.size()) {
        const size_t end = std::find(unpacked.begin() + at, unpacked.end(), 0) - unpacked.begin();
        if (end == unpacked.size())
            break;
        header.fields.emplace_back(reinterpret_cast<const char *>(unpacked.data() + at), end - at);
        at = end + 1;
    }
    header.unpacked_bytes = at;
    return header;
}

std::string Hex(size_t offset)
{
    char text[32];
    std::snprintf(text, sizeof text, "0x%zX", offset);
    return text;
}

// The walk of the stub's extraction run: local headers with their data
// (and a 16-byte descriptor after bit-3 members), the spanning marker,
// central headers, up to an end record.
void WalkArchive(const std::vector<uint8_t> &bytes, size_t first_local_header, ArchiveFacts &archive)
{
    size_t at = first_local_header;
    for (;;) {
        if (!Inside(bytes, at, ZIP_SIGNATURE_BYTES)) {
            archive.walk_failure = "the archive ends at " + Hex(at) + " before its end record";
            return;
        }
        if (SignatureAt(bytes, at, ZIP_LOCAL_HEADER_TAIL)) {
            if (!Inside(bytes, at, LOCAL_HEADER_BYTES)) {
                archive.walk_failure = "the local header at " + Hex(at) + " runs past the end of the file";
                return;
            }
            const uint8_t *header = bytes.data() + at;
            LocalRecord record = {};
            record.offset = at;
            record.version_needed = ReadLe16(header + LH_VERSION_NEEDED);
            record.flags = ReadLe16(header + LH_FLAGS);
            record.method = ReadLe16(header + LH_METHOD);
            record.dos_time = ReadLe16(header + LH_TIME);
            record.dos_date = ReadLe16(header + LH_DATE);
            record.crc = ReadLe32(header + LH_CRC);
            record.compressed_bytes = ReadLe32(header + LH_COMPRESSED_SIZE);
            record.uncompressed_bytes = ReadLe32(header + LH_UNCOMPRESSED_SIZE);
            const uint16_t name_bytes = ReadLe16(header + LH_NAME_LENGTH);
            const uint16_t extra_bytes = ReadLe16(header + LH_EXTRA_LENGTH);
            if (!Inside(bytes, at + LOCAL_HEADER_BYTES, name_bytes)) {
                archive.walk_failure = "the local header at " + Hex(at) + " runs past the end of the file";
                return;
            }
            record.name.assign(reinterpret_cast<const char *>(header + LOCAL_HEADER_BYTES), name_bytes);
            record.data_offset = at + LOCAL_HEADER_BYTES + name_bytes + extra_bytes;
            AeField field;
            if (record.method == ZIP_METHOD_AES && Inside(bytes, at + LOCAL_HEADER_BYTES + name_bytes, extra_bytes) &&
                FindAeField(header + LOCAL_HEADER_BYTES + name_bytes, extra_bytes, field)) {
                record.aes_strength = field.Strength;
                record.aes_version = field.Version;
                record.aes_method = field.Method;
            }
            record.data_inside = Inside(bytes, record.data_offset, record.compressed_bytes);
            archive.members.push_back(record);
            if (!record.data_inside) {
                archive.walk_failure = "member \"" + record.name + "\": its data runs past the end of the file";
                return;
            }
            at = record.data_offset + record.compressed_bytes;
            if (record.flags & ZIP_FLAG_DESCRIPTOR)
                at += DATA_DESCRIPTOR_BYTES;
        } else if (SignatureAt(bytes, at, ZIP_SPANNING_MARK_TAIL)) {
            at += ZIP_SIGNATURE_BYTES;
        } else if (SignatureAt(bytes, at, ZIP_CENTRAL_HEADER_TAIL)) {
            if (!Inside(bytes, at, CENTRAL_HEADER_BYTES)) {
                archive.walk_failure = "the central header at " + Hex(at) + " runs past the end of the file";
                return;
            }
            if (archive.first_central == 0)
                archive.first_central = at;
            const uint8_t *header = bytes.data() + at;
            at += CENTRAL_HEADER_BYTES + size_t(ReadLe16(header + CH_NAME_LENGTH)) +
                  ReadLe16(header + CH_EXTRA_LENGTH) + ReadLe16(header + CH_COMMENT_LENGTH);
        } else if (SignatureAt(bytes, at, ZIP_END_RECORD_TAIL) || SignatureAt(bytes, at, ZIP_DIGITAL_SIGNATURE_TAIL)) {
            archive.walk_end = at;
            return;
        } else {
            archive.walk_failure = "no record at " + Hex(at) + " where the walk expects one (the stub stops there)";
            return;
        }
    }
}

void ReadCentralDirectory(const std::vector<uint8_t> &bytes, size_t end_record, ArchiveFacts &archive)
{
    if (!SignatureAt(bytes, end_record, ZIP_END_RECORD_TAIL) || !Inside(bytes, end_record, END_RECORD_BYTES)) {
        archive.central_failure = "no end record at " + Hex(end_record);
        return;
    }
    const uint8_t *record = bytes.data() + end_record;
    archive.end_record_read = true;
    archive.stated_entries = ReadLe16(record + ER_ENTRIES_TOTAL);
    archive.stated_central_bytes = ReadLe32(record + ER_CENTRAL_SIZE);
    archive.stated_central_offset = ReadLe32(record + ER_CENTRAL_OFFSET);
    archive.end_comment_bytes = ReadLe16(record + ER_COMMENT_LENGTH);
    // An archive without members states its directory at 0 (zip_writer.h).
    size_t at = archive.stated_entries ? archive.stated_central_offset : end_record;
    for (uint16_t index = 0; index < archive.stated_entries; index++) {
        if (!SignatureAt(bytes, at, ZIP_CENTRAL_HEADER_TAIL) || !Inside(bytes, at, CENTRAL_HEADER_BYTES)) {
            archive.central_failure = "no central header at " + Hex(at) + " (entry " + std::to_string(index + 1) +
                                      " of " + std::to_string(archive.stated_entries) + ")";
            return;
        }
        const uint8_t *header = bytes.data() + at;
        CentralRecord central = {};
        central.offset = at;
        central.flags = ReadLe16(header + CH_FLAGS);
        central.method = ReadLe16(header + CH_METHOD);
        central.dos_time = ReadLe16(header + CH_TIME);
        central.dos_date = ReadLe16(header + CH_DATE);
        central.crc = ReadLe32(header + CH_CRC);
        central.compressed_bytes = ReadLe32(header + CH_COMPRESSED_SIZE);
        central.uncompressed_bytes = ReadLe32(header + CH_UNCOMPRESSED_SIZE);
        central.local_offset = ReadLe32(header + CH_LOCAL_HEADER_OFFSET);
        const uint16_t name_bytes = ReadLe16(header + CH_NAME_LENGTH);
        if (!Inside(bytes, at + CENTRAL_HEADER_BYTES, name_bytes)) {
            archive.central_failure = "the central header at " + Hex(at) + " runs past the end of the file";
            return;
        }
        central.name.assign(reinterpret_cast<const char *>(header + CENTRAL_HEADER_BYTES), name_bytes);
        archive.central.push_back(central);
        at += CENTRAL_HEADER_BYTES + size_t(name_bytes) + ReadLe16(header + CH_EXTRA_LENGTH) +
              ReadLe16(header + CH_COMMENT_LENGTH);
    }
}

}  // namespace

std::optional<size_t> FindTrailingEndRecord(const std::vector<uint8_t> &bytes, size_t limit)
{
    if (limit > bytes.size() || limit < END_RECORD_BYTES)
        return std::nullopt;
    const size_t lowest = limit > END_RECORD_BYTES + ZIP_COMMENT_MAX_BYTES ? limit - END_RECORD_BYTES - ZIP_COMMENT_MAX_BYTES : 0;
    for (size_t at = limit - END_RECORD_BYTES + 1; at-- > lowest;)
        if (IsZipSignature(bytes.data() + at, ZIP_END_RECORD_TAIL) &&
            ReadLe16(bytes.data() + at + ER_COMMENT_LENGTH) <= limit - at - END_RECORD_BYTES)
            return at;
    return std::nullopt;
}

InstallerFacts ReadInstaller(std::vector<uint8_t> bytes)
{
    InstallerFacts facts;
    facts.bytes = std::move(bytes);
    const std::vector<uint8_t> &image = facts.bytes;
    facts.stub = ReadStub(image, facts.stub_failure);
    facts.parameters = ReadParameters(image);
    if (!facts.parameters)
        return facts;
    facts.header = ReadHeader(image, *facts.parameters);
    WalkArchive(image, facts.parameters->first_local_header, facts.archive);
    const size_t end_record = facts.parameters->end_record ? facts.parameters->end_record : facts.archive.walk_end;
    ReadCentralDirectory(image, end_record, facts.archive);
    return facts;
}

const char *MethodText(uint16_t method)
{
    switch (method) {
    case ZIP_METHOD_STORED: return "stored";
    case ZIP_METHOD_DEFLATE: return "deflate";
    case ZIP_METHOD_DEFLATE64: return "deflate64";
    case ZIP_METHOD_LZMA: return "lzma";
    default: return "unknown";
    }
}
