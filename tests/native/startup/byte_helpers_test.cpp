// Byte helpers and the bounded copy, append and format: the cases at the
// edge of the buffer are the ones that decide between success and an
// internal error.
#include "startup/byte_helpers.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

TEST(ByteHelpers, LetterAndSeparatorClasses)
{
    for (int byte = 0; byte < 256; byte++) {
        bool letter = (byte >= 'A' && byte <= 'Z') || (byte >= 'a' && byte <= 'z');
        EXPECT_EQ(letter, IsAsciiLetter(static_cast<unsigned char>(byte))) << "byte " << byte;
        EXPECT_EQ(byte == '\\' || byte == '/', IsPathSeparator(static_cast<unsigned char>(byte)))
            << "byte " << byte;
    }
}

TEST(ByteHelpers, CopyCompareFill)
{
    unsigned char a[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    unsigned char b[8] = {};
    EXPECT_EQ(b, CopyBytes(b, a, 8));
    EXPECT_EQ(0, CompareBytes(a, b, 8));
    b[7] = 9;
    EXPECT_EQ(1, CompareBytes(a, b, 8));
    EXPECT_EQ(0, CompareBytes(a, b, 7));
    EXPECT_EQ(0, CompareBytes(a, b, 0));
    FillBytes(b, 0x1AB, 8);  // only the low byte counts
    for (unsigned char byte : b)
        EXPECT_EQ(0xAB, byte);
}

TEST(ByteHelpers, BoundedCopyAtTheEdge)
{
    char buffer[4];
    std::memset(buffer, 'z', sizeof buffer);
    EXPECT_EQ(0, CopyString(buffer, sizeof buffer, "abc"));  // 3 bytes and the NUL: fits
    EXPECT_STREQ("abc", buffer);
    EXPECT_EQ(1, CopyString(buffer, sizeof buffer, "abcd"));  // the NUL does not fit
    EXPECT_STREQ("abc", buffer) << "a refused copy must leave the buffer as it was";
    EXPECT_EQ(0, CopyString(buffer, 1, ""));
    EXPECT_EQ(1, CopyString(buffer, 0, ""));
}

TEST(ByteHelpers, BoundedAppendAtTheEdge)
{
    char buffer[6] = "ab";
    EXPECT_EQ(0, AppendString(buffer, sizeof buffer, "cde"));
    EXPECT_STREQ("abcde", buffer);
    EXPECT_EQ(1, AppendString(buffer, sizeof buffer, "f"));
    EXPECT_STREQ("abcde", buffer);
    EXPECT_EQ(0, AppendString(buffer, sizeof buffer, ""));
    char unterminated[3] = {'x', 'y', 'z'};
    EXPECT_EQ(1, AppendString(unterminated, sizeof unterminated, ""));
}

TEST(ByteHelpers, BoundedFormatAtTheEdge)
{
    char buffer[8];
    EXPECT_EQ(0, FormatString(buffer, sizeof buffer, "%s-%d", "ab", 1234));  // 7 bytes and NUL
    EXPECT_STREQ("ab-1234", buffer);
    EXPECT_EQ(1, FormatString(buffer, sizeof buffer, "%s-%d", "ab", 12345));
    EXPECT_STREQ("", buffer) << "a refused format leaves an empty text, never a cut one";
    EXPECT_EQ(1, FormatString(buffer, 0, "x"));
}

}  // namespace
