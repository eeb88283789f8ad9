// Hand-built streams for the corners of the format that encoders rarely or
// never produce: one table of cases, each decoded by the fast path, the simple
// path and with one-byte refills, on a fresh (zero) window.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "bit_writer.h"
#include "inflate_harness.h"

namespace {

struct Crafted {
    std::string name;
    uint8_t deflate64;
    std::vector<uint8_t> stream;
    int32_t cut_bytes;  // compressed size told to the decoder; -1 = whole stream
    Rejection expected; // None: decodes to the end
    std::vector<uint8_t> output;
};

std::vector<uint8_t> Text(const std::string &text)
{
    return std::vector<uint8_t>(text.begin(), text.end());
}

std::vector<uint8_t> Repeat(uint8_t byte, size_t count)
{
    return std::vector<uint8_t>(count, byte);
}

std::vector<uint8_t> Concat(std::vector<uint8_t> a, const std::vector<uint8_t> &b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// Appends a match the way a decoder must: byte by byte from distance back,
// reading zeros before the start (a fresh window).
void ReferenceMatch(std::vector<uint8_t> &output, size_t distance, size_t length)
{
    for (size_t i = 0; i < length; i++)
        output.push_back(output.size() >= distance ? output[output.size() - distance] : 0);
}

std::vector<uint8_t> LengthsOf(size_t count, std::initializer_list<std::pair<uint32_t, uint8_t>> set)
{
    std::vector<uint8_t> lengths(count, 0);
    for (const auto &entry : set)
        lengths[entry.first] = entry.second;
    return lengths;
}

// Zero code lengths written as runs of 18 and 17 (and single 0s).
void WriteZeroLengths(BitWriter &writer, uint32_t count)
{
    while (count >= 11) {
        uint32_t run = count > 138 ? 138 : count;
        WriteCodeLengthSymbol(writer, 18, run - 11);
        count -= run;
    }
    if (count >= 3) {
        WriteCodeLengthSymbol(writer, 17, count - 3);
        count = 0;
    }
    while (count-- > 0)
        WriteCodeLengthSymbol(writer, 0);
}

Crafted Fixed(const std::string &name, uint8_t deflate64, Rejection expected, std::vector<uint8_t> output,
              const std::function<void(BitWriter &)> &symbols)
{
    BitWriter writer;
    writer.FixedHeader(true);
    symbols(writer);
    return {name, deflate64, writer.Bytes(), -1, expected, std::move(output)};
}

Crafted Dynamic(const std::string &name, const DynamicCode &code, Rejection expected,
                std::vector<uint8_t> output, const std::function<void(BitWriter &)> &symbols)
{
    BitWriter writer;
    code.WriteHeader(writer, true);
    symbols(writer);
    return {name, 0, writer.Bytes(), -1, expected, std::move(output)};
}

std::vector<Crafted> CraftedCases()
{
    std::vector<Crafted> cases;
    const Rejection DONE = Rejection::None;

    {
        BitWriter writer;
        writer.StoredBlock(false, {});  // LEN 0: nothing, and on to the next block
        writer.FixedHeader(true);
        writer.FixedSymbol('h');
        writer.FixedSymbol('i');
        writer.FixedSymbol(256);
        cases.push_back({"empty stored block, then a fixed block", 0, writer.Bytes(), -1, DONE, Text("hi")});
    }
    {
        BitWriter writer;
        writer.Bits(1, 1);
        writer.Bits(0, 2);
        writer.AlignToByte();
        writer.Bits(5, 16);
        writer.Bits(0xFFFA ^ 1, 16);  // NLEN off by one bit
        writer.Bits(0, 40);
        cases.push_back({"stored LEN/NLEN mismatch", 0, writer.Bytes(), -1, Rejection::StoredLengthMismatch, {}});
    }
    {
        BitWriter writer;
        writer.StoredBlock(false, Text("lost"));
        writer.Bits(1, 1);
        writer.Bits(3, 2);  // reserved type
        writer.Bits(0, 16);
        cases.push_back({"block type 3 (earlier output dropped)", 0, writer.Bytes(), -1, Rejection::ReservedBlockType, {}});
    }

    // Length code 285 in both modes.
    cases.push_back(Fixed("code 285 in deflate is 258", 0, DONE, Repeat('x', 259), [](BitWriter &w) {
        w.FixedSymbol('x');
        w.FixedSymbol(285);
        w.FixedDistance(0);
        w.FixedSymbol(256);
    }));
    cases.push_back(Fixed("code 285 in Deflate64 is 3 + 16 extra bits", 1, DONE, Repeat('x', 1001), [](BitWriter &w) {
        w.FixedSymbol('x');
        w.FixedSymbol(285);
        w.Bits(997, 16);
        w.FixedDistance(0);
        w.FixedSymbol(256);
    }));
    {
        std::vector<uint8_t> expected = Text("xy");
        ReferenceMatch(expected, 2, 65538);
        ReferenceMatch(expected, 65536, 65538);  // a whole window back, twice over
        expected.push_back('z');
        cases.push_back(Fixed("Deflate64 matches of 65538 across the window's end", 1, DONE, expected, [](BitWriter &w) {
            w.FixedSymbol('x');
            w.FixedSymbol('y');
            w.FixedSymbol(285);
            w.Bits(0xFFFF, 16);
            w.FixedDistance(1);  // distance 2
            w.FixedSymbol(285);
            w.Bits(0xFFFF, 16);
            w.FixedDistance(31);
            w.Bits(0x3FFF, 14);  // distance 65536
            w.FixedSymbol('z');
            w.FixedSymbol(256);
        }));
    }
    cases.push_back(Fixed("code 286 is invalid", 0, Rejection::InvalidCode, {}, [](BitWriter &w) {
        w.FixedSymbol('a');
        w.FixedSymbol(286);
        w.Bits(0, 32);
    }));
    cases.push_back(Fixed("code 287 is invalid in Deflate64 too", 1, Rejection::InvalidCode, {}, [](BitWriter &w) {
        w.FixedSymbol(287);
        w.Bits(0, 32);
    }));

    // Distance codes 30 and 31, in both modes, reaching data and before it.
    {
        std::vector<uint8_t> data = MakeSample(SampleKind::Random, 40000, 21);
        BitWriter writer;
        writer.StoredBlock(false, data);
        writer.FixedHeader(true);
        writer.FixedSymbol(264);  // length 10
        writer.FixedDistance(30);
        writer.Bits(40000 - 32769, 14);
        writer.FixedSymbol(256);
        std::vector<uint8_t> expected = data;
        ReferenceMatch(expected, 40000, 10);
        cases.push_back({"distance code 30 in deflate", 0, writer.Bytes(), -1, DONE, expected});
    }
    {
        std::vector<uint8_t> data = MakeSample(SampleKind::Random, 50000, 22);
        BitWriter writer;
        writer.StoredBlock(false, data);
        writer.FixedHeader(true);
        writer.FixedSymbol(265);  // length 11 + 1 extra bit
        writer.Bits(1, 1);
        writer.FixedDistance(31);
        writer.Bits(50000 - 49153, 14);
        writer.FixedSymbol(256);
        std::vector<uint8_t> expected = data;
        ReferenceMatch(expected, 50000, 12);
        cases.push_back({"distance code 31 in Deflate64", 1, writer.Bytes(), -1, DONE, expected});
    }
    cases.push_back(Fixed("distance before the output's start reads the (zero) window", 0, DONE,
                          Concat(Text("A"), Repeat(0, 10)), [](BitWriter &w) {
                              w.FixedSymbol('A');
                              w.FixedSymbol(264);
                              w.FixedDistance(30);
                              w.Bits(0, 14);
                              w.FixedSymbol(256);
                          }));
    {
        std::vector<uint8_t> data = MakeSample(SampleKind::Text, 65530, 23);
        BitWriter writer;
        writer.StoredBlock(false, data);
        writer.FixedHeader(true);
        writer.FixedSymbol(272);  // length 31 + 2 extra bits
        writer.Bits(3, 2);
        writer.FixedDistance(13);  // distance 97 + 5 extra bits
        writer.Bits(3, 5);
        writer.FixedSymbol(256);
        std::vector<uint8_t> expected = data;
        ReferenceMatch(expected, 100, 34);
        cases.push_back({"match crossing the window's end", 0, writer.Bytes(), -1, DONE, expected});
    }

    {
        // The fast path copies matches a word at a time, writing past the
        // match's end. The next match reads exactly there from 65534 back: it
        // must find the history, not the previous match's spill.
        std::vector<uint8_t> data = MakeSample(SampleKind::Random, 70000, 24);
        BitWriter writer;
        writer.StoredBlock(false, std::vector<uint8_t>(data.begin(), data.begin() + 60000));
        writer.StoredBlock(false, std::vector<uint8_t>(data.begin() + 60000, data.end()));
        writer.FixedHeader(true);
        writer.FixedSymbol(257);  // length 3
        writer.FixedDistance(0);  // distance 1
        writer.FixedSymbol(264);  // length 10
        writer.FixedDistance(31);
        writer.Bits(65534 - 49153, 14);
        for (int i = 0; i < 80; i++)
            writer.FixedSymbol('z');  // enough input behind for the fast path
        writer.FixedSymbol(256);
        std::vector<uint8_t> expected = data;
        ReferenceMatch(expected, 1, 3);
        ReferenceMatch(expected, 65534, 10);
        expected.insert(expected.end(), 80, 'z');
        cases.push_back({"match reading just past the previous match's end", 0, writer.Bytes(), -1, DONE, expected});
    }

    // Dynamic blocks: literals only, incomplete and over-subscribed codes.
    DynamicCode literals_only(LengthsOf(257, {{'a', 1}, {'b', 2}, {256, 2}}), {0});
    cases.push_back(Dynamic("nl = 257 without distance lengths", literals_only, DONE, Text("aba"), [&](BitWriter &w) {
        literals_only.Literal(w, 'a');
        literals_only.Literal(w, 'b');
        literals_only.Literal(w, 'a');
        literals_only.Literal(w, 256);
    }));
    DynamicCode lengths_no_distances(LengthsOf(258, {{'a', 1}, {'b', 2}, {256, 2}}), {0});
    cases.push_back(Dynamic("nl > 257 without distance lengths", lengths_no_distances, Rejection::LengthsWithoutDistances, {}, [&](BitWriter &w) {
        lengths_no_distances.Literal(w, 'a');
        lengths_no_distances.Literal(w, 256);
    }));
    DynamicCode one_distance(LengthsOf(258, {{'a', 1}, {257, 2}, {256, 2}}), {1, 2});  // code 11 free
    cases.push_back(Dynamic("incomplete distance code accepted", one_distance, DONE, Text("aaaa"), [&](BitWriter &w) {
        one_distance.Literal(w, 'a');
        one_distance.Literal(w, 257);
        one_distance.Distance(w, 0);
        one_distance.Literal(w, 256);
    }));
    cases.push_back(Dynamic("incomplete distance code's free code", one_distance, Rejection::InvalidCode, {}, [&](BitWriter &w) {
        one_distance.Literal(w, 'a');
        one_distance.Literal(w, 257);
        w.Code(3, 2);  // the code nobody has
        w.Bits(0, 16);
    }));
    DynamicCode incomplete_literals(LengthsOf(257, {{'a', 1}, {256, 2}}), {0});
    cases.push_back(Dynamic("incomplete literal/length code refused", incomplete_literals, Rejection::IncompleteCode, {},
                            [&](BitWriter &w) { incomplete_literals.Literal(w, 256); }));
    DynamicCode empty_literals(LengthsOf(257, {}), {1});
    cases.push_back(Dynamic("empty literal/length code refused", empty_literals, Rejection::IncompleteCode, {},
                            [&](BitWriter &w) { w.Bits(0, 16); }));
    DynamicCode only_end(LengthsOf(257, {{256, 1}}), {0});
    cases.push_back(Dynamic("a single one-bit code is complete", only_end, DONE, {},
                            [&](BitWriter &w) { only_end.Literal(w, 256); }));
    DynamicCode oversubscribed_literals(LengthsOf(257, {{'a', 1}, {'b', 1}, {256, 1}}), {0});
    cases.push_back(Dynamic("over-subscribed literal/length code", oversubscribed_literals, Rejection::OversubscribedCode, {},
                            [&](BitWriter &w) { w.Bits(0, 16); }));
    DynamicCode oversubscribed_distances(LengthsOf(258, {{'a', 1}, {257, 2}, {256, 2}}), {1, 1, 1});
    cases.push_back(Dynamic("over-subscribed distance code", oversubscribed_distances, Rejection::OversubscribedCode, {},
                            [&](BitWriter &w) { w.Bits(0, 16); }));
    {
        BitWriter writer;
        const uint8_t all_one_bit[19] = {1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1};
        WriteDynamicPreamble(writer, true, 257, 1, all_one_bit);
        writer.Bits(0, 32);
        cases.push_back({"over-subscribed code-length code", 0, writer.Bytes(), -1, Rejection::OversubscribedCode, {}});
    }
    {
        BitWriter writer;
        const uint8_t one_code[19] = {2};  // symbol 0 alone, two bits: incomplete
        WriteDynamicPreamble(writer, true, 257, 1, one_code);
        writer.Bits(0, 32);
        cases.push_back({"incomplete code-length code", 0, writer.Bytes(), -1, Rejection::IncompleteCode, {}});
    }
    {
        BitWriter writer;
        WriteDynamicPreamble(writer, true, 257, 1, CODE_LENGTH_CODE_LENGTHS);
        WriteCodeLengthSymbol(writer, 18, 127);  // 138 zeros
        WriteCodeLengthSymbol(writer, 18, 127);  // 276 > 258
        writer.Bits(0, 32);
        cases.push_back({"code-length run past nl + nd", 0, writer.Bytes(), -1, Rejection::BadCodeLengths, {}});
    }
    {
        // Code 16 first repeats the initial previous length, 0.
        BitWriter writer;
        WriteDynamicPreamble(writer, true, 257, 1, CODE_LENGTH_CODE_LENGTHS);
        WriteCodeLengthSymbol(writer, 16, 0);  // symbols 0..2: 0
        WriteZeroLengths(writer, 'a' - 3);
        WriteCodeLengthSymbol(writer, 1);      // 'a'
        WriteCodeLengthSymbol(writer, 2);      // 'b'
        WriteZeroLengths(writer, 256 - 'c');
        WriteCodeLengthSymbol(writer, 2);      // end of block
        WriteCodeLengthSymbol(writer, 0);      // the one distance length
        DynamicCode code(LengthsOf(257, {{'a', 1}, {'b', 2}, {256, 2}}), {0});
        code.Literal(writer, 'b');
        code.Literal(writer, 'a');
        code.Literal(writer, 256);
        cases.push_back({"code-length runs, 16 first", 0, writer.Bytes(), -1, DONE, Text("ba")});
    }
    {
        // Codes up to 15 bits: nested sub-tables in both codes, and the
        // end-of-block code (12 bits) cutting a literal sub-table.
        std::vector<uint32_t> literal_symbols = {'a', 'b', 'c', 'd', 'e', 'f', 'g', 'h', 'i', 'j', 'k',
                                                 256, 'l', 257, 'm', 'n'};
        std::vector<uint8_t> literal_lengths(258, 0);
        for (size_t i = 0; i < literal_symbols.size(); i++)
            literal_lengths[literal_symbols[i]] = uint8_t(i < 15 ? i + 1 : 15);
        std::vector<uint8_t> distance_lengths(16, 0);
        for (size_t i = 0; i < 16; i++)
            distance_lengths[i] = uint8_t(i < 15 ? i + 1 : 15);
        DynamicCode code(literal_lengths, distance_lengths);
        BitWriter writer;
        code.WriteHeader(writer, true);
        std::vector<uint8_t> expected;
        for (int round = 0; round < 20; round++) {
            for (uint32_t symbol : literal_symbols) {
                if (symbol < 256) {
                    code.Literal(writer, symbol);
                    expected.push_back(uint8_t(symbol));
                }
            }
        }
        for (uint32_t distance_code = 0; distance_code < 16; distance_code++) {
            code.Literal(writer, 257);  // length 3
            code.Distance(writer, distance_code);
            writer.Bits(0, DistanceExtraBits[distance_code]);
            ReferenceMatch(expected, DistanceBases[distance_code], 3);
        }
        code.Literal(writer, 256);
        cases.push_back({"15-bit codes and a 12-bit end of block", 0, writer.Bytes(), -1, DONE, expected});
    }
    {
        // Runs of root literals as long as the root (9 bits) before a 15-bit
        // code, at every position against the refills: a refill must hold
        // every code taken after it. 0..255: 9 bits; end of block: 2;
        // 257..268: 3..14; 269, 270: 15, the latter all ones, so a lookup
        // short of bits cannot decode it.
        std::vector<uint8_t> literal_lengths(271, 9);
        literal_lengths[256] = 2;
        for (uint32_t symbol = 257; symbol <= 268; symbol++)
            literal_lengths[symbol] = uint8_t(symbol - 254);
        literal_lengths[269] = literal_lengths[270] = 15;
        DynamicCode code(literal_lengths, {1, 1});
        BitWriter writer;
        code.WriteHeader(writer, true);
        std::vector<uint8_t> expected;
        for (uint32_t round = 0; round < 24; round++) {
            for (uint32_t run = 1; run <= 8; run++) {
                for (uint32_t i = 0; i < run; i++) {
                    uint8_t byte = uint8_t(round * 37 + run * 11 + i);
                    code.Literal(writer, byte);
                    expected.push_back(byte);
                }
                code.Literal(writer, 270);  // length 23 + 2 extra bits
                writer.Bits(round & 3, 2);
                code.Distance(writer, 1);   // distance 2
                ReferenceMatch(expected, 2, 23 + (round & 3));
            }
        }
        code.Literal(writer, 256);
        cases.push_back({"9-bit root literals before 15-bit codes", 0, writer.Bytes(), -1, DONE, expected});
    }

    // Truncation.
    {
        BitWriter writer;
        writer.StoredBlock(true, Text("0123456789"));
        // Cut after five data bytes: the sixth read fails, the decoder stores
        // the previous byte again, then stops at the next byte and flushes.
        cases.push_back({"truncated in a stored block", 0, writer.Bytes(), 1 + 4 + 5, Rejection::InputExhausted, Text("012344")});
    }
    for (bool last : {true, false}) {
        // The block's end-of-block code (2 bits) ends the input exactly, but
        // its lookup wants 3 bits, so reading it runs out of input. As the last
        // block that is the end; otherwise the next block's check finds the
        // input exhausted and nothing is flushed. The literals before are
        // chosen so that the bits the decoder would read on as a next block
        // header (the last byte again) say "fixed block", whose first symbol
        // would flush: only the check at the block's start keeps the output
        // empty.
        DynamicCode code(LengthsOf(257, {{'a', 1}, {256, 2}, {'b', 3}, {'c', 3}}), {0});
        BitWriter writer;
        std::vector<uint8_t> decoded;
        auto write_block = [&](uint32_t b_count, uint32_t a_count) {
            writer = BitWriter();
            code.WriteHeader(writer, last);
            decoded = Text("bc");
            code.Literal(writer, 'b');
            code.Literal(writer, 'c');
            decoded.insert(decoded.end(), b_count, 'b');
            decoded.insert(decoded.end(), a_count, 'a');
            for (uint32_t i = 0; i < b_count; i++)
                code.Literal(writer, 'b');
            for (uint32_t i = 0; i < a_count; i++)
                code.Literal(writer, 'a');
            code.Literal(writer, 256);
            return writer.BitPosition() % 8 == 0 && ((writer.Bytes().back() >> 1) & 3) == 1;
        };
        bool found = false;
        for (uint32_t b_count = 0; b_count < 8 && !found; b_count++)
            for (uint32_t a_count = 0; a_count < 16 && !found; a_count++)
                found = write_block(b_count, a_count);
        cases.push_back({last ? "input ends with the last block" : "input ends at a block boundary", 0,
                         writer.Bytes(), -1, last ? DONE : Rejection::InputExhausted,
                         last ? decoded : std::vector<uint8_t>{}});
    }
    return cases;
}

TEST(InflateCrafted, EveryCaseInEveryPath)
{
    struct PathSetting { const char *name; uint8_t simple_only; uint32_t refill_bytes; } const settings[] = {
        {"fast path", 0, IO_CHUNK_BYTES}, {"simple path", 1, IO_CHUNK_BYTES}, {"fast path, 1-byte refills", 0, 1},
    };
    for (const Crafted &c : CraftedCases()) {
        for (const PathSetting &setting : settings) {
            DecoderHarness harness;
            Inflate.SimplePathOnly = setting.simple_only;
            MemberRun run = harness.DecodeMember(c.stream, c.deflate64, c.cut_bytes, setting.refill_bytes);
            InflateResult expected_result = c.expected == Rejection::None ? InflateResult::Done
                                            : c.expected == Rejection::ReservedBlockType ||
                                                      c.expected == Rejection::OversubscribedCode
                                                ? InflateResult::Reserved
                                                : InflateResult::Damaged;
            EXPECT_EQ(int(expected_result), int(run.result)) << c.name << ", " << setting.name;
            EXPECT_EQ(int(c.expected), int(run.rejection)) << c.name << ", " << setting.name;
            EXPECT_EQ(c.output.size(), run.output.size()) << c.name << ", " << setting.name;
            EXPECT_TRUE(c.output == run.output) << c.name << ", " << setting.name << ": output differs";
            EXPECT_EQ(0u, run.odd_chunk_writes) << c.name << ", " << setting.name;
        }
    }
}

// A truncated fixed block: the literals wholly inside the input come out,
// then whatever the reused last byte decodes to; both paths agree exactly.
TEST(InflateCrafted, TruncatedFixedBlockFlushesWhatWasDecoded)
{
    BitWriter writer;
    writer.FixedHeader(true);
    std::vector<uint8_t> text = Text("the window keeps what the block decoded");
    for (uint8_t byte : text)
        writer.FixedSymbol(byte);
    writer.FixedSymbol(256);
    for (int32_t cut_bytes : {10, 20, 38}) {
        std::vector<MemberRun> runs;
        for (uint8_t simple_only : {0, 1}) {
            DecoderHarness harness;
            Inflate.SimplePathOnly = simple_only;
            runs.push_back(harness.DecodeMember(writer.Bytes(), 0, cut_bytes));
        }
        // 3 header bits, 8 per literal: cut_bytes - 1 literals are whole.
        size_t whole_literals = size_t(cut_bytes) - 1;
        const MemberRun &run = runs[0];
        EXPECT_EQ(InflateResult::Damaged, run.result) << "cut at " << cut_bytes;
        ASSERT_GE(run.output.size(), whole_literals) << "cut at " << cut_bytes;
        EXPECT_TRUE(std::equal(text.begin(), text.begin() + long(whole_literals), run.output.begin()))
            << "cut at " << cut_bytes;
        EXPECT_TRUE(runs[1].output == run.output && runs[1].result == run.result) << "cut at " << cut_bytes;
    }
}

// The window is not cleared between streams: a distance before the second
// stream's start reads the first stream's bytes.
TEST(InflateCrafted, DistanceBeforeTheStartReadsThePreviousStream)
{
    std::vector<uint8_t> first = MakeSample(SampleKind::Random, 70000, 31);
    BitWriter second;
    second.FixedHeader(true);
    second.FixedSymbol(259);  // length 5
    second.FixedDistance(6);  // distance 9 + 1 extra bit
    second.Bits(1, 1);
    second.FixedSymbol(256);
    for (uint8_t simple_only : {0, 1}) {
        DecoderHarness harness;
        Inflate.SimplePathOnly = simple_only;
        ASSERT_EQ(InflateResult::Done, harness.DecodeMember(ZlibRawDeflate(first, 6, 0), 0).result);
        MemberRun run = harness.DecodeMember(second.Bytes(), 0);
        ASSERT_EQ(InflateResult::Done, run.result);
        // The first stream left window[i] = first[i + 65536] below 70000 - 65536
        // and first[i] above; position 0 - 10 is 65526.
        std::vector<uint8_t> expected(first.begin() + 65526, first.begin() + 65531);
        EXPECT_TRUE(expected == run.output) << "simple_only " << int(simple_only);
    }
}

// The fixed tables are kept between streams and rebuilt when the mode
// changes, since code 285 differs.
TEST(InflateCrafted, SwitchingModesRebuildsTheFixedTables)
{
    BitWriter deflate;
    deflate.FixedHeader(true);
    deflate.FixedSymbol('x');
    deflate.FixedSymbol(285);
    deflate.FixedDistance(0);
    deflate.FixedSymbol(256);
    BitWriter deflate64;
    deflate64.FixedHeader(true);
    deflate64.FixedSymbol('x');
    deflate64.FixedSymbol(285);
    deflate64.Bits(5, 16);
    deflate64.FixedDistance(0);
    deflate64.FixedSymbol(256);

    DecoderHarness harness;
    struct Step { const BitWriter *stream; uint8_t mode; size_t expected_bytes; } const steps[] = {
        {&deflate, 0, 259}, {&deflate64, 1, 9}, {&deflate64, 1, 9}, {&deflate, 0, 259}, {&deflate64, 1, 9},
    };
    for (size_t i = 0; i < sizeof steps / sizeof *steps; i++) {
        MemberRun run = harness.DecodeMember(steps[i].stream->Bytes(), steps[i].mode);
        EXPECT_EQ(InflateResult::Done, run.result) << "step " << i;
        EXPECT_TRUE(Repeat('x', steps[i].expected_bytes) == run.output) << "step " << i;
    }
}

}  // namespace
