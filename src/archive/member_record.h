// MemberRecord: the current member's sizes, CRC and encryption as the
// extraction and the cipher read them. Cleared for every member, and once at
// start-up with its encrypted bit preset from the archive's "encrypted"
// option so that the password is asked for before the first member is read;
// both through ResetMemberRecord.
#pragma once

#include <cstdint>

struct MemberRecordFields {
    uint8_t first[8];            // cleared only
    uint64_t compressed_bytes;
    uint64_t uncompressed_bytes;
    uint32_t crc32;
    uint8_t further[12];         // cleared only
    uint32_t flags;              // bit 0: the member is encrypted
    uint16_t aes_method;         // real method of an AES member (its 0x9901 extra field)
};

constexpr uint32_t MEMBER_ENCRYPTED = 1u << 0;
constexpr uint32_t MEMBER_AES = 1u << 1;  // AES data is being read: the refill decrypts it

extern MemberRecordFields MemberRecord;

// Clears every field of MemberRecord, then sets flags to MEMBER_ENCRYPTED when
// encrypted and to 0 otherwise. Start-up passes the archive's "encrypted"
// option, so that the password is asked for before the first member is
// read; each member's local header passes the member's own encryption bit.
void ResetMemberRecord(bool encrypted);
