// Scanning and re-basing an archive taken as it is (see verbatim_archive.h).
// Every read goes through Fits(), so that any bytes at all, a zip archive or
// not, scan without a read outside the buffer; what does not fit simply ends
// the walk that met it.
#include "verbatim_archive.h"

#include "archive/zip_records.h"
#include "portable/byte_order.h"
#include "zip_archive.h"

namespace {

// 1 when count_bytes bytes from offset lie inside archive.
[[nodiscard]] bool Fits(const std::vector<uint8_t> &archive, uint64_t offset, uint64_t count_bytes)
{
    return offset <= archive.size() && count_bytes <= archive.size() - offset;
}

// 1 when a whole record of record_bytes with that signature starts at offset.
[[nodiscard]] bool RecordAt(const std::vector<uint8_t> &archive, uint64_t offset, size_t record_bytes,
                            const uint8_t *tail)
{
    return Fits(archive, offset, record_bytes) && IsZipSignature(archive.data() + offset, tail);
}

// The last complete end record, scanning back from the end. A signature in
// the last 21 bytes starts no readable record and is passed over; so is
// nothing else (no comment length check: a damaged comment length is one of
// the things a verbatim archive may carry).
void FindEndRecord(const std::vector<uint8_t> &archive, VerbatimScan &scan)
{
    if (archive.size() < END_RECORD_BYTES)
        return;
    for (size_t at = archive.size() - END_RECORD_BYTES + 1; at-- > 0;)
        if (IsZipSignature(archive.data() + at, ZIP_END_RECORD_TAIL)) {
            scan.end_record_found = true;
            scan.end_record = at;
            return;
        }
}

// Central headers from the stated directory offset, as long as each parses
// and starts inside the stated directory. The directory counts as walked
// when the headers end exactly where it ends; the entry count in the end
// record is not consulted (a Zip64 archive marks it 0xFFFF).
void WalkCentralDirectory(const std::vector<uint8_t> &archive, VerbatimScan &scan, bool &walked,
                          uint64_t &total_bytes)
{
    const uint8_t *end_record = archive.data() + scan.end_record;
    const uint64_t central_offset = ReadLe32(end_record + ER_CENTRAL_OFFSET);
    const uint64_t central_end = central_offset + ReadLe32(end_record + ER_CENTRAL_SIZE);
    walked = false;
    total_bytes = 0;
    if (central_end > archive.size())
        return;
    scan.directory_inside = true;
    scan.central_directory = static_cast<uint32_t>(central_offset);

    uint64_t at = central_offset;
    while (at < central_end && RecordAt(archive, at, CENTRAL_HEADER_BYTES, ZIP_CENTRAL_HEADER_TAIL)) {
        const uint8_t *header = archive.data() + at;
        const uint64_t variable_bytes = uint64_t(ReadLe16(header + CH_NAME_LENGTH)) +
                                        ReadLe16(header + CH_EXTRA_LENGTH) + ReadLe16(header + CH_COMMENT_LENGTH);
        if (!Fits(archive, at + CENTRAL_HEADER_BYTES, variable_bytes))
            break;
        if (ReadLe32(header + CH_LOCAL_HEADER_OFFSET) < archive.size())
            scan.local_offset_fields.push_back(size_t(at + CH_LOCAL_HEADER_OFFSET));
        scan.encrypted = scan.encrypted || (ReadLe16(header + CH_FLAGS) & ZIP_FLAG_ENCRYPTED);
        total_bytes += ReadLe32(header + CH_UNCOMPRESSED_SIZE);
        scan.central_headers++;
        at += CENTRAL_HEADER_BYTES + variable_bytes;
    }
    walked = at == central_end;
}

// Local headers from the first byte, stepped over the way the stub steps:
// header, name, extra field, the compressed size, and 16 bytes more with
// bit 3 (its descriptor). A header counts when it and its name and extra
// field lie inside the file; its data need not.
void WalkLocalHeaders(const std::vector<uint8_t> &archive, VerbatimScan &scan, uint64_t &total_bytes)
{
    total_bytes = 0;
    uint64_t at = 0;
    while (RecordAt(archive, at, LOCAL_HEADER_BYTES, ZIP_LOCAL_HEADER_TAIL)) {
        const uint8_t *header = archive.data() + at;
        const uint64_t variable_bytes = uint64_t(ReadLe16(header + LH_NAME_LENGTH)) + ReadLe16(header + LH_EXTRA_LENGTH);
        if (!Fits(archive, at + LOCAL_HEADER_BYTES, variable_bytes))
            break;
        const uint16_t flags = ReadLe16(header + LH_FLAGS);
        scan.encrypted = scan.encrypted || (flags & ZIP_FLAG_ENCRYPTED);
        total_bytes += ReadLe32(header + LH_UNCOMPRESSED_SIZE);
        scan.local_headers++;
        at += LOCAL_HEADER_BYTES + variable_bytes + ReadLe32(header + LH_COMPRESSED_SIZE);
        if (flags & ZIP_FLAG_DESCRIPTOR)
            at += DATA_DESCRIPTOR_BYTES;
    }
}

}  // namespace

VerbatimScan ScanVerbatimArchive(const std::vector<uint8_t> &archive)
{
    VerbatimScan scan = {};
    FindEndRecord(archive, scan);
    bool central_walked = false;
    uint64_t central_total_bytes = 0;
    if (scan.end_record_found)
        WalkCentralDirectory(archive, scan, central_walked, central_total_bytes);
    uint64_t local_total_bytes = 0;
    WalkLocalHeaders(archive, scan, local_total_bytes);

    if (central_walked) {
        scan.total_from = TotalSizeSource::CentralDirectory;
        scan.total_bytes = central_total_bytes;
    } else if (scan.local_headers > 0) {
        scan.total_from = TotalSizeSource::LocalHeaders;
        scan.total_bytes = local_total_bytes;
    } else {
        scan.total_from = TotalSizeSource::None;
        scan.total_bytes = 0;
    }
    return scan;
}

void RebaseVerbatimArchive(std::vector<uint8_t> &archive, const VerbatimScan &scan, uint32_t base)
{
    if (!scan.directory_inside)
        return;
    uint8_t *central_offset = archive.data() + scan.end_record + ER_CENTRAL_OFFSET;
    WriteLe32(central_offset, ReadLe32(central_offset) + base);
    for (size_t field : scan.local_offset_fields)
        WriteLe32(archive.data() + field, ReadLe32(archive.data() + field) + base);
}
