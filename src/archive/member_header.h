// The zip records as the extraction run meets them in file order: a local
// header and what follows it (name, extra field, data, descriptor), a central
// header, the end record. Only the local header's values are used; the
// central directory is stepped over, never compared.
#pragma once

#include <cstdint>

#include "startup/run_state.h"

// The current member, rebuilt from each local header.
struct CurrentMemberFields {
    uint8_t VersionLow, VersionHigh;
    uint16_t Flags;             // bit 0 encrypted, bit 1 LZMA end marker, bit 3 a data descriptor follows
    uint16_t Method;            // 0 stored, 8 deflate, 9 Deflate64, 14 LZMA; an AES member's real one
    uint16_t Time, Date;        // DOS format, local time
    uint32_t Crc;
    uint32_t CompressedBytes;   // data bytes, encryption header included
    uint32_t UncompressedBytes;
    uint16_t NameBytes, ExtraBytes;
    uint8_t DescriptorFollows;  // flag bit 3: 16 bytes after the data are stepped over
    uint8_t AesStrength;        // 1..3 for an AES member (AES-128/192/256), else 0
    uint16_t AesVersion;        // AE-1 or AE-2 for an AES member
};
extern CurrentMemberFields CurrentMember;

// The stored name of the current member, NUL-terminated, bytes as stored;
// turned in place into the output path of a file entry.
extern char MemberPath[PATH_BUFFER_BYTES];

// After a local header's signature: reads the header, name and extra field,
// extracts the member or steps over it, and leaves the archive at the next
// record. Ends the run on every failure.
void ProcessMember();

// After a central header's signature: steps over the entry.
void SkipCentralEntry();

// After an end record's (or a digital signature's) signature: steps over the
// record and its comment.
void SkipEndRecord();
