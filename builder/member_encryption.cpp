// Member encryption (see member_encryption.h).
#include "member_encryption.h"

#include "ae_crypto.h"
#include "archive/zip_records.h"
#include "build_error.h"
#include "extract/crc32.h"
#include "extract/aes/ae_format.h"
#include "extract/crypt/zip_cipher.h"

namespace {

constexpr uint16_t VERSION_ENCRYPTION = 20;  // traditional encryption needs format 2.0
constexpr uint16_t VERSION_AES = 51;         // AES members need format 5.1
constexpr uint8_t AES_256_STRENGTH = 3;
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

void RefuseEncrypted(const ZipArchive &archive)
{
    for (const ZipMember &member : archive.members)
        if (member.flags & ZIP_FLAG_ENCRYPTED)
            Refuse("--password: member \"%s\" is encrypted already; build from the archive without --password",
                   member.name.c_str());
}

void SetVersionNeeded(ZipMember &member, uint16_t version)
{
    if ((member.version_needed & 0xFF) < version)  // the high byte names a host
        member.version_needed = static_cast<uint16_t>((member.version_needed & 0xFF00) | version);
}

void AppendAeField(std::vector<uint8_t> &extra, uint16_t method)
{
    const uint8_t field[4 + AE_EXTRA_DATA_BYTES] = {uint8_t(AE_EXTRA_ID), uint8_t(AE_EXTRA_ID >> 8),
                                                    AE_EXTRA_DATA_BYTES, 0, uint8_t(AE_VERSION_2), 0, 'A', 'E',
                                                    AES_256_STRENGTH, uint8_t(method), uint8_t(method >> 8)};
    extra.insert(extra.end(), field, field + sizeof field);
}

}  // namespace

void EncryptArchive(ZipArchive &archive, const std::string &password, RandomSource &random)
{
    RefuseEncrypted(archive);
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
        SetVersionNeeded(member, VERSION_ENCRYPTION);
    }
    archive.storage = std::move(storage);
}

void EncryptArchiveAes(ZipArchive &archive, const std::string &password, RandomSource &random)
{
    RefuseEncrypted(archive);
    const size_t key_bytes = AeKeyBytes(AES_256_STRENGTH), salt_bytes = AeSaltBytes(AES_256_STRENGTH);
    const size_t added_bytes = salt_bytes + AE_VERIFIER_BYTES + AE_CODE_BYTES;
    std::vector<uint8_t> storage;
    storage.reserve(archive.storage.size() + archive.members.size() * added_bytes);
    AeCounterState counter;
    for (ZipMember &member : archive.members) {
        const uint8_t *data = archive.storage.data() + member.data_offset;
        member.data_offset = storage.size();
        if (IsFolderEntry(member))
            continue;
        if (storage.size() + member.compressed_bytes + added_bytes > STORAGE_LIMIT)
            Refuse("--password: the archive reaches 2 GiB at member \"%s\"", member.name.c_str());
        uint8_t salt[AE_MAX_SALT_BYTES];
        random.Fill(salt, salt_bytes);
        uint8_t keys[AE_DERIVED_MAX_BYTES];
        DeriveAeKeys(password, salt, salt_bytes, keys, 2 * key_bytes + AE_VERIFIER_BYTES);
        storage.insert(storage.end(), salt, salt + salt_bytes);
        storage.insert(storage.end(), keys + 2 * key_bytes, keys + 2 * key_bytes + AE_VERIFIER_BYTES);
        const size_t at = storage.size();
        storage.insert(storage.end(), data, data + member.compressed_bytes);
        SetAeKey(keys, key_bytes);
        ResetAeCounter(counter);
        if (ApplyAeCounter(counter, storage.data() + at, member.compressed_bytes, AeEncryptBlocks))
            Refuse("--password: AES encryption failed at member \"%s\"", member.name.c_str());
        const std::array<uint8_t, 20> code = HmacSha1(keys + key_bytes, key_bytes, storage.data() + at,
                                                      member.compressed_bytes);
        storage.insert(storage.end(), code.begin(), code.begin() + AE_CODE_BYTES);
        member.compressed_bytes += static_cast<uint32_t>(added_bytes);
        member.flags |= ZIP_FLAG_ENCRYPTED;
        AppendAeField(member.local_extra, member.method);
        AppendAeField(member.central_extra, member.method);
        member.method = ZIP_METHOD_AES;
        member.crc = 0;
        SetVersionNeeded(member, VERSION_AES);
    }
    archive.storage = std::move(storage);
}
