// Drives the decoder from memory the way the extractor drives it from the
// archive: a refill that hands out the member's bytes chunk by chunk (as the
// archive reader does, 0x7000 at a time unless a test asks for less), a
// WriteOutputBuffer that collects every full chunk, and the last partial
// chunk taken from the output buffer afterwards. Memory-mode blobs go through
// DecodeBlob into an exactly sized destination followed by guard bytes.
//
// Shared by the unit tests, the fuzz target and the benchmark; no GoogleTest
// here. The buffers are separate heap blocks of their exact sizes, so that
// AddressSanitizer sees any access past them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "extract/inflate/inflate.h"
#include "extract/inflate/stream_buffers.h"
#include "extract/lzma/lzma_decoder.h"

struct MemberRun {
    InflateResult result;
    Rejection rejection;              // Inflate.Reason afterwards
    std::vector<uint8_t> output;      // every byte written, last partial chunk included
    uint32_t chunk_writes;            // WriteOutputBuffer calls
    uint32_t odd_chunk_writes;        // of those, calls with OutputFill != 0x7000
    int32_t input_remaining_after;    // InputRemaining when InflateStream returned
};

struct LzmaMemberRun {
    LzmaResult result;
    LzmaRejection rejection;          // Lzma.Reason afterwards
    std::vector<uint8_t> output;      // every byte written, last partial chunk included
    uint32_t chunk_writes;            // WriteOutputBuffer calls
    uint32_t odd_chunk_writes;        // of those, calls with OutputFill != 0x7000
    int32_t input_remaining_after;    // InputRemaining when DecodeLzmaMember returned
};

struct BlobRun {
    BlobResult result;
    std::vector<uint8_t> output;      // the destination, capacity bytes
    bool guards_intact;               // the two guard bytes behind it unchanged
    bool memory_mode_kept;            // no refill and no chunk write happened, and
                                      // MemoryOutput is 0 and the cursors null after
};

// Owns the window and the two I/O buffers and installs the memory hooks.
// One at a time; the destructor frees every table and puts the defaults back.
class DecoderHarness {
public:
    DecoderHarness();
    ~DecoderHarness();
    DecoderHarness(const DecoderHarness &) = delete;
    DecoderHarness &operator=(const DecoderHarness &) = delete;

    // Decodes a member whose compressed size is told as compressed_bytes
    // (data_bytes when negative) and whose data is the data_bytes at data;
    // refills deliver at most refill_bytes each.
    MemberRun DecodeMember(const uint8_t *data, size_t data_bytes, uint8_t deflate64,
                           int32_t compressed_bytes = -1, uint32_t refill_bytes = IO_CHUNK_BYTES);
    MemberRun DecodeMember(const std::vector<uint8_t> &data, uint8_t deflate64,
                           int32_t compressed_bytes = -1, uint32_t refill_bytes = IO_CHUNK_BYTES)
    {
        return DecodeMember(data.data(), data.size(), deflate64, compressed_bytes, refill_bytes);
    }

    // The same for an LZMA member (zip method 14: header, then the stream)
    // of uncompressed_bytes, end_marker being general-purpose bit 1.
    LzmaMemberRun DecodeLzma(const uint8_t *data, size_t data_bytes, uint32_t uncompressed_bytes, uint8_t end_marker,
                             int32_t compressed_bytes = -1, uint32_t refill_bytes = IO_CHUNK_BYTES);
    LzmaMemberRun DecodeLzma(const std::vector<uint8_t> &data, uint32_t uncompressed_bytes, uint8_t end_marker,
                             int32_t compressed_bytes = -1, uint32_t refill_bytes = IO_CHUNK_BYTES)
    {
        return DecodeLzma(data.data(), data.size(), uncompressed_bytes, end_marker, compressed_bytes, refill_bytes);
    }

    // Makes the refill hand out these bytes, at most refill_bytes at a time.
    static void FeedFrom(const uint8_t *data, size_t data_bytes, uint32_t refill_bytes = IO_CHUNK_BYTES);

    // Decodes a blob in memory mode into capacity_bytes of destination.
    BlobRun DecodeBlobOf(const uint8_t *blob, size_t blob_bytes, uint32_t capacity_bytes);
    BlobRun DecodeBlobOf(const std::vector<uint8_t> &blob, uint32_t capacity_bytes)
    {
        return DecodeBlobOf(blob.data(), blob.size(), capacity_bytes);
    }

    // RefillInput calls since the harness was made.
    static uint32_t RefillCalls();
    // Tables allocated and not yet released (the cached fixed tables count).
    static int32_t LiveTables();
    // Makes the allocation with this 0-based number (counted from now) fail;
    // -1 for none.
    static void FailAllocation(int32_t allocation_number);
};

// Raw deflate (no wrapper) by zlib.
std::vector<uint8_t> ZlibRawDeflate(const std::vector<uint8_t> &data, int level, int strategy,
                                    int memory_level = 8);
// zlib's raw inflate, for a second opinion; returns false on any error.
bool ZlibRawInflate(const std::vector<uint8_t> &compressed, size_t expected_bytes,
                    std::vector<uint8_t> &output);

// Deterministic sample data of the kinds the decoder meets.
enum class SampleKind { Text, Binary, Repetitive, Random };
std::vector<uint8_t> MakeSample(SampleKind kind, size_t size_bytes, uint32_t seed);
const char *SampleName(SampleKind kind);

// Runs 7z to store data as one member of a zip with the given -mm method
// ("Deflate64", "Deflate", "LZMA") and returns the member's raw compressed
// data; flags, when given, gets its general-purpose flags. Empty when 7z
// failed (has_7z false when it is not installed at all).
std::vector<uint8_t> SevenZipRawMember(const std::vector<uint8_t> &data, const char *method,
                                       bool *has_7z, uint16_t *flags = nullptr);
