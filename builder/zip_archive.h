// The archive as the builder holds it between reading (from a zip file or a
// folder) and writing: one record per member with every header field the
// writer needs, and the members' compressed data in one buffer.
//
// Invariants kept by both producers (ReadZipArchive, ZipFolder): every size,
// CRC and offset fits 32 bits without Zip64; names are at most
// ZIP_NAME_MAX_BYTES; methods are stored, deflate, Deflate64 or LZMA; and
// ZIP_FLAG_DESCRIPTOR is set only where the writer must write a descriptor
// (see zip_writer.h).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct ZipMember {
    std::string name;                  // stored bytes, '/'-separated
    uint16_t version_made_by;
    uint16_t version_needed;
    uint16_t flags;                    // ZIP_FLAG_*
    uint16_t method;                   // ZIP_METHOD_*
    uint16_t dos_time;
    uint16_t dos_date;
    uint32_t crc;                      // of the uncompressed data
    uint32_t compressed_bytes;         // encryption header included
    uint32_t uncompressed_bytes;
    uint16_t internal_attributes;
    uint32_t external_attributes;
    std::vector<uint8_t> local_extra;
    std::vector<uint8_t> central_extra;
    std::vector<uint8_t> comment;
    size_t data_offset;                // of the compressed data in ZipArchive::storage
};

struct ZipArchive {
    std::vector<ZipMember> members;    // in the order of their local headers
    std::vector<size_t> central_order; // member indices in central directory order
    std::vector<uint8_t> comment;      // the archive comment
    std::vector<uint8_t> storage;      // compressed data of all members
};

// Sum of the members' uncompressed sizes (64-bit: the caller checks the fit).
uint64_t TotalUncompressedBytes(const ZipArchive &archive);

// True when any member is encrypted.
bool HasEncryptedMember(const ZipArchive &archive);

// Writes the 4 bytes of a signature: ZIP_SIGNATURE_LEAD, then its tail.
void WriteZipSignature(uint8_t *destination, const uint8_t *tail);
// 1 when the 4 bytes at bytes are that signature, else 0.
[[nodiscard]] bool IsZipSignature(const uint8_t *bytes, const uint8_t *tail);
