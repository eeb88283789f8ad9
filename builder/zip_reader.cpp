// Zip reading through the central directory (see zip_reader.h). Every field
// is read through the bounds-checked cursor helpers below, so a damaged or
// hostile archive ends in a refusal, never in a read outside the file.
#include "zip_reader.h"

#include "archive/zip_records.h"
#include "build_error.h"
#include "member_name_check.h"
#include "text_encoding.h"
#include "extract/aes/ae_format.h"
#include "extract/lzma/lzma_decoder.h"
#include "portable/byte_order.h"

#include <algorithm>
#include <numeric>
#include <optional>

namespace {

constexpr uint32_t ZIP64_MARK_32 = 0xFFFFFFFF;

struct Reader {
    const std::vector<uint8_t> &bytes;
    const std::string &name;

    // Refuses unless count_bytes bytes from offset lie inside the file.
    const uint8_t *At(uint64_t offset, uint64_t count_bytes, const char *what) const
    {
        if (offset > bytes.size() || count_bytes > bytes.size() - offset)
            Refuse("%s: %s runs past the end of the file (damaged or truncated archive)", name.c_str(), what);
        return bytes.data() + offset;
    }
};

// The end of central directory record: the last one in the file whose
// comment fits before the end of the file (bytes after the comment are
// allowed, as zip tools allow them).
size_t FindEndRecord(const Reader &reader)
{
    const std::vector<uint8_t> &bytes = reader.bytes;
    if (bytes.size() < END_RECORD_BYTES)
        Refuse("%s: not a zip archive (too short for an end of central directory record)", reader.name.c_str());
    size_t lowest = bytes.size() > END_RECORD_BYTES + ZIP_COMMENT_MAX_BYTES
                        ? bytes.size() - END_RECORD_BYTES - ZIP_COMMENT_MAX_BYTES
                        : 0;
    std::optional<size_t> cut_short;  // the last end record whose comment runs past the end
    for (size_t at = bytes.size() - END_RECORD_BYTES + 1; at-- > lowest;) {
        if (!IsZipSignature(bytes.data() + at, ZIP_END_RECORD_TAIL))
            continue;
        if (ReadLe16(bytes.data() + at + ER_COMMENT_LENGTH) <= bytes.size() - at - END_RECORD_BYTES)
            return at;
        if (!cut_short)
            cut_short = at;
    }
    if (cut_short)
        Refuse("%s: truncated: the end of central directory record at 0x%zX announces a comment of %u bytes, but "
               "the file ends %zu bytes after the record",
               reader.name.c_str(), *cut_short, ReadLe16(bytes.data() + *cut_short + ER_COMMENT_LENGTH),
               bytes.size() - *cut_short - END_RECORD_BYTES);
    Refuse("%s: not a zip archive (no end of central directory record)", reader.name.c_str());
}

void CheckEndRecord(const Reader &reader, size_t end_offset)
{
    const uint8_t *record = reader.bytes.data() + end_offset;
    const char *name = reader.name.c_str();
    if (end_offset >= ZIP64_END_LOCATOR_BYTES &&
        IsZipSignature(record - ZIP64_END_LOCATOR_BYTES, ZIP64_END_LOCATOR_TAIL))
        Refuse("%s: a Zip64 archive; the extractor reads only 32-bit zip records", name);
    // Without a locator, 0xFFFF entries is a count like any other: 65535 is
    // also the most the writer puts in an installer.
    if (ReadLe32(record + ER_CENTRAL_SIZE) == ZIP64_MARK_32 ||
        ReadLe32(record + ER_CENTRAL_OFFSET) == ZIP64_MARK_32)
        Refuse("%s: a Zip64 archive; the extractor reads only 32-bit zip records", name);
    if (ReadLe16(record + ER_DISK) != 0 || ReadLe16(record + ER_CENTRAL_DISK) != 0 ||
        ReadLe16(record + ER_ENTRIES_ON_DISK) != ReadLe16(record + ER_ENTRIES_TOTAL))
        Refuse("%s: a spanned or split archive; join it into one file first", name);
}

// Copies an extra field without its Zip64 blocks, which hold nothing once
// every size and offset is known to fit 32 bits. A field that is not a clean
// sequence of blocks is kept as it is.
std::vector<uint8_t> WithoutZip64Blocks(const uint8_t *extra, size_t extra_bytes)
{
    std::vector<uint8_t> kept;
    size_t at = 0;
    while (at + 4 <= extra_bytes) {
        uint16_t id = ReadLe16(extra + at);
        size_t block_bytes = 4 + size_t(ReadLe16(extra + at + 2));
        if (at + block_bytes > extra_bytes)
            return std::vector<uint8_t>(extra, extra + extra_bytes);
        if (id != ZIP64_EXTRA_ID)
            kept.insert(kept.end(), extra + at, extra + at + block_bytes);
        at += block_bytes;
    }
    if (at != extra_bytes)
        return std::vector<uint8_t>(extra, extra + extra_bytes);
    return kept;
}

const char *MethodName(uint16_t method)
{
    switch (method) {
    case 1: return "shrink";
    case 2: case 3: case 4: case 5: return "reduce";
    case 6: return "implode";
    case 12: return "bzip2";
    case 14: return "LZMA";
    case 93: return "Zstandard";
    case 95: return "xz";
    case 98: return "PPMd";
    case 99: return "AES encryption";
    default: return "unknown";
    }
}

// An LZMA member's zip header against what the extractor's decoder takes:
// properties size 5, lc/lp/pb in range, a dictionary (the smaller of the
// stream's and the member's size) within its limit.
void CheckLzmaHeader(const Reader &reader, const ZipMember &member, const uint8_t *data)
{
    const char *name = reader.name.c_str();
    const char *member_name = member.name.c_str();
    if (member.compressed_bytes < LZMA_ZIP_HEADER_BYTES)
        Refuse("%s: LZMA member \"%s\" is shorter than its %u-byte header", name, member_name,
               unsigned(LZMA_ZIP_HEADER_BYTES));
    if (ReadLe16(data + 2) != LZMA_PROPERTIES_BYTES)
        Refuse("%s: LZMA member \"%s\" has properties of %u bytes; the extractor reads 5", name, member_name,
               unsigned(ReadLe16(data + 2)));
    if (data[4] >= LZMA_PROPERTIES_LIMIT)
        Refuse("%s: LZMA member \"%s\" has the lc/lp/pb byte %u, out of range", name, member_name,
               unsigned(data[4]));
    const uint32_t dictionary_bytes = std::min(ReadLe32(data + 5), member.uncompressed_bytes);
    if (dictionary_bytes > LZMA_DICTIONARY_LIMIT_BYTES)
        Refuse("%s: LZMA member \"%s\" needs a dictionary of %u bytes, over the extractor's limit of 64 MiB",
               name, member_name, dictionary_bytes);
}

// Checks one central entry's fields against what the extractor handles.
void CheckMember(const Reader &reader, const ZipMember &member, uint16_t disk_start, uint32_t local_offset)
{
    const char *name = reader.name.c_str();
    const char *member_name = member.name.c_str();
    if (member.compressed_bytes == ZIP64_MARK_32 || member.uncompressed_bytes == ZIP64_MARK_32 ||
        local_offset == ZIP64_MARK_32)
        Refuse("%s: member \"%s\" needs Zip64; the extractor reads only 32-bit zip records", name, member_name);
    if (disk_start != 0)
        Refuse("%s: member \"%s\" starts on disk %u: a spanned or split archive; join it into one file first",
               name, member_name, disk_start);
    if (member.name.empty())
        Refuse("%s: a member without a name", name);
    if (member.name.size() > ZIP_NAME_MAX_BYTES)
        Refuse("%s: a member name of %zu bytes (\"%.40s...\"), over the extractor's limit of %zu",
               name, member.name.size(), member_name, ZIP_NAME_MAX_BYTES);
    // An AES member (AE-1, AE-2) is read for its real method.
    uint16_t method = member.method;
    if (method == ZIP_METHOD_AES) {
        AeField field;
        if (!FindAeField(member.central_extra.data(), member.central_extra.size(), field))
            Refuse("%s: member \"%s\" uses method 99 (AES encryption) without a valid AE extra field (0x9901)",
                   name, member_name);
        if (!(member.flags & ZIP_FLAG_ENCRYPTED))
            Refuse("%s: AES member \"%s\" lacks the encryption flag", name, member_name);
        if (member.compressed_bytes < AeSaltBytes(field.Strength) + AE_VERIFIER_BYTES + AE_CODE_BYTES)
            Refuse("%s: AES member \"%s\" is shorter than its salt, verifier and authentication code", name,
                   member_name);
        method = field.Method;
    }
    if (method != ZIP_METHOD_STORED && method != ZIP_METHOD_DEFLATE && method != ZIP_METHOD_DEFLATE64 &&
        method != ZIP_METHOD_LZMA)
        Refuse("%s: member \"%s\" uses method %u (%s); the extractor handles stored, deflate, Deflate64 and LZMA "
               "only",
               name, member_name, method, MethodName(method));
    // The extractor takes a name ending in a separator for a folder and steps
    // over its data only when the unpacked size is 0; any other data would
    // be read as the next record.
    const char last = member.name.back();
    if ((last == '/' || last == '\\') && member.uncompressed_bytes != 0)
        Refuse("%s: folder entry \"%s\" carries %u bytes of data, which the extractor would not step over",
               name, member_name, member.uncompressed_bytes);
    if (member.flags & ZIP_FLAG_STRONG_ENCRYPTION)
        Refuse("%s: member \"%s\" uses strong encryption; the extractor handles traditional zip encryption only",
               name, member_name);
    if ((member.flags & ZIP_FLAG_ENCRYPTED) && member.compressed_bytes < ZIP_ENCRYPTION_HEADER_BYTES)
        Refuse("%s: encrypted member \"%s\" is shorter than its encryption header", name, member_name);
}

}  // namespace

ZipArchive ReadZipArchive(std::vector<uint8_t> bytes, const std::string &name, const AnsiCodepage &codepage)
{
    NameClashes clashes(codepage);
    if (bytes.size() >= 0x80000000u)
        Refuse("%s: 2 GiB or more; the installer's offsets are signed 32-bit values", name.c_str());
    const Reader reader{bytes, name};
    const size_t end_offset = FindEndRecord(reader);
    CheckEndRecord(reader, end_offset);
    const uint8_t *end_record = bytes.data() + end_offset;
    const uint16_t entry_count = ReadLe16(end_record + ER_ENTRIES_TOTAL);
    const uint32_t central_bytes = ReadLe32(end_record + ER_CENTRAL_SIZE);
    const uint32_t stated_central_offset = ReadLe32(end_record + ER_CENTRAL_OFFSET);
    if (central_bytes > end_offset)
        Refuse("%s: the central directory size is larger than the archive", name.c_str());
    // Where the directory really is: right before the end record. A difference
    // from the stated offset is data in front of the archive (another
    // self-extractor, say), and shifts every local header offset alike.
    const size_t central_offset = end_offset - central_bytes;
    const int64_t shift = int64_t(central_offset) - int64_t(stated_central_offset);

    ZipArchive archive;
    std::vector<size_t> local_offsets;
    size_t at = central_offset;
    for (uint16_t index = 0; index < entry_count; index++) {
        const uint8_t *central = reader.At(at, CENTRAL_HEADER_BYTES, "a central directory header");
        if (!IsZipSignature(central, ZIP_CENTRAL_HEADER_TAIL))
            Refuse("%s: central directory header %u has no signature (damaged archive)", name.c_str(), index + 1);
        ZipMember member = {};
        member.version_made_by = ReadLe16(central + CH_VERSION_MADE_BY);
        member.version_needed = ReadLe16(central + CH_VERSION_NEEDED);
        member.flags = ReadLe16(central + CH_FLAGS);
        member.method = ReadLe16(central + CH_METHOD);
        member.dos_time = ReadLe16(central + CH_TIME);
        member.dos_date = ReadLe16(central + CH_DATE);
        member.crc = ReadLe32(central + CH_CRC);
        member.compressed_bytes = ReadLe32(central + CH_COMPRESSED_SIZE);
        member.uncompressed_bytes = ReadLe32(central + CH_UNCOMPRESSED_SIZE);
        member.internal_attributes = ReadLe16(central + CH_INTERNAL_ATTRIBUTES);
        member.external_attributes = ReadLe32(central + CH_EXTERNAL_ATTRIBUTES);
        const uint16_t name_bytes = ReadLe16(central + CH_NAME_LENGTH);
        const uint16_t extra_bytes = ReadLe16(central + CH_EXTRA_LENGTH);
        const uint16_t comment_bytes = ReadLe16(central + CH_COMMENT_LENGTH);
        const uint32_t stated_local_offset = ReadLe32(central + CH_LOCAL_HEADER_OFFSET);
        const uint8_t *variable = reader.At(at + CENTRAL_HEADER_BYTES, size_t(name_bytes) + extra_bytes + comment_bytes,
                                            "a central directory header");
        member.name.assign(reinterpret_cast<const char *>(variable), name_bytes);
        member.central_extra = WithoutZip64Blocks(variable + name_bytes, extra_bytes);
        member.comment.assign(variable + name_bytes + extra_bytes, variable + name_bytes + extra_bytes + comment_bytes);
        CheckMember(reader, member, ReadLe16(central + CH_DISK_START), stated_local_offset);
        std::string fault = MemberNameFault(member.name, codepage);
        if (fault.empty())
            fault = clashes.Add(member.name);
        if (!fault.empty())
            Refuse("%s: member \"%s\": %s; the installer could not extract it as it is named", name.c_str(),
                   FromAnsi(member.name, codepage.Name()).c_str(), fault.c_str());
        at += CENTRAL_HEADER_BYTES + size_t(name_bytes) + extra_bytes + comment_bytes;

        const int64_t local_offset = int64_t(stated_local_offset) + shift;
        if (local_offset < 0)
            Refuse("%s: member \"%s\" has a local header offset before the start of the file", name.c_str(),
                   member.name.c_str());
        const uint8_t *local = reader.At(uint64_t(local_offset), LOCAL_HEADER_BYTES, "a local header");
        if (!IsZipSignature(local, ZIP_LOCAL_HEADER_TAIL))
            Refuse("%s: no local header where the directory puts member \"%s\" (damaged archive)", name.c_str(),
                   member.name.c_str());
        const uint16_t local_name_bytes = ReadLe16(local + LH_NAME_LENGTH);
        const uint16_t local_extra_bytes = ReadLe16(local + LH_EXTRA_LENGTH);
        const uint64_t local_extra_offset = uint64_t(local_offset) + LOCAL_HEADER_BYTES + local_name_bytes;
        const uint8_t *local_extra = reader.At(local_extra_offset, local_extra_bytes, "a local header");
        member.local_extra = WithoutZip64Blocks(local_extra, local_extra_bytes);
        member.data_offset = size_t(local_extra_offset + local_extra_bytes);
        // The extractor reads the AE field of the local header.
        AeField local_field, central_field;
        if (member.method == ZIP_METHOD_AES &&
            (!FindAeField(member.local_extra.data(), member.local_extra.size(), local_field) ||
             !FindAeField(member.central_extra.data(), member.central_extra.size(), central_field) ||
             local_field.Method != central_field.Method || local_field.Strength != central_field.Strength ||
             local_field.Version != central_field.Version))
            Refuse("%s: AES member \"%s\": its local header's AE extra field (0x9901) is missing or differs from "
                   "the central directory's", name.c_str(), member.name.c_str());
        const uint8_t *data = reader.At(member.data_offset, member.compressed_bytes, "member data");
        if (member.method == ZIP_METHOD_LZMA && !(member.flags & ZIP_FLAG_ENCRYPTED))
            CheckLzmaHeader(reader, member, data);

        if (!(member.flags & ZIP_FLAG_ENCRYPTED))
            member.flags &= static_cast<uint16_t>(~ZIP_FLAG_DESCRIPTOR);
        archive.members.push_back(std::move(member));
        local_offsets.push_back(size_t(local_offset));
    }

    // A writer without Zip64 that went past 65535 members counts them modulo
    // 65536 or stops at 0xFFFF: the headers beyond the count would be lost.
    if (at + ZIP_SIGNATURE_BYTES <= end_offset && IsZipSignature(bytes.data() + at, ZIP_CENTRAL_HEADER_TAIL))
        Refuse("%s: the central directory holds more members than the %u its end record counts: over the %zu a "
               "zip archive holds without Zip64",
               name.c_str(), entry_count, ZIP_ENTRIES_MAX);

    // Local headers in file order, as the extractor meets them; the central
    // directory keeps its own order.
    std::vector<size_t> file_order(archive.members.size());
    std::iota(file_order.begin(), file_order.end(), size_t(0));
    std::stable_sort(file_order.begin(), file_order.end(),
                     [&](size_t a, size_t b) { return local_offsets[a] < local_offsets[b]; });
    // Each member's local header and data end before the next member's
    // header, and the last before the central directory: entries that share
    // data (many directory entries on one member, a zip bomb's trick) would
    // each become a copy of it in the installer.
    for (size_t position = 0; position < file_order.size(); position++) {
        const ZipMember &member = archive.members[file_order[position]];
        const uint64_t data_end = uint64_t(member.data_offset) + member.compressed_bytes;
        const bool last = position + 1 == file_order.size();
        const uint64_t next = last ? central_offset : local_offsets[file_order[position + 1]];
        if (data_end > next)
            Refuse("%s: member \"%s\" (its header at 0x%zX, its data up to 0x%llX) overlaps %s at 0x%llX: members "
                   "whose data overlap",
                   name.c_str(), member.name.c_str(), local_offsets[file_order[position]],
                   static_cast<unsigned long long>(data_end),
                   last ? "the central directory"
                        : ("member \"" + archive.members[file_order[position + 1]].name + "\"").c_str(),
                   static_cast<unsigned long long>(next));
    }

    std::vector<ZipMember> sorted;
    archive.central_order.resize(file_order.size());
    for (size_t position = 0; position < file_order.size(); position++) {
        sorted.push_back(std::move(archive.members[file_order[position]]));
        archive.central_order[file_order[position]] = position;
    }
    archive.members = std::move(sorted);

    const uint16_t comment_bytes = ReadLe16(end_record + ER_COMMENT_LENGTH);
    archive.comment.assign(end_record + END_RECORD_BYTES, end_record + END_RECORD_BYTES + comment_bytes);
    archive.storage = std::move(bytes);
    return archive;
}
