// libFuzzer target for the decoder. Each input is decoded, on a fresh window,
// in every way the program decodes:
//   byte 0      bit 0: Deflate64; bits 1..3: refill size (0x7000 down to 1)
//   bytes 1..2  memory-mode capacity, little-endian
//   rest        the stream
// - file mode, fast path, with that refill size;
// - file mode, simple path: the same result and the same output;
// - for deflate, zlib's raw inflate as an oracle: whatever zlib decodes
//   completely must decode to the same bytes here;
// - memory mode, both paths, bounded by the capacity: same result and output,
//   guard bytes intact, no refill and no file write.
// Any disagreement aborts; AddressSanitizer and UndefinedBehaviorSanitizer
// catch the rest (every buffer is a heap block of its exact size).
#include <zlib.h>

#include <cstdio>
#include <algorithm>
#include <cstdlib>

#include "inflate_harness.h"

namespace {

constexpr uint32_t REFILL_CHOICES[] = {IO_CHUNK_BYTES, 4096, 517, 61, 8, 3, 2, 1};
constexpr size_t ORACLE_LIMIT_BYTES = 1 << 17;

void Require(bool condition, const char *what)
{
    if (!condition) {
        std::fprintf(stderr, "inflate fuzz: %s\n", what);
        std::abort();
    }
}

// zlib's raw inflate into a buffer kept between inputs (a fresh large block
// per input would cost more than the decoding). True when zlib decoded the
// whole stream within the buffer.
uint8_t zlib_output[ORACLE_LIMIT_BYTES];

bool ZlibInflate(const uint8_t *stream, size_t stream_bytes, size_t *output_bytes)
{
    static z_stream z;
    static bool ready = inflateInit2(&z, -15) == Z_OK;
    if (!ready || inflateReset(&z) != Z_OK)
        return false;
    z.next_in = const_cast<Bytef *>(stream);
    z.avail_in = uInt(stream_bytes);
    z.next_out = zlib_output;
    z.avail_out = uInt(sizeof zlib_output);
    int status = inflate(&z, Z_FINISH);
    *output_bytes = sizeof zlib_output - z.avail_out;
    return status == Z_STREAM_END;
}

MemberRun DecodeAsMember(const uint8_t *stream, size_t stream_bytes, uint8_t deflate64, uint8_t simple_only,
                         uint32_t refill_bytes)
{
    MemberRun run;
    {
        DecoderHarness harness;
        Inflate.SimplePathOnly = simple_only;
        run = harness.DecodeMember(stream, stream_bytes, deflate64, -1, refill_bytes);
    }
    Require(run.odd_chunk_writes == 0, "a full chunk was not 0x7000 bytes");
    Require(DecoderHarness::LiveTables() == 0, "code tables leaked");
    return run;
}

BlobRun DecodeAsBlob(const uint8_t *stream, size_t stream_bytes, uint32_t capacity_bytes, uint8_t simple_only)
{
    BlobRun run;
    {
        DecoderHarness harness;
        Inflate.SimplePathOnly = simple_only;
        run = harness.DecodeBlobOf(stream, stream_bytes, capacity_bytes);
    }
    Require(DecoderHarness::LiveTables() == 0, "code tables leaked");
    Require(run.guards_intact, "memory mode wrote past its capacity");
    Require(run.memory_mode_kept, "memory mode refilled, wrote a chunk or left its fields set");
    return run;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 3)
        return 0;
    uint8_t deflate64 = data[0] & 1;
    uint32_t refill_bytes = REFILL_CHOICES[(data[0] >> 1) & 7];
    uint32_t capacity_bytes = uint32_t(data[1]) | uint32_t(data[2]) << 8;
    const uint8_t *stream = data + 3;
    size_t stream_bytes = size - 3;

    MemberRun fast = DecodeAsMember(stream, stream_bytes, deflate64, 0, refill_bytes);
    MemberRun simple = DecodeAsMember(stream, stream_bytes, deflate64, 1, IO_CHUNK_BYTES);
    Require(fast.result == simple.result && fast.rejection == simple.rejection,
            "fast and simple paths disagree on the result");
    Require(fast.output == simple.output, "fast and simple paths disagree on the output");

    if (!deflate64) {
        size_t expected_bytes = 0;
        // zlib allows lengths without a distance code when the block uses
        // none; this decoder refuses that block.
        if (ZlibInflate(stream, stream_bytes, &expected_bytes) &&
            fast.rejection != Rejection::LengthsWithoutDistances) {
            Require(fast.result == InflateResult::Done, "zlib decodes what we refuse");
            Require(fast.output.size() == expected_bytes &&
                        std::equal(fast.output.begin(), fast.output.end(), zlib_output),
                    "zlib decodes to other bytes");
        }
    }

    BlobRun blob_fast = DecodeAsBlob(stream, stream_bytes, capacity_bytes, 0);
    BlobRun blob_simple = DecodeAsBlob(stream, stream_bytes, capacity_bytes, 1);
    Require(blob_fast.result == blob_simple.result, "memory mode: paths disagree on the result");
    Require(blob_fast.output == blob_simple.output, "memory mode: paths disagree on the output");
    if (blob_fast.result == BlobResult::Decoded) {
        // Whatever memory mode decodes completely, file mode decodes alike.
        MemberRun plain = deflate64 ? DecodeAsMember(stream, stream_bytes, 0, 0, IO_CHUNK_BYTES) : fast;
        Require(plain.result == InflateResult::Done, "memory mode decoded what file mode refuses");
        Require(plain.output.size() <= capacity_bytes &&
                    std::equal(plain.output.begin(), plain.output.end(), blob_fast.output.begin()),
                "memory mode decoded other bytes");
    }
    return 0;
}
