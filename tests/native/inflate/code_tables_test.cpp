// The table builder: results for complete, incomplete, over-subscribed and
// empty codes; every symbol reachable by its canonical code through the
// tables, every bit pattern answered by a filled entry; table memory
// released, also when it runs out, and the caller's report made then.
#include <gtest/gtest.h>

#include <csetjmp>
#include <random>

#include "bit_writer.h"
#include "inflate_harness.h"

namespace {

int exhausted_reports;

void CountExhaustion()
{
    exhausted_reports++;
}

// The builder's scratch and report, as a caller other than the decoder lends
// them: a report that returns.
uint16_t symbols_by_length[LITERAL_SYMBOLS];
const TableBuildContext COUNTING_BUILD = {symbols_by_length, CountExhaustion};

// Follows bits (next bit in bit 0) through the tables; the consumed count
// goes to *consumed_bits, and the count of bits the lookups looked at (the
// last table's index reaching furthest) to *looked_at_bits when given.
const CodeEntry *Walk(const CodeEntry *root, uint32_t root_bits, uint32_t bits, uint32_t *consumed_bits,
                      uint32_t *looked_at_bits = nullptr)
{
    const CodeEntry *entry = root + (bits & ((1u << root_bits) - 1));
    *consumed_bits = 0;
    uint32_t reach_bits = root_bits;
    while (entry->Op > OP_LITERAL && entry->Op != OP_INVALID) {
        *consumed_bits += entry->Bits;
        bits >>= entry->Bits;
        reach_bits = *consumed_bits + (entry->Op - OP_LITERAL);
        entry = entry->SubTable + (bits & ((1u << (entry->Op - OP_LITERAL)) - 1));
    }
    *consumed_bits += entry->Bits;
    if (looked_at_bits)
        *looked_at_bits = reach_bits;
    return entry;
}

uint32_t Reversed(uint32_t code, uint32_t length)
{
    uint32_t reversed = 0;
    for (uint32_t i = 0; i < length; i++)
        reversed |= ((code >> i) & 1) << (length - 1 - i);
    return reversed;
}

// Random complete codes: split random leaves until there are count of them.
std::vector<uint8_t> RandomCompleteLengths(uint32_t symbol_count, uint32_t used_count, std::mt19937 &random)
{
    std::vector<uint8_t> leaves = {1, 1};
    while (leaves.size() < used_count) {
        size_t at = random() % leaves.size();
        if (leaves[at] >= 15)
            continue;
        leaves[at]++;
        leaves.push_back(leaves[at]);
    }
    std::vector<uint8_t> lengths(symbol_count, 0);
    std::vector<uint32_t> symbols(symbol_count);
    for (uint32_t i = 0; i < symbol_count; i++)
        symbols[i] = i;
    std::shuffle(symbols.begin(), symbols.end(), random);
    for (size_t i = 0; i < leaves.size(); i++)
        lengths[symbols[i]] = leaves[i];
    return lengths;
}

// Checks that every used symbol decodes from its canonical code with the
// right op, value and bit count, and that no pattern meets an unfilled entry.
void ExpectDecodesEverySymbol(const std::vector<uint8_t> &lengths, uint32_t plain_count, const uint16_t *bases,
                              const uint16_t *extra_bits, uint32_t requested_bits, const std::string &label)
{
    CodeEntry *table = nullptr;
    uint32_t lookup_bits = requested_bits;
    ASSERT_EQ(int(TableResult::Complete),
              int(BuildCodeTables(COUNTING_BUILD, lengths.data(), uint32_t(lengths.size()), plain_count, bases,
                                  extra_bits, &table, &lookup_bits)))
        << label;
    ASSERT_NE(nullptr, table) << label;
    uint32_t longest_bits = *std::max_element(lengths.begin(), lengths.end());
    EXPECT_LE(lookup_bits, longest_bits) << label;
    std::vector<uint32_t> codes = CanonicalCodes(lengths);
    for (uint32_t symbol = 0; symbol < lengths.size(); symbol++) {
        if (!lengths[symbol])
            continue;
        uint32_t consumed_bits = 0;
        uint32_t looked_at_bits = 0;
        const CodeEntry *entry =
            Walk(table, lookup_bits, Reversed(codes[symbol], lengths[symbol]), &consumed_bits, &looked_at_bits);
        ASSERT_EQ(lengths[symbol], consumed_bits) << label << ", symbol " << symbol;
        // A sub-table that holds the end-of-block code ends where it ends, so
        // decoding a block's last symbol looks at no bits past it.
        if (symbol == 256 && lengths.size() > 256 && lengths[256] > lookup_bits) {
            EXPECT_EQ(lengths[256], looked_at_bits) << label << ": end-of-block lookups reach past its code";
        }
        if (symbol < plain_count) {
            EXPECT_EQ(symbol == 256 ? OP_END_OF_BLOCK : OP_LITERAL, entry->Op) << label << ", symbol " << symbol;
            EXPECT_EQ(symbol, entry->Value) << label << ", symbol " << symbol;
        } else {
            EXPECT_EQ(extra_bits[symbol - plain_count], entry->Op) << label << ", symbol " << symbol;
            EXPECT_EQ(bases[symbol - plain_count], entry->Value) << label << ", symbol " << symbol;
        }
    }
    // A complete code leaves no entry unfilled (a zero entry consumes no
    // bits) and looks no further than its longest code.
    for (uint32_t pattern = 0; pattern < (1u << longest_bits); pattern++) {
        uint32_t consumed_bits = 0;
        const CodeEntry *entry = Walk(table, lookup_bits, pattern, &consumed_bits);
        ASSERT_GT(entry->Bits, 0) << label << ", pattern " << pattern;
        ASSERT_LE(consumed_bits, longest_bits) << label << ", pattern " << pattern;
    }
    FreeCodeTables(table);
}

TEST(InflateCodeTables, EverySymbolDecodes)
{
    DecoderHarness harness;
    std::vector<uint8_t> fixed(288, 8);
    std::fill(fixed.begin() + 144, fixed.begin() + 256, 9);
    std::fill(fixed.begin() + 256, fixed.begin() + 280, 7);
    ExpectDecodesEverySymbol(fixed, 257, LengthBases[0], LengthExtraBits[0], 7, "fixed literal/length, deflate");
    ExpectDecodesEverySymbol(fixed, 257, LengthBases[1], LengthExtraBits[1], 7, "fixed literal/length, Deflate64");
    ExpectDecodesEverySymbol(std::vector<uint8_t>(32, 5), 0, DistanceBases, DistanceExtraBits, 5, "fixed distance");

    std::mt19937 random(61);
    for (int round = 0; round < 300; round++) {
        uint32_t used_count = 2 + random() % 250;
        std::vector<uint8_t> literal = RandomCompleteLengths(288, used_count, random);
        ExpectDecodesEverySymbol(literal, 257, LengthBases[round & 1], LengthExtraBits[round & 1], 9,
                                 "random literal/length code " + std::to_string(round));
        std::vector<uint8_t> distance = RandomCompleteLengths(32, 2 + random() % 30, random);
        ExpectDecodesEverySymbol(distance, 0, DistanceBases, DistanceExtraBits, 6,
                                 "random distance code " + std::to_string(round));
    }
    EXPECT_EQ(0, DecoderHarness::LiveTables());
}

TEST(InflateCodeTables, ResultsAndLookupBits)
{
    DecoderHarness harness;
    struct Case {
        const char *name;
        std::vector<uint8_t> lengths;
        uint32_t requested_bits;
        TableResult expected;
        uint32_t expected_bits;
        bool has_table;
    } const cases[] = {
        {"complete", {1, 2, 3, 3}, 9, TableResult::Complete, 3, true},
        {"root raised to the shortest", {8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8,
                                         8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8,
                                         8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8,
                                         8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8},
         6, TableResult::Incomplete, 8, true},
        {"incomplete", {2, 2, 2}, 9, TableResult::Incomplete, 2, true},
        {"single one-bit code", {0, 1, 0}, 7, TableResult::Complete, 1, true},
        {"single two-bit code", {0, 2, 0}, 7, TableResult::Incomplete, 2, true},
        {"over-subscribed", {1, 1, 1}, 7, TableResult::Oversubscribed, 1, false},
        {"over-subscribed at the longest", {1, 2, 3, 3, 3}, 7, TableResult::Oversubscribed, 3, false},
        {"empty", {0, 0, 0, 0}, 7, TableResult::Complete, 0, false},
    };
    for (const Case &c : cases) {
        CodeEntry *table = reinterpret_cast<CodeEntry *>(1);
        uint32_t lookup_bits = c.requested_bits;
        TableResult result = BuildCodeTables(COUNTING_BUILD, c.lengths.data(), uint32_t(c.lengths.size()),
                                             uint32_t(c.lengths.size()), nullptr, nullptr, &table, &lookup_bits);
        EXPECT_EQ(int(c.expected), int(result)) << c.name;
        EXPECT_EQ(c.expected_bits, lookup_bits) << c.name;
        EXPECT_EQ(c.has_table, table != nullptr) << c.name;
        if (result == TableResult::Incomplete) {
            // The free code space decodes as invalid: the last pattern of the
            // longest length is never a real code of an incomplete code.
            uint32_t consumed_bits = 0;
            EXPECT_EQ(OP_INVALID, Walk(table, lookup_bits, (1u << lookup_bits) - 1, &consumed_bits)->Op) << c.name;
        }
        FreeCodeTables(table);
    }
    FreeCodeTables(nullptr);
    EXPECT_EQ(0, DecoderHarness::LiveTables());
}

// A build that runs out of table memory at the root, at a sub-table and at
// a nested sub-table: everything built for the code so far is released, the
// caller's report is made once, and when it returns the result is
// Oversubscribed with no table.
TEST(InflateCodeTables, OutOfMemoryFreesTheCodeAndReportsToTheCaller)
{
    // Root clamped to 2 bits: the 3- and 4-bit codes sit in a 2-bit sub-table
    // under prefix 11, the two 5-bit codes in a 1-bit one nested below it.
    const uint8_t lengths[] = {1, 2, 3, 4, 5, 5};
    const struct Case {
        const char *name;
        int32_t failing_allocation;
    } cases[] = {{"root", 0}, {"sub-table", 1}, {"nested sub-table", 2}};
    for (const Case &c : cases) {
        DecoderHarness harness;
        exhausted_reports = 0;
        DecoderHarness::FailAllocation(c.failing_allocation);
        CodeEntry *table = reinterpret_cast<CodeEntry *>(1);
        uint32_t lookup_bits = 2;
        TableResult result = BuildCodeTables(COUNTING_BUILD, lengths, sizeof lengths, sizeof lengths, nullptr,
                                             nullptr, &table, &lookup_bits);
        DecoderHarness::FailAllocation(-1);
        EXPECT_EQ(int(TableResult::Oversubscribed), int(result)) << c.name;
        EXPECT_EQ(nullptr, table) << c.name;
        EXPECT_EQ(1, exhausted_reports) << c.name;
        EXPECT_EQ(0, DecoderHarness::LiveTables()) << c.name << ": tables left behind";
    }
    // With memory to spare the same code needs exactly those three tables.
    DecoderHarness harness;
    exhausted_reports = 0;
    CodeEntry *table = nullptr;
    uint32_t lookup_bits = 2;
    EXPECT_EQ(int(TableResult::Complete), int(BuildCodeTables(COUNTING_BUILD, lengths, sizeof lengths,
                                                              sizeof lengths, nullptr, nullptr, &table,
                                                              &lookup_bits)));
    EXPECT_EQ(3, DecoderHarness::LiveTables());
    EXPECT_EQ(0, exhausted_reports);
    FreeCodeTables(table);
}

std::jmp_buf exhausted_jump;

void JumpOnExhaustion()
{
    exhausted_reports++;
    std::longjmp(exhausted_jump, 1);
}

// Every allocation of a dynamic block failing in turn: the failure is
// reported (the hook does not return) and no table is left behind.
TEST(InflateCodeTables, TableMemoryExhaustedReleasesEverything)
{
    std::vector<uint8_t> text = MakeSample(SampleKind::Text, 20000, 62);
    std::vector<uint8_t> compressed = ZlibRawDeflate(text, 9, 0);
    int failures_seen = 0;
    for (int32_t failing = 0;; failing++) {
        DecoderHarness harness;
        StreamCalls.TableMemoryExhausted = JumpOnExhaustion;
        exhausted_reports = 0;
        DecoderHarness::FailAllocation(failing);
        volatile bool jumped = false;
        if (setjmp(exhausted_jump) == 0) {
            MemberRun run = harness.DecodeMember(compressed, 0);
            EXPECT_EQ(InflateResult::Done, run.result);
        } else {
            jumped = true;
        }
        DecoderHarness::FailAllocation(-1);
        if (!jumped)
            break;  // past the last allocation: decoded normally
        failures_seen++;
        EXPECT_EQ(1, exhausted_reports) << "allocation " << failing;
        EXPECT_EQ(0, DecoderHarness::LiveTables()) << "allocation " << failing << ": tables left behind";
        ASSERT_LT(failing, 10000);
    }
    EXPECT_GT(failures_seen, 3);
}

}  // namespace
