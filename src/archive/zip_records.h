// Layout of the zip records as this system reads and writes them: the local
// file header, the data descriptor, the central file header and the end of
// central directory record. Little-endian throughout; every field offset
// counts from the record's first byte (its signature), so a reader that has
// already consumed the 4 signature bytes subtracts ZIP_SIGNATURE_BYTES.
//
// Signatures are given as their 3-byte tails only. The stub must not carry a
// complete signature anywhere in its own bytes (a zip tool scanning the file
// could take it for a record), so it assembles each one at run time by
// writing ZIP_SIGNATURE_LEAD in front of the tail. The builder does the same.
//
// Portable: shared by the stub's archive reader and the builder, never copied.
#pragma once

#include <cstddef>
#include <cstdint>

constexpr size_t ZIP_SIGNATURE_BYTES = 4;
constexpr size_t ZIP_SIGNATURE_TAIL_BYTES = 3;
constexpr uint8_t ZIP_SIGNATURE_LEAD = 'P';
constexpr uint8_t ZIP_LOCAL_HEADER_TAIL[ZIP_SIGNATURE_TAIL_BYTES] = {'K', 0x03, 0x04};
constexpr uint8_t ZIP_CENTRAL_HEADER_TAIL[ZIP_SIGNATURE_TAIL_BYTES] = {'K', 0x01, 0x02};
constexpr uint8_t ZIP_END_RECORD_TAIL[ZIP_SIGNATURE_TAIL_BYTES] = {'K', 0x05, 0x06};
constexpr uint8_t ZIP_DIGITAL_SIGNATURE_TAIL[ZIP_SIGNATURE_TAIL_BYTES] = {'K', 0x05, 0x05};
constexpr uint8_t ZIP_SPANNING_MARK_TAIL[ZIP_SIGNATURE_TAIL_BYTES] = {'K', '0', '0'};
// Also the spanning marker at the start of a split archive's first disk.
constexpr uint8_t ZIP_DATA_DESCRIPTOR_TAIL[ZIP_SIGNATURE_TAIL_BYTES] = {'K', 0x07, 0x08};
// Zip64 records, which this system never reads: the builder only detects them.
constexpr uint8_t ZIP64_END_RECORD_TAIL[ZIP_SIGNATURE_TAIL_BYTES] = {'K', 0x06, 0x06};
constexpr uint8_t ZIP64_END_LOCATOR_TAIL[ZIP_SIGNATURE_TAIL_BYTES] = {'K', 0x06, 0x07};

// Local file header: 30 bytes, then the name and the extra field.
constexpr size_t LOCAL_HEADER_BYTES = 30;
constexpr size_t LH_VERSION_NEEDED = 4;      // 2: low byte version, high byte host
constexpr size_t LH_FLAGS = 6;               // 2: general-purpose flags, ZIP_FLAG_*
constexpr size_t LH_METHOD = 8;              // 2: ZIP_METHOD_*
constexpr size_t LH_TIME = 10;               // 2: DOS time
constexpr size_t LH_DATE = 12;               // 2: DOS date
constexpr size_t LH_CRC = 14;                // 4: CRC-32 of the uncompressed data
constexpr size_t LH_COMPRESSED_SIZE = 18;    // 4: data bytes, encryption header included
constexpr size_t LH_UNCOMPRESSED_SIZE = 22;  // 4
constexpr size_t LH_NAME_LENGTH = 26;        // 2
constexpr size_t LH_EXTRA_LENGTH = 28;       // 2
static_assert(LH_EXTRA_LENGTH + 2 == LOCAL_HEADER_BYTES, "name follows the extra length");

// Data descriptor after a member's data when ZIP_FLAG_DESCRIPTOR is set. The
// extractor steps over exactly this many bytes whatever the descriptor's real
// form (with or without signature, 4- or 8-byte sizes), so the builder writes
// only this form: signature, CRC, compressed size, uncompressed size.
constexpr size_t DATA_DESCRIPTOR_BYTES = 16;
constexpr size_t DD_CRC = 4;
constexpr size_t DD_COMPRESSED_SIZE = 8;
constexpr size_t DD_UNCOMPRESSED_SIZE = 12;
static_assert(DD_UNCOMPRESSED_SIZE + 4 == DATA_DESCRIPTOR_BYTES, "descriptor with signature");

// Central file header: 46 bytes, then the name, the extra field and the comment.
constexpr size_t CENTRAL_HEADER_BYTES = 46;
constexpr size_t CH_VERSION_MADE_BY = 4;         // 2
constexpr size_t CH_VERSION_NEEDED = 6;          // 2
constexpr size_t CH_FLAGS = 8;                   // 2
constexpr size_t CH_METHOD = 10;                 // 2
constexpr size_t CH_TIME = 12;                   // 2
constexpr size_t CH_DATE = 14;                   // 2
constexpr size_t CH_CRC = 16;                    // 4
constexpr size_t CH_COMPRESSED_SIZE = 20;        // 4
constexpr size_t CH_UNCOMPRESSED_SIZE = 24;      // 4
constexpr size_t CH_NAME_LENGTH = 28;            // 2
constexpr size_t CH_EXTRA_LENGTH = 30;           // 2
constexpr size_t CH_COMMENT_LENGTH = 32;         // 2
constexpr size_t CH_DISK_START = 34;             // 2
constexpr size_t CH_INTERNAL_ATTRIBUTES = 36;    // 2
constexpr size_t CH_EXTERNAL_ATTRIBUTES = 38;    // 4
constexpr size_t CH_LOCAL_HEADER_OFFSET = 42;    // 4
static_assert(CH_LOCAL_HEADER_OFFSET + 4 == CENTRAL_HEADER_BYTES, "name follows the offset");

// End of central directory record: 22 bytes, then the comment. A digital
// signature record is read with the same layout.
constexpr size_t END_RECORD_BYTES = 22;
constexpr size_t ER_DISK = 4;                    // 2: number of this disk
constexpr size_t ER_CENTRAL_DISK = 6;            // 2: disk where the directory starts
constexpr size_t ER_ENTRIES_ON_DISK = 8;         // 2
constexpr size_t ER_ENTRIES_TOTAL = 10;          // 2
constexpr size_t ER_CENTRAL_SIZE = 12;           // 4: bytes of the central directory
constexpr size_t ER_CENTRAL_OFFSET = 16;         // 4
constexpr size_t ER_COMMENT_LENGTH = 20;         // 2
static_assert(ER_COMMENT_LENGTH + 2 == END_RECORD_BYTES, "comment follows its length");
constexpr size_t ZIP_COMMENT_MAX_BYTES = 0xFFFF;
// The most members the end record's 16-bit counts hold (without Zip64).
constexpr size_t ZIP_ENTRIES_MAX = 0xFFFF;

// Zip64 end-of-directory locator, 20 bytes right before the end record.
constexpr size_t ZIP64_END_LOCATOR_BYTES = 20;

// Stored names longer than this are refused by the extractor (its name
// buffers hold 260 bytes and the NUL).
constexpr size_t ZIP_NAME_MAX_BYTES = 260;

// General-purpose flag bits.
constexpr uint16_t ZIP_FLAG_ENCRYPTED = 1u << 0;          // traditional encryption
constexpr uint16_t ZIP_FLAG_LZMA_END_MARKER = 1u << 1;    // method 14: the stream ends with its end marker
constexpr uint16_t ZIP_FLAG_DESCRIPTOR = 1u << 3;         // a data descriptor follows the data
constexpr uint16_t ZIP_FLAG_STRONG_ENCRYPTION = 1u << 6;  // not supported
constexpr uint16_t ZIP_FLAG_UTF8 = 1u << 11;              // ignored: names are ANSI bytes

// Compression methods the extractor handles; anything else is refused.
constexpr uint16_t ZIP_METHOD_STORED = 0;
constexpr uint16_t ZIP_METHOD_DEFLATE = 8;
constexpr uint16_t ZIP_METHOD_DEFLATE64 = 9;
constexpr uint16_t ZIP_METHOD_LZMA = 14;

// Traditional encryption: 12 header bytes at the start of the member's data,
// counted in its compressed size.
constexpr size_t ZIP_ENCRYPTION_HEADER_BYTES = 12;

// Extra-field block id of the Zip64 sizes and offsets.
constexpr uint16_t ZIP64_EXTRA_ID = 0x0001;
