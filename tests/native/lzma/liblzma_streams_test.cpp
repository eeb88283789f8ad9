// Streams made by liblzma and by 7-Zip's zip writer, decoded here and
// compared byte for byte with the original: every lc/lp/pb corner, small and
// large dictionaries (a dictionary smaller than the member wraps), with and
// without the end marker, refills from 0x7000 bytes down to 1.
#include <gtest/gtest.h>

#include <lzma.h>

#include <cstdio>

#include "inflate_harness.h"
#include "lzma_oracle.h"

namespace {

struct StreamCase {
    const char *name;
    SampleKind kind;
    size_t size_bytes;
    LzmaEncoding encoding;
    uint32_t refill_bytes;
};

// preset, lc, lp, pb, dictionary, end marker
const StreamCase STREAM_CASES[] = {
    {"text defaults", SampleKind::Text, 300000, {6, 3, 0, 2, 0, false}, IO_CHUNK_BYTES},
    {"text defaults, marker", SampleKind::Text, 300000, {6, 3, 0, 2, 0, true}, IO_CHUNK_BYTES},
    {"binary lc0 lp0 pb0", SampleKind::Binary, 200000, {6, 0, 0, 0, 0, false}, IO_CHUNK_BYTES},
    {"binary lc4 lp0 pb4", SampleKind::Binary, 200000, {6, 4, 0, 4, 0, true}, IO_CHUNK_BYTES},
    {"binary lc0 lp4 pb4", SampleKind::Binary, 200000, {6, 0, 4, 4, 0, false}, IO_CHUNK_BYTES},
    {"binary lc4 lp0 pb2", SampleKind::Binary, 200000, {9, 4, 0, 2, 0, false}, 517},
    {"text lc0 lp2 pb1", SampleKind::Text, 100000, {6, 0, 2, 1, 0, true}, 3},
    {"text 4 KiB dictionary wraps", SampleKind::Text, 150000, {6, 3, 0, 2, 4096, false}, IO_CHUNK_BYTES},
    {"repetitive 4 KiB dictionary, marker", SampleKind::Repetitive, 150000, {6, 3, 0, 2, 4096, true}, 1},
    {"binary 64 KiB dictionary wraps", SampleKind::Binary, 400000, {9 | LZMA_PRESET_EXTREME, 3, 0, 2, 65536, false}, IO_CHUNK_BYTES},
    {"random", SampleKind::Random, 70000, {6, 3, 0, 2, 0, false}, IO_CHUNK_BYTES},
    {"random, marker", SampleKind::Random, 70000, {0, 3, 0, 2, 0, true}, 61},
    {"repetitive longest matches", SampleKind::Repetitive, 1 << 20, {6, 3, 0, 2, 0, false}, IO_CHUNK_BYTES},
    {"one byte", SampleKind::Text, 1, {6, 3, 0, 2, 0, false}, IO_CHUNK_BYTES},
    {"one byte, marker", SampleKind::Text, 1, {6, 3, 0, 2, 0, true}, 1},
    {"empty", SampleKind::Text, 0, {6, 3, 0, 2, 0, false}, IO_CHUNK_BYTES},
    {"empty, marker", SampleKind::Text, 0, {6, 3, 0, 2, 0, true}, 1},
    {"exactly one chunk", SampleKind::Text, IO_CHUNK_BYTES, {6, 3, 0, 2, 0, true}, IO_CHUNK_BYTES},
};

TEST(LiblzmaStreams, DecodeToTheOriginal)
{
    for (const StreamCase &c : STREAM_CASES) {
        SCOPED_TRACE(c.name);
        const std::vector<uint8_t> data = MakeSample(c.kind, c.size_bytes, 21);
        const std::vector<uint8_t> member = LiblzmaZipMember(data, c.encoding);
        ASSERT_FALSE(member.empty());
        std::vector<uint8_t> reference;
        ASSERT_TRUE(LiblzmaDecodeZipMember(member.data(), member.size(), uint32_t(data.size()),
                                           c.encoding.end_marker, reference));
        DecoderHarness harness;
        const LzmaMemberRun run = harness.DecodeLzma(member, uint32_t(data.size()), c.encoding.end_marker, -1,
                                                     c.refill_bytes);
        EXPECT_EQ(run.result, LzmaResult::Done) << "reason " << int(run.rejection);
        EXPECT_EQ(run.rejection, LzmaRejection::None);
        EXPECT_TRUE(run.output == data) << "decoded " << run.output.size() << " of " << data.size();
        EXPECT_EQ(run.odd_chunk_writes, 0u);
        EXPECT_EQ(run.chunk_writes, data.size() / IO_CHUNK_BYTES) << "every full chunk written, the last kept";
        EXPECT_EQ(run.input_remaining_after, 0) << "the stream ends with the member's data";
        EXPECT_EQ(DecoderHarness::LiveTables(), 0) << "dictionary and model released";
    }
}

// 7-Zip writes general-purpose bit 1 when its stream carries the end marker.
// (Random data it stores rather than compress.)
TEST(LiblzmaStreams, SevenZipZipMembers)
{
    for (SampleKind kind : {SampleKind::Text, SampleKind::Binary, SampleKind::Repetitive}) {
        SCOPED_TRACE(SampleName(kind));
        const std::vector<uint8_t> data = MakeSample(kind, 250000, 7);
        bool has_7z = false;
        uint16_t flags = 0;
        const std::vector<uint8_t> member = SevenZipRawMember(data, "LZMA", &has_7z, &flags);
        if (!has_7z)
            GTEST_SKIP() << "7z is not installed";
        ASSERT_FALSE(member.empty());
        DecoderHarness harness;
        const LzmaMemberRun run = harness.DecodeLzma(member, uint32_t(data.size()), (flags >> 1) & 1);
        EXPECT_EQ(run.result, LzmaResult::Done) << "reason " << int(run.rejection) << ", flags " << flags;
        EXPECT_TRUE(run.output == data);
        EXPECT_EQ(run.input_remaining_after, 0);
    }
}

}  // namespace
