// libFuzzer target for the LZMA decoder, with liblzma as its oracle. Input:
//   byte 0      bit 0: general-purpose bit 1 (end marker); bits 1..3: refill
//               size (0x7000 down to 1)
//   bytes 1..2  the member's uncompressed size, little-endian
//   rest        the member's data: zip header (version, properties size,
//               properties) and the stream
// - decoded as the extractor decodes a member, with that refill size and
//   again with 0x7000-byte refills: the same result, reason and output;
// - whatever liblzma decodes completely to the member's size must decode to
//   the same bytes here; whatever this decoder calls Done has the member's
//   size;
// - full chunks are 0x7000 bytes, the dictionary and model are released.
// Any disagreement aborts; AddressSanitizer and UndefinedBehaviorSanitizer
// catch the rest (every buffer is a heap block of its exact size).
#include <cstdio>
#include <cstdlib>

#include "inflate_harness.h"
#include "lzma_oracle.h"

namespace {

constexpr uint32_t REFILL_CHOICES[] = {IO_CHUNK_BYTES, 4096, 517, 61, 8, 3, 2, 1};

void Require(bool condition, const char *what)
{
    if (!condition) {
        std::fprintf(stderr, "lzma fuzz: %s\n", what);
        std::abort();
    }
}

LzmaMemberRun Decode(const uint8_t *member, size_t member_bytes, uint32_t uncompressed_bytes, uint8_t end_marker,
                     uint32_t refill_bytes)
{
    LzmaMemberRun run;
    {
        DecoderHarness harness;
        run = harness.DecodeLzma(member, member_bytes, uncompressed_bytes, end_marker, -1, refill_bytes);
        Require(DecoderHarness::LiveTables() == 0, "dictionary or model left allocated");
    }
    Require(run.odd_chunk_writes == 0, "a full chunk was not 0x7000 bytes");
    return run;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 3)
        return 0;
    const uint8_t end_marker = data[0] & 1;
    const uint32_t refill_bytes = REFILL_CHOICES[(data[0] >> 1) & 7];
    const uint32_t uncompressed_bytes = uint32_t(data[1]) | uint32_t(data[2]) << 8;
    const uint8_t *member = data + 3;
    const size_t member_bytes = size - 3;

    const LzmaMemberRun run = Decode(member, member_bytes, uncompressed_bytes, end_marker, refill_bytes);
    const LzmaMemberRun whole = Decode(member, member_bytes, uncompressed_bytes, end_marker, IO_CHUNK_BYTES);
    Require(run.result == whole.result && run.rejection == whole.rejection, "refill sizes disagree on the result");
    Require(run.output == whole.output, "refill sizes disagree on the output");
    Require(run.output.size() <= uncompressed_bytes, "more output than the member's size");
    if (run.result == LzmaResult::Done)
        Require(run.output.size() == uncompressed_bytes, "done short of the member's size");

    std::vector<uint8_t> reference;
    if (LiblzmaDecodeZipMember(member, member_bytes, uncompressed_bytes, end_marker, reference)) {
        Require(run.result == LzmaResult::Done, "liblzma decodes what we refuse");
        Require(run.output == reference, "liblzma decodes to other bytes");
    }
    return 0;
}
