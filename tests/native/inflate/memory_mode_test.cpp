// Memory mode (blob decoding): output lies contiguously at the destination,
// never passes the capacity the caller gives, and nothing is refilled or
// written. Guard bytes sit right behind the capacity, as the message-table
// caller places them.
#include <gtest/gtest.h>

#include "bit_writer.h"
#include "inflate_harness.h"

namespace {

// A hostile blob: 391 bytes that expand to over 60 KiB.
std::vector<uint8_t> ExpandingBlob()
{
    BitWriter writer;
    writer.FixedHeader(true);
    writer.FixedSymbol('x');
    for (int i = 0; i < 240; i++) {
        writer.FixedSymbol(285);  // 258 bytes
        writer.FixedDistance(0);
    }
    writer.FixedSymbol(256);
    return writer.Bytes();
}

TEST(InflateMemoryMode, CapacityBoundsTheOutput)
{
    std::vector<uint8_t> table_text = MakeSample(SampleKind::Text, 6241, 41);  // the message table's size
    std::vector<uint8_t> large = MakeSample(SampleKind::Binary, 200000, 42);   // many chunks and windows
    std::vector<uint8_t> table_blob = ZlibRawDeflate(table_text, 9, 0);
    std::vector<uint8_t> large_blob = ZlibRawDeflate(large, 6, 0);
    std::vector<uint8_t> expanding = ExpandingBlob();
    const uint32_t expanded_bytes = 1 + 240 * 258;

    struct Case {
        const char *name;
        const std::vector<uint8_t> *blob;
        const std::vector<uint8_t> *original;  // null: 'x' * expanded_bytes
        uint32_t capacity_bytes;
        BlobResult expected;
    } const cases[] = {
        {"exact capacity", &table_blob, &table_text, 6241, BlobResult::Decoded},
        {"room to spare", &table_blob, &table_text, 7000, BlobResult::Decoded},
        {"one byte short", &table_blob, &table_text, 6240, BlobResult::Overrun},
        {"no room at all", &table_blob, &table_text, 0, BlobResult::Overrun},
        {"200 KB exact", &large_blob, &large, 200000, BlobResult::Decoded},
        {"200 KB, one chunk short", &large_blob, &large, 200000 - IO_CHUNK_BYTES, BlobResult::Overrun},
        {"expanding blob into 100 bytes", &expanding, nullptr, 100, BlobResult::Overrun},
        {"expanding blob, exact", &expanding, nullptr, expanded_bytes, BlobResult::Decoded},
    };
    std::vector<uint8_t> expanded(expanded_bytes, 'x');
    for (const Case &c : cases) {
        const std::vector<uint8_t> &original = c.original ? *c.original : expanded;
        for (uint8_t simple_only : {0, 1}) {
            DecoderHarness harness;
            Inflate.SimplePathOnly = simple_only;
            BlobRun run = harness.DecodeBlobOf(*c.blob, c.capacity_bytes);
            std::string label = std::string(c.name) + (simple_only ? ", simple path" : ", fast path");
            EXPECT_EQ(int(c.expected), int(run.result)) << label;
            EXPECT_TRUE(run.guards_intact) << label;
            EXPECT_TRUE(run.memory_mode_kept) << label;
            // What fits is the stream's own output, from the first byte on.
            size_t compared_bytes = std::min<size_t>(c.capacity_bytes, original.size());
            EXPECT_TRUE(std::equal(original.begin(), original.begin() + long(compared_bytes), run.output.begin()))
                << label;
            for (size_t i = original.size(); i < run.output.size(); i++)
                ASSERT_EQ(0, run.output[i]) << label << ": written past the stream's end at " << i;
        }
    }
}

TEST(InflateMemoryMode, DamagedBlobsAreReportedButNotOverruns)
{
    std::vector<uint8_t> text = MakeSample(SampleKind::Text, 3000, 43);
    std::vector<uint8_t> blob = ZlibRawDeflate(text, 9, 0);
    std::vector<uint8_t> truncated(blob.begin(), blob.begin() + long(blob.size() / 2));
    BitWriter reserved;
    reserved.Bits(1, 1);
    reserved.Bits(3, 2);
    struct Case { const char *name; std::vector<uint8_t> blob; } const cases[] = {
        {"truncated", truncated},
        {"reserved block type", reserved.Bytes()},
        {"empty", {}},
    };
    for (const Case &c : cases) {
        DecoderHarness harness;
        BlobRun run = harness.DecodeBlobOf(c.blob, 3000);
        EXPECT_EQ(int(BlobResult::Damaged), int(run.result)) << c.name;
        EXPECT_TRUE(run.guards_intact) << c.name;
        EXPECT_TRUE(run.memory_mode_kept) << c.name;
    }
}

}  // namespace
