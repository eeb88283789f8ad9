// Zip writing at absolute offsets (see zip_writer.h). One function per
// record, in the order they stand in the file.
#include "zip_writer.h"

#include "archive/zip_records.h"
#include "build_error.h"
#include "portable/byte_order.h"

namespace {

constexpr uint64_t OFFSET_LIMIT = 0x80000000u;  // the stub seeks with signed 32-bit offsets

// Appends count_bytes zero bytes and returns a pointer to them.
uint8_t *Grow(std::vector<uint8_t> &out, size_t count_bytes)
{
    size_t at = out.size();
    out.resize(at + count_bytes);
    return out.data() + at;
}

void Append(std::vector<uint8_t> &out, const void *bytes, size_t count_bytes)
{
    const uint8_t *first = static_cast<const uint8_t *>(bytes);
    out.insert(out.end(), first, first + count_bytes);
}

void WriteLocalHeader(std::vector<uint8_t> &out, const ZipMember &member)
{
    uint8_t *header = Grow(out, LOCAL_HEADER_BYTES);
    WriteZipSignature(header, ZIP_LOCAL_HEADER_TAIL);
    WriteLe16(header + LH_VERSION_NEEDED, member.version_needed);
    WriteLe16(header + LH_FLAGS, member.flags);
    WriteLe16(header + LH_METHOD, member.method);
    WriteLe16(header + LH_TIME, member.dos_time);
    WriteLe16(header + LH_DATE, member.dos_date);
    WriteLe32(header + LH_CRC, member.crc);
    WriteLe32(header + LH_COMPRESSED_SIZE, member.compressed_bytes);
    WriteLe32(header + LH_UNCOMPRESSED_SIZE, member.uncompressed_bytes);
    WriteLe16(header + LH_NAME_LENGTH, static_cast<uint16_t>(member.name.size()));
    WriteLe16(header + LH_EXTRA_LENGTH, static_cast<uint16_t>(member.local_extra.size()));
    Append(out, member.name.data(), member.name.size());
    Append(out, member.local_extra.data(), member.local_extra.size());
}

void WriteDataDescriptor(std::vector<uint8_t> &out, const ZipMember &member)
{
    uint8_t *descriptor = Grow(out, DATA_DESCRIPTOR_BYTES);
    WriteZipSignature(descriptor, ZIP_DATA_DESCRIPTOR_TAIL);
    WriteLe32(descriptor + DD_CRC, member.crc);
    WriteLe32(descriptor + DD_COMPRESSED_SIZE, member.compressed_bytes);
    WriteLe32(descriptor + DD_UNCOMPRESSED_SIZE, member.uncompressed_bytes);
}

void WriteCentralHeader(std::vector<uint8_t> &out, const ZipMember &member, uint32_t local_offset)
{
    uint8_t *header = Grow(out, CENTRAL_HEADER_BYTES);
    WriteZipSignature(header, ZIP_CENTRAL_HEADER_TAIL);
    WriteLe16(header + CH_VERSION_MADE_BY, member.version_made_by);
    WriteLe16(header + CH_VERSION_NEEDED, member.version_needed);
    WriteLe16(header + CH_FLAGS, member.flags);
    WriteLe16(header + CH_METHOD, member.method);
    WriteLe16(header + CH_TIME, member.dos_time);
    WriteLe16(header + CH_DATE, member.dos_date);
    WriteLe32(header + CH_CRC, member.crc);
    WriteLe32(header + CH_COMPRESSED_SIZE, member.compressed_bytes);
    WriteLe32(header + CH_UNCOMPRESSED_SIZE, member.uncompressed_bytes);
    WriteLe16(header + CH_NAME_LENGTH, static_cast<uint16_t>(member.name.size()));
    WriteLe16(header + CH_EXTRA_LENGTH, static_cast<uint16_t>(member.central_extra.size()));
    WriteLe16(header + CH_COMMENT_LENGTH, static_cast<uint16_t>(member.comment.size()));
    WriteLe16(header + CH_DISK_START, 0);
    WriteLe16(header + CH_INTERNAL_ATTRIBUTES, member.internal_attributes);
    WriteLe32(header + CH_EXTERNAL_ATTRIBUTES, member.external_attributes);
    WriteLe32(header + CH_LOCAL_HEADER_OFFSET, local_offset);
    Append(out, member.name.data(), member.name.size());
    Append(out, member.central_extra.data(), member.central_extra.size());
    Append(out, member.comment.data(), member.comment.size());
}

void WriteEndRecord(std::vector<uint8_t> &out, uint16_t entry_count, uint32_t central_offset,
                    uint32_t central_bytes, const std::vector<uint8_t> &comment, uint32_t padding_bytes)
{
    uint8_t *record = Grow(out, END_RECORD_BYTES);
    WriteZipSignature(record, ZIP_END_RECORD_TAIL);
    WriteLe16(record + ER_DISK, 0);
    WriteLe16(record + ER_CENTRAL_DISK, 0);
    WriteLe16(record + ER_ENTRIES_ON_DISK, entry_count);
    WriteLe16(record + ER_ENTRIES_TOTAL, entry_count);
    WriteLe32(record + ER_CENTRAL_SIZE, central_bytes);
    WriteLe32(record + ER_CENTRAL_OFFSET, central_offset);
    WriteLe16(record + ER_COMMENT_LENGTH, static_cast<uint16_t>(comment.size() + padding_bytes));
    Append(out, comment.data(), comment.size());
    Grow(out, padding_bytes);
}

void CheckOffset(uint64_t offset)
{
    if (offset >= OFFSET_LIMIT)
        Refuse("the installer would reach 2 GiB; offsets in it are signed 32-bit values");
}

// The bytes WriteRecords() writes without padding.
uint64_t RecordBytes(const ZipArchive &archive)
{
    uint64_t total = END_RECORD_BYTES + archive.comment.size();
    for (const ZipMember &member : archive.members) {
        total += LOCAL_HEADER_BYTES + member.name.size() + member.local_extra.size() + member.compressed_bytes;
        total += (member.flags & ZIP_FLAG_DESCRIPTOR) ? DATA_DESCRIPTOR_BYTES : 0;
        total += CENTRAL_HEADER_BYTES + member.name.size() + member.central_extra.size() + member.comment.size();
    }
    return total;
}

// The archive's records at base with comment_padding_bytes of zeros after
// its comment.
std::vector<uint8_t> WriteRecords(const ZipArchive &archive, uint32_t base, uint32_t comment_padding_bytes,
                                  ZipWriteLayout *layout)
{
    std::vector<uint8_t> out;
    std::vector<uint32_t> local_offsets(archive.members.size());
    for (size_t index = 0; index < archive.members.size(); index++) {
        const ZipMember &member = archive.members[index];
        local_offsets[index] = base + static_cast<uint32_t>(out.size());
        WriteLocalHeader(out, member);
        Append(out, archive.storage.data() + member.data_offset, member.compressed_bytes);
        if (member.flags & ZIP_FLAG_DESCRIPTOR)
            WriteDataDescriptor(out, member);
        CheckOffset(uint64_t(base) + out.size());
    }

    // An empty archive states its directory at offset 0: with no local header
    // to recognise, zip tools take end record - directory size - directory
    // offset as the archive's start, and only 0 makes that the end record
    // itself (an absolute offset here makes them see a damaged archive). The
    // stub reads no field of the end record.
    const uint32_t central_offset = base + static_cast<uint32_t>(out.size());
    const uint32_t stated_central_offset = archive.members.empty() ? 0 : central_offset;
    if (archive.central_order.size() != archive.members.size())
        Refuse("internal: central directory order does not list every member");
    for (size_t index : archive.central_order)
        WriteCentralHeader(out, archive.members[index], local_offsets[index]);
    const uint32_t central_bytes = base + static_cast<uint32_t>(out.size()) - central_offset;

    const uint32_t end_offset = base + static_cast<uint32_t>(out.size());
    CheckOffset(uint64_t(end_offset) + END_RECORD_BYTES + archive.comment.size() + comment_padding_bytes);
    WriteEndRecord(out, static_cast<uint16_t>(archive.members.size()), stated_central_offset, central_bytes,
                   archive.comment, comment_padding_bytes);
    *layout = ZipWriteLayout{base, central_offset, end_offset, comment_padding_bytes, 0};
    return out;
}

}  // namespace

std::vector<uint8_t> WriteZip(const ZipArchive &archive, uint32_t base, uint32_t end_alignment,
                              ZipWriteLayout *layout)
{
    if (archive.members.size() > ZIP_ENTRIES_MAX)
        Refuse("%zu members, over the %zu a zip archive holds without Zip64", archive.members.size(),
               ZIP_ENTRIES_MAX);
    if (archive.comment.size() > ZIP_COMMENT_MAX_BYTES)
        Refuse("an archive comment of %zu bytes, over the %zu a zip end record holds", archive.comment.size(),
               ZIP_COMMENT_MAX_BYTES);

    ZipWriteLayout written;
    const uint64_t unpadded_end = uint64_t(base) + RecordBytes(archive);
    const uint64_t padded_end = (unpadded_end + end_alignment - 1) / end_alignment * end_alignment;
    CheckOffset(padded_end);
    const uint32_t padding_bytes = static_cast<uint32_t>(padded_end - unpadded_end);
    std::vector<uint8_t> out;
    if (archive.comment.size() + padding_bytes <= ZIP_COMMENT_MAX_BYTES) {
        out = WriteRecords(archive, base, padding_bytes, &written);
    } else {
        // The comment is (nearly) as long as the format allows: the zeros go
        // in front of the archive instead, every offset moved past them.
        std::vector<uint8_t> records = WriteRecords(archive, base + padding_bytes, 0, &written);
        out.assign(padding_bytes, 0);
        out.insert(out.end(), records.begin(), records.end());
        written.lead_padding_bytes = padding_bytes;
    }
    if (layout)
        *layout = written;
    return out;
}
