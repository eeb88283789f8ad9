// Member encryption (see member_encryption.h).
#include "member_encryption.h"

#include "archive/zip_records.h"
#include "build_error.h"
#include "extract/crc32.h"
#include "extract/crypt/zip_cipher.h"

namespace {

constexpr uint16_t VERSION_ENCRYPTION = 20;  // traditional encryption needs format 2.0
constexpr uint64_t STORAGE_LIMIT = 0x7FFFFFFF;

bool IsFolderEntry(const ZipMember &member)
{
    return !member.name.empty() && (member.name.back() == '/' || member.name.back() == '\\') &&
           member.compressed_bytes == 0;
}

// Appends plain to out encrypted with the keys as they stand.
void AppendEncrypted(std::vector<uint8_t> &out, const uint8_t *plain, size_t count_bytes)
{
    const size_t at = out.size();
    out.resize(at + count_bytes);
    for (size_t index = 0; index < count_bytes; index++) {
        out[at + index] = plain[index] ^ KeystreamByte();
        UpdateKeys(plain[index]);
    }
}

}  // namespace

void EncryptArchive(ZipArchive &archive, const std::string &password, RandomSource &random)
{
    for (const ZipMember &member : archive.members)
        if (member.flags & ZIP_FLAG_ENCRYPTED)
            Refuse("--password: member \"%s\" is encrypted already; build from the archive without --password",
                   member.name.c_str());
    BuildCrcTable();
    std::vector<uint8_t> storage;
    storage.reserve(archive.storage.size() + archive.members.size() * ZIP_ENCRYPTION_HEADER_BYTES);
    for (ZipMember &member : archive.members) {
        const uint8_t *data = archive.storage.data() + member.data_offset;
        member.data_offset = storage.size();
        if (IsFolderEntry(member))
            continue;
        uint8_t header[ZIP_ENCRYPTION_HEADER_BYTES];
        random.Fill(header, ZIP_ENCRYPTION_HEADER_BYTES - 1);
        header[ZIP_ENCRYPTION_HEADER_BYTES - 1] = (member.flags & ZIP_FLAG_DESCRIPTOR)
                                                      ? static_cast<uint8_t>(member.dos_time >> 8)
                                                      : static_cast<uint8_t>(member.crc >> 24);
        InitKeys(password.c_str());
        AppendEncrypted(storage, header, ZIP_ENCRYPTION_HEADER_BYTES);
        AppendEncrypted(storage, data, member.compressed_bytes);
        if (storage.size() > STORAGE_LIMIT)
            Refuse("--password: the archive reaches 2 GiB at member \"%s\"", member.name.c_str());
        member.compressed_bytes += ZIP_ENCRYPTION_HEADER_BYTES;
        member.flags |= ZIP_FLAG_ENCRYPTED;
        if ((member.version_needed & 0xFF) < VERSION_ENCRYPTION)  // the high byte names a host
            member.version_needed = static_cast<uint16_t>((member.version_needed & 0xFF00) | VERSION_ENCRYPTION);
    }
    archive.storage = std::move(storage);
}
