// CRC-32 against the standard check values and zlib's crc32 as a reference.
#include "extract/crc32.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <random>
#include <string>
#include <vector>

namespace {

class Crc32 : public ::testing::Test {
protected:
    void SetUp() override { BuildCrcTable(); }

    static uint32_t RunningOver(const std::vector<std::pair<const void *, size_t>> &pieces)
    {
        RunningCrc = CRC32_INITIAL;
        for (const auto &piece : pieces)
            UpdateCrc(piece.first, piece.second);
        return ~RunningCrc;
    }
};

TEST_F(Crc32, StandardCheckValues)
{
    struct Case { const char *text; uint32_t expected; } const cases[] = {
        {"", 0x00000000u},
        {"abc", 0x352441C2u},
        {"123456789", 0xCBF43926u},  // the catalogue's check value of CRC-32/ISO-HDLC
        {"The quick brown fox jumps over the lazy dog", 0x414FA339u},
    };
    for (const Case &c : cases) {
        size_t length = std::char_traits<char>::length(c.text);
        EXPECT_EQ(c.expected, RunningOver({{c.text, length}})) << "text \"" << c.text << "\"";
        EXPECT_EQ(c.expected, Crc32Of(c.text, length)) << "text \"" << c.text << "\"";
    }
}

TEST_F(Crc32, TableMatchesPolynomialDefinition)
{
    EXPECT_EQ(0u, CrcTable[0]);
    EXPECT_EQ(CRC32_POLYNOMIAL, CrcTable[128]);  // 0x80: one shift-out after seven zeros
    EXPECT_EQ(0x2D02EF8Du, CrcTable[255]);
}

TEST_F(Crc32, PiecewiseEqualsWholeAndMatchesZlib)
{
    std::mt19937 random(12345);
    std::vector<uint8_t> data(100000);
    for (uint8_t &byte : data)
        byte = static_cast<uint8_t>(random());
    uint32_t reference = static_cast<uint32_t>(crc32(0, data.data(), static_cast<uInt>(data.size())));

    EXPECT_EQ(reference, RunningOver({{data.data(), data.size()}}));
    // Pieces of odd sizes, an empty piece among them.
    size_t cuts[] = {0, 1, 7, 7, 4096, 33333, data.size()};
    std::vector<std::pair<const void *, size_t>> pieces;
    for (size_t i = 1; i < sizeof cuts / sizeof cuts[0]; i++)
        pieces.push_back({data.data() + cuts[i - 1], cuts[i] - cuts[i - 1]});
    EXPECT_EQ(reference, RunningOver(pieces));
}

// UpdateCrc and Crc32Of fold eight bytes at a time and the rest byte by
// byte: every length across several blocks, at every start modulo 8, whole
// and cut in two at every point, must give zlib's CRC.
TEST_F(Crc32, EveryLengthStartAndCutMatchesZlib)
{
    constexpr size_t MAX_LENGTH = 200;
    std::mt19937 random(2024);
    std::vector<uint8_t> data(MAX_LENGTH + 8);
    for (uint8_t &byte : data)
        byte = static_cast<uint8_t>(random());
    size_t failures = 0;
    std::string first_failure;
    const auto check = [&](bool same, const std::string &what) {
        if (!same && failures++ == 0)
            first_failure = what;
    };
    for (size_t start = 0; start < 8; start++) {
        const uint8_t *bytes = data.data() + start;
        for (size_t length = 0; length <= MAX_LENGTH; length++) {
            const uint32_t reference = static_cast<uint32_t>(crc32(0, bytes, static_cast<uInt>(length)));
            const std::string where = "start " + std::to_string(start) + ", length " + std::to_string(length);
            check(Crc32Of(bytes, length) == reference, "Crc32Of, " + where);
            for (size_t cut = 0; cut <= length; cut++)
                check(RunningOver({{bytes, cut}, {bytes + cut, length - cut}}) == reference,
                      "UpdateCrc cut at " + std::to_string(cut) + ", " + where);
        }
    }
    EXPECT_EQ(0u, failures) << "first: " << first_failure;
}

TEST_F(Crc32, EmptyUpdateLeavesRegisterAlone)
{
    RunningCrc = 0x12345678u;
    UpdateCrc("x", 0);
    EXPECT_EQ(0x12345678u, RunningCrc);
}

TEST_F(Crc32, SingleByteStepIsTheUpdateStep)
{
    uint32_t reg = CRC32_INITIAL;
    for (char c : std::string("abc"))
        reg = CrcStep(reg, static_cast<uint8_t>(c));
    EXPECT_EQ(0x352441C2u, ~reg);
}

}  // namespace
