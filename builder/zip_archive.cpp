// Small helpers over ZipArchive (see zip_archive.h).
#include "zip_archive.h"

#include "archive/zip_records.h"

#include <cstring>

uint64_t TotalUncompressedBytes(const ZipArchive &archive)
{
    uint64_t total = 0;
    for (const ZipMember &member : archive.members)
        total += member.uncompressed_bytes;
    return total;
}

bool HasEncryptedMember(const ZipArchive &archive)
{
    for (const ZipMember &member : archive.members)
        if (member.flags & ZIP_FLAG_ENCRYPTED)
            return true;
    return false;
}

void WriteZipSignature(uint8_t *destination, const uint8_t *tail)
{
    destination[0] = ZIP_SIGNATURE_LEAD;
    std::memcpy(destination + 1, tail, ZIP_SIGNATURE_TAIL_BYTES);
}

bool IsZipSignature(const uint8_t *bytes, const uint8_t *tail)
{
    return bytes[0] == ZIP_SIGNATURE_LEAD && std::memcmp(bytes + 1, tail, ZIP_SIGNATURE_TAIL_BYTES) == 0;
}
