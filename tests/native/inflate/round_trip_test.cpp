// Round trips against real encoders: zlib's raw deflate at every level and
// strategy on each kind of data, and 7-Zip's Deflate64. Every stream is
// decoded by the fast and by the simple path, with full 0x7000-byte refills
// and with tiny ones that move the input's end through every position.
#include <gtest/gtest.h>
#include <zlib.h>

#include "inflate_harness.h"

namespace {

struct PathSetting {
    const char *name;
    uint8_t simple_only;
    uint32_t refill_bytes;
};
const PathSetting PATH_SETTINGS[] = {
    {"fast path, 0x7000 refills", 0, IO_CHUNK_BYTES},
    {"simple path, 0x7000 refills", 1, IO_CHUNK_BYTES},
    {"fast path, 61-byte refills", 0, 61},
};

// Decodes compressed in every path setting and checks output, result, that
// all input was used and that full chunks were exactly 0x7000 bytes.
void ExpectDecodes(const std::vector<uint8_t> &compressed, const std::vector<uint8_t> &original,
                   uint8_t deflate64, const std::string &label)
{
    for (const PathSetting &setting : PATH_SETTINGS) {
        DecoderHarness harness;
        Inflate.SimplePathOnly = setting.simple_only;
        MemberRun run = harness.DecodeMember(compressed, deflate64, -1, setting.refill_bytes);
        ASSERT_EQ(InflateResult::Done, run.result) << label << ", " << setting.name;
        ASSERT_EQ(original.size(), run.output.size()) << label << ", " << setting.name;
        ASSERT_TRUE(run.output == original) << label << ", " << setting.name << ": output differs";
        EXPECT_EQ(0u, run.odd_chunk_writes) << label << ", " << setting.name;
        EXPECT_EQ(original.size() / IO_CHUNK_BYTES, run.chunk_writes) << label << ", " << setting.name;
        EXPECT_EQ(0, run.input_remaining_after) << label << ", " << setting.name;
    }
}

TEST(InflateRoundTrip, ZlibEveryLevelAndStrategy)
{
    struct Strategy { const char *name; int value; } const strategies[] = {
        {"default", Z_DEFAULT_STRATEGY}, {"filtered", Z_FILTERED}, {"huffman-only", Z_HUFFMAN_ONLY},
        {"rle", Z_RLE}, {"fixed", Z_FIXED},
    };
    const SampleKind kinds[] = {SampleKind::Text, SampleKind::Binary, SampleKind::Repetitive, SampleKind::Random};
    for (SampleKind kind : kinds) {
        std::vector<uint8_t> original = MakeSample(kind, 90000, 7);
        for (int level = 0; level <= 9; level++) {
            for (const Strategy &strategy : strategies) {
                std::vector<uint8_t> compressed = ZlibRawDeflate(original, level, strategy.value);
                ASSERT_FALSE(compressed.empty());
                ExpectDecodes(compressed, original, 0,
                              std::string(SampleName(kind)) + " level " + std::to_string(level) + " " +
                                  strategy.name);
            }
        }
    }
}

// Outputs many windows long, with small memory levels (short blocks, many
// dynamic tables) and the largest.
TEST(InflateRoundTrip, ZlibOutputsFarLargerThanTheWindow)
{
    const SampleKind kinds[] = {SampleKind::Text, SampleKind::Binary, SampleKind::Repetitive, SampleKind::Random};
    for (SampleKind kind : kinds) {
        std::vector<uint8_t> original = MakeSample(kind, 1100000, 11);
        for (int memory_level : {1, 9}) {
            std::vector<uint8_t> compressed = ZlibRawDeflate(original, 6, Z_DEFAULT_STRATEGY, memory_level);
            ExpectDecodes(compressed, original, 0,
                          std::string(SampleName(kind)) + " 1.1 MB, memory level " + std::to_string(memory_level));
        }
    }
}

TEST(InflateRoundTrip, EmptyInputs)
{
    std::vector<uint8_t> empty;
    for (int level : {0, 1, 9})
        ExpectDecodes(ZlibRawDeflate(empty, level, Z_DEFAULT_STRATEGY), empty, 0, "empty, level " + std::to_string(level));
}

// 7-Zip's Deflate64 on data that only compresses with its 64 KiB window: a
// random block repeated at a distance of 40000, so matches reach back past the
// deflate window (distance codes 30 and 31). 7-Zip's encoder caps its matches
// at 257 bytes and never emits length code 285; the crafted streams cover it.
TEST(InflateRoundTrip, SevenZipDeflate64FarDistances)
{
    std::vector<uint8_t> block = MakeSample(SampleKind::Random, 40000, 3);
    std::vector<uint8_t> original;
    for (int copy = 0; copy < 6; copy++)
        original.insert(original.end(), block.begin(), block.end());
    std::vector<uint8_t> text = MakeSample(SampleKind::Text, 300000, 5);
    original.insert(original.end(), text.begin(), text.end());

    bool has_7z = false;
    std::vector<uint8_t> compressed = SevenZipRawMember(original, "Deflate64", &has_7z);
    if (!has_7z)
        GTEST_SKIP() << "7z is not installed";
    ASSERT_FALSE(compressed.empty()) << "7z made no Deflate64 member";
    // Without distances above 32768 the five repeats of the random block
    // would cost about 200000 bytes.
    EXPECT_LT(compressed.size(), 40000u + 150000u) << "7z did not reach past 32 KiB";
    ExpectDecodes(compressed, original, 1, "7z Deflate64");
}

TEST(InflateRoundTrip, SevenZipDeflate)
{
    std::vector<uint8_t> original = MakeSample(SampleKind::Binary, 200000, 9);
    bool has_7z = false;
    std::vector<uint8_t> compressed = SevenZipRawMember(original, "Deflate", &has_7z);
    if (!has_7z)
        GTEST_SKIP() << "7z is not installed";
    ASSERT_FALSE(compressed.empty());
    ExpectDecodes(compressed, original, 0, "7z Deflate");
}

}  // namespace
