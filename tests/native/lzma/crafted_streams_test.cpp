// Hand-made streams for the corners liblzma's encoder never writes or
// writes only by chance: empty streams, the longest match, matches and
// repeats at the dictionary's edge and one past it, distances before the
// first byte, the end marker too early, missing or exactly at the last byte,
// streams that run past the member, and the headers the decoder refuses.
// Every case runs with 0x7000-byte and 1-byte refills; valid ones that
// liblzma can read (lc + lp <= 4) are checked against it too.
#include <gtest/gtest.h>

#include <functional>

#include "inflate_harness.h"
#include "lzma_oracle.h"
#include "lzma_writer.h"

namespace {

struct Crafted {
    std::vector<uint8_t> member;    // zip header and stream
    std::vector<uint8_t> expected;  // the bytes a correct decoder yields (up to the fault)
    uint32_t uncompressed_bytes;
    uint8_t end_marker;
    int32_t compressed_bytes = -1;  // the member's size as its header says; -1: the data's
};

std::vector<uint8_t> Bytes(size_t count, uint32_t seed)
{
    std::vector<uint8_t> bytes(count);
    for (size_t i = 0; i < count; i++) {
        seed = seed * 1103515245u + 12345u;
        bytes[i] = uint8_t(seed >> 16);
    }
    return bytes;
}

// The writer's stream for a member of exactly its output.
Crafted Whole(LzmaWriter &writer, uint8_t end_marker)
{
    if (end_marker)
        writer.EndMarker();
    std::vector<uint8_t> output = writer.Output();
    return {writer.Finish(), output, uint32_t(output.size()), end_marker};
}

struct CraftedCase {
    const char *name;
    std::function<Crafted()> make;
    LzmaResult result;
    LzmaRejection reason;
    bool liblzma_agrees;  // a valid stream liblzma reads too
};

const CraftedCase CASES[] = {
    {"zero-length stream", [] { LzmaWriter w(3, 0, 2, 1 << 16); return Whole(w, 0); },
     LzmaResult::Done, LzmaRejection::None, true},
    {"zero-length stream with its end marker", [] { LzmaWriter w(3, 0, 2, 1 << 16); return Whole(w, 1); },
     LzmaResult::Done, LzmaRejection::None, true},
    {"the longest match, over and over", [] {
         LzmaWriter w(3, 0, 2, 1 << 16);
         w.Literal('a');
         for (int i = 0; i < 300; i++)
             w.Match(1, 273);
         return Whole(w, 1);
     }, LzmaResult::Done, LzmaRejection::None, true},
    {"matches and repeats at the dictionary's edge, the dictionary wrapping", [] {
         LzmaWriter w(3, 0, 2, 4096);
         w.Literals(Bytes(4096, 1));
         w.Match(4096, 273);  // the oldest byte the dictionary keeps
         w.Match(1, 2);
         w.Match(7, 5);
         w.Rep(2, 273);       // 4096 again from rep2
         w.Literal(9);
         w.ShortRep();
         w.Match(2000, 3);
         w.Rep(3, 100);       // 4096 from rep3
         w.Rep(1, 2);
         for (int i = 0; i < 40; i++)
             w.Rep(i % 4, 273 - i);
         return Whole(w, 0);
     }, LzmaResult::Done, LzmaRejection::None, true},
    {"lc 8, lp 4, pb 4: the largest model", [] {
         LzmaWriter w(8, 4, 4, 1 << 20);
         w.Literals(Bytes(3000, 2));
         w.Match(1000, 200);
         w.Literals(Bytes(50, 3));
         w.Rep(1, 60);
         return Whole(w, 1);
     }, LzmaResult::Done, LzmaRejection::None, false},
    {"a dictionary of 1 GiB for a small member needs only the member's size", [] {
         LzmaWriter w(3, 0, 2, 1u << 30);
         w.Literals(Bytes(500, 4));
         w.Match(500, 200);
         return Whole(w, 0);
     }, LzmaResult::Done, LzmaRejection::None, true},
    {"the end marker at the member's last byte", [] {
         LzmaWriter w(0, 0, 0, 4096);
         w.Literals(Bytes(10, 5));
         Crafted c = Whole(w, 1);
         c.compressed_bytes = int32_t(c.member.size());
         return c;
     }, LzmaResult::Done, LzmaRejection::None, true},
    {"bytes after the stream are left unread", [] {
         LzmaWriter w(3, 0, 2, 4096);
         w.Literals(Bytes(100, 6));
         Crafted c = Whole(w, 0);
         c.member.insert(c.member.end(), 7, 0xA5);
         return c;
     }, LzmaResult::Done, LzmaRejection::None, false},
    {"one past the dictionary's edge", [] {
         LzmaWriter w(3, 0, 2, 4096);
         w.Literals(Bytes(5000, 7));
         w.Match(4097, 10);
         Crafted c = Whole(w, 0);
         c.expected.resize(5000);
         return c;
     }, LzmaResult::Damaged, LzmaRejection::BadDistance, false},
    {"a match reaching before the first byte", [] {
         LzmaWriter w(3, 0, 2, 1 << 16);
         w.Literals(Bytes(10, 8));
         w.Match(11, 4);
         Crafted c = Whole(w, 0);
         c.expected.resize(10);
         return c;
     }, LzmaResult::Damaged, LzmaRejection::BadDistance, false},
    {"a repeat as the first symbol", [] {
         LzmaWriter w(3, 0, 2, 1 << 16);
         w.Rep(0, 5);
         Crafted c = Whole(w, 0);
         c.expected.clear();
         return c;
     }, LzmaResult::Damaged, LzmaRejection::BadDistance, false},
    {"a short repeat as the first symbol", [] {
         LzmaWriter w(3, 0, 2, 1 << 16);
         w.ShortRep();
         Crafted c = Whole(w, 0);
         c.expected.clear();
         return c;
     }, LzmaResult::Damaged, LzmaRejection::BadDistance, false},
    {"a match running past the member's size", [] {
         LzmaWriter w(3, 0, 2, 1 << 16);
         w.Literals(Bytes(20, 9));
         w.Match(3, 100);
         Crafted c = Whole(w, 0);
         c.uncompressed_bytes = 50;
         c.expected.resize(50);
         return c;
     }, LzmaResult::Damaged, LzmaRejection::MatchPastEnd, false},
    {"the end marker before the member's size", [] {
         LzmaWriter w(3, 0, 2, 1 << 16);
         w.Literals(Bytes(20, 10));
         Crafted c = Whole(w, 1);
         c.uncompressed_bytes = 21;
         return c;
     }, LzmaResult::Damaged, LzmaRejection::EarlyEndMarker, false},
    {"flag bit 1 without the end marker", [] {
         LzmaWriter w(3, 0, 2, 1 << 16);
         w.Literals(Bytes(20, 11));
         w.Literal(1);
         Crafted c = Whole(w, 0);
         c.uncompressed_bytes = 20;
         c.end_marker = 1;
         c.expected.resize(20);
         return c;
     }, LzmaResult::Damaged, LzmaRejection::MissingEndMarker, false},
    {"a stream that runs past the member", [] {
         LzmaWriter w(3, 0, 2, 1 << 16);
         w.Literals(Bytes(3000, 12));
         Crafted c = Whole(w, 1);
         c.compressed_bytes = int32_t(c.member.size() / 2);
         c.expected.clear();  // some prefix; checked below
         return c;
     }, LzmaResult::Damaged, LzmaRejection::InputExhausted, false},
    {"the end marker one byte short of the member", [] {
         LzmaWriter w(0, 0, 0, 4096);
         w.Literals(Bytes(10, 5));
         Crafted c = Whole(w, 1);
         c.compressed_bytes = int32_t(c.member.size()) - 1;
         c.expected.clear();
         return c;
     }, LzmaResult::Damaged, LzmaRejection::InputExhausted, false},
    {"a range coder whose first byte is not 0", [] {
         LzmaWriter w(3, 0, 2, 4096);
         w.Literals(Bytes(10, 13));
         Crafted c = Whole(w, 0);
         c.member[LZMA_ZIP_HEADER_BYTES] = 1;
         c.expected.clear();
         return c;
     }, LzmaResult::Damaged, LzmaRejection::BadRangeCoderStart, false},
    {"the header alone", [] {
         LzmaWriter w(3, 0, 2, 4096);
         Crafted c = Whole(w, 0);
         c.member.resize(LZMA_ZIP_HEADER_BYTES);
         c.uncompressed_bytes = 10;
         return c;
     }, LzmaResult::Damaged, LzmaRejection::InputExhausted, false},
    {"half a header", [] {
         LzmaWriter w(3, 0, 2, 4096);
         Crafted c = Whole(w, 0);
         c.member.resize(6);
         return c;
     }, LzmaResult::Damaged, LzmaRejection::InputExhausted, false},
    {"properties size 4", [] {
         LzmaWriter w(3, 0, 2, 4096);
         w.Literal(1);
         Crafted c = Whole(w, 0);
         c.member[2] = 4;
         c.expected.clear();
         return c;
     }, LzmaResult::Refused, LzmaRejection::BadPropertiesSize, false},
    {"the lc/lp/pb byte 225", [] {
         LzmaWriter w(3, 0, 2, 4096);
         w.Literal(1);
         Crafted c = Whole(w, 0);
         c.member[4] = 225;
         c.expected.clear();
         return c;
     }, LzmaResult::Refused, LzmaRejection::PropertiesOutOfRange, false},
    {"a member that needs a dictionary over 64 MiB", [] {
         LzmaWriter w(3, 0, 2, (64u << 20) + 1);
         w.Literal(1);
         Crafted c = Whole(w, 0);
         c.uncompressed_bytes = 100u << 20;  // claimed; nothing is decoded
         c.expected.clear();
         return c;
     }, LzmaResult::Refused, LzmaRejection::DictionaryOverLimit, false},
};

TEST(CraftedLzmaStreams, Table)
{
    for (const CraftedCase &c : CASES) {
        SCOPED_TRACE(c.name);
        const Crafted crafted = c.make();
        for (uint32_t refill_bytes : {IO_CHUNK_BYTES, 1u}) {
            SCOPED_TRACE(refill_bytes);
            DecoderHarness harness;
            const LzmaMemberRun run = harness.DecodeLzma(crafted.member, crafted.uncompressed_bytes,
                                                         crafted.end_marker, crafted.compressed_bytes, refill_bytes);
            EXPECT_EQ(int(run.result), int(c.result));
            EXPECT_EQ(int(run.rejection), int(c.reason));
            if (c.reason == LzmaRejection::InputExhausted) {
                // What was decoded before the data ran out is a prefix.
                EXPECT_LE(run.output.size(), crafted.uncompressed_bytes);
            } else {
                EXPECT_TRUE(run.output == crafted.expected)
                    << "decoded " << run.output.size() << ", expected " << crafted.expected.size();
            }
            EXPECT_EQ(run.odd_chunk_writes, 0u);
            EXPECT_EQ(DecoderHarness::LiveTables(), 0);
        }
        if (c.liblzma_agrees) {
            std::vector<uint8_t> reference;
            EXPECT_TRUE(LiblzmaDecodeZipMember(crafted.member.data(), crafted.member.size(),
                                               crafted.uncompressed_bytes, crafted.end_marker, reference));
            EXPECT_TRUE(reference == crafted.expected);
        }
    }
}

// Cut anywhere, a stream ends Damaged (never Done with other bytes), and
// what came out is a prefix of the original.
TEST(CraftedLzmaStreams, EveryTruncation)
{
    LzmaWriter w(3, 0, 2, 4096);
    w.Literals(Bytes(300, 14));
    w.Match(100, 50);
    w.Rep(1, 20);
    w.ShortRep();
    w.Literals(Bytes(30, 15));
    w.EndMarker();
    const std::vector<uint8_t> expected = w.Output();
    const std::vector<uint8_t> member = w.Finish();
    for (size_t cut = 0; cut < member.size(); cut++) {
        DecoderHarness harness;
        const LzmaMemberRun run = harness.DecodeLzma(member, uint32_t(expected.size()), 1, int32_t(cut), 7);
        ASSERT_EQ(int(run.result), int(LzmaResult::Damaged)) << "cut at " << cut;
        ASSERT_TRUE(std::equal(run.output.begin(), run.output.end(), expected.begin())) << "cut at " << cut;
    }
}

}  // namespace
