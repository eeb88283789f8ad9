// The input side of the member contract: NextInputByte's cases, and a member
// whose deflate stream ends before its compressed data does.
#include <gtest/gtest.h>

#include "inflate_harness.h"

namespace {

TEST(InflateMemberInput, NextInputByteCases)
{
    static const uint8_t memory[] = {0x11, 0x22};
    struct Case {
        const char *name;
        uint8_t memory_output;
        int32_t remaining_bytes;
        int32_t available_bytes;
        uint32_t expected_bits;
        uint8_t expected_byte;      // 0x99: unchanged
        uint32_t expected_refills;
        int32_t expected_remaining;
    } const cases[] = {
        {"byte at the cursor", 1, 2, 2, 8, 0x11, 0, 1},
        {"stream used up, bytes still buffered", 1, 0, 2, 0, 0x99, 0, 0},
        {"start-up value -1 delivers nothing", 0, -1, 0, 0, 0x99, 0, -1},
        {"memory mode never refills", 1, 2, 0, 0, 0x99, 0, 2},
        {"file mode refills an empty buffer", 0, 5, 0, 8, 0xAB, 1, 4},
        {"refill with nothing left", 0, 5, 0, 0, 0x99, 1, 5},
    };
    for (const Case &c : cases) {
        DecoderHarness harness;
        // The member's bytes for the refill: 0xAB..., or none.
        static const uint8_t member[] = {0xAB, 0xCD, 0xEF, 0x01, 0x02};
        bool member_has_bytes = c.expected_refills && c.expected_bits;
        DecoderHarness::FeedFrom(member, member_has_bytes ? sizeof member : 0);
        uint32_t refills_before = DecoderHarness::RefillCalls();
        Stream.MemoryOutput = c.memory_output;
        Stream.InputCursor = c.memory_output ? memory : Stream.InputBuffer;
        Stream.InputAvailable = c.available_bytes;
        InputRemaining = c.remaining_bytes;
        Inflate.InputExhausted = 0;
        uint8_t byte = 0x99;
        uint32_t bits = NextInputByte(byte);
        Stream.MemoryOutput = 0;
        EXPECT_EQ(c.expected_bits, bits) << c.name;
        EXPECT_EQ(c.expected_byte, byte) << c.name;
        EXPECT_EQ(c.expected_bits ? 0 : 1, Inflate.InputExhausted) << c.name;
        EXPECT_EQ(c.expected_refills, DecoderHarness::RefillCalls() - refills_before) << c.name;
        EXPECT_EQ(c.expected_remaining, InputRemaining) << c.name;
    }
}

// A member whose stream ends early leaves unread bytes in the input buffer.
// The next member begins with BeginMemberInput, which drops them: the next
// member's data then comes from its own refill.
TEST(InflateMemberInput, NextMemberDoesNotSeeLeftoverBytes)
{
    std::vector<uint8_t> first_text = MakeSample(SampleKind::Text, 5000, 51);
    std::vector<uint8_t> first = ZlibRawDeflate(first_text, 6, 0);
    std::vector<uint8_t> junk(3000, 0xFF);  // compressed data beyond the stream's end
    first.insert(first.end(), junk.begin(), junk.end());
    std::vector<uint8_t> second_text = MakeSample(SampleKind::Binary, 8000, 52);
    std::vector<uint8_t> second = ZlibRawDeflate(second_text, 6, 0);

    for (uint8_t simple_only : {0, 1}) {
        DecoderHarness harness;
        Inflate.SimplePathOnly = simple_only;
        MemberRun run = harness.DecodeMember(first, 0);
        ASSERT_EQ(InflateResult::Done, run.result);
        ASSERT_TRUE(run.output == first_text);
        // The junk is still buffered; without the reset it would be read as
        // the next member's first bytes.
        EXPECT_GT(Stream.InputAvailable, 2900) << "simple_only " << int(simple_only);
        run = harness.DecodeMember(second, 0);
        EXPECT_EQ(InflateResult::Done, run.result) << "simple_only " << int(simple_only);
        EXPECT_TRUE(run.output == second_text) << "simple_only " << int(simple_only);
    }
}

}  // namespace
