// Every text of every language the stub speaks, formatted as the stub
// formats it with the longest argument it can meet (a path or file name of
// 259 characters, the longest command and about text the builder accepts,
// the widest numbers), fits the buffer the stub formats it into: a text that
// does not stops the installer with an internal error. A translation that
// grows a message past its buffer fails here, not in front of a user.
#include "message_fit.h"
#include "portable/message_buffers.h"
#include "portable/message_table_layout.h"
#include "startup/byte_helpers.h"
#include "stub_language.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <string>
#include <vector>

namespace {

// A path of MAX_PATH - 1 characters, the longest the stub builds.
const std::string LongestPath(259, 'p');

// How the stub formats one message, and into which buffer.
struct MessageCase {
    const char *what;
    int id;
    size_t buffer_bytes;
    // 0 when it fits as the stub requires.
    int (*format)(char *buffer, size_t size, const char *const *texts, const std::string &command,
                  const std::string &about);
};

// FormatBuffer's rule: a text that reaches its last byte counts as too long.
int BelowLastByte(int failed, const char *buffer, size_t size)
{
    return failed || std::strlen(buffer) >= size - 1;
}

const MessageCase MessageCases[] = {
    {"insert disk N", 1, FORMAT_BUFFER_BYTES,
     [](char *b, size_t n, const char *const *t, const std::string &, const std::string &) {
         return BelowLastByte(FormatString(b, n, t[1], INT_MIN, LongestPath.c_str()), b, n);
     }},
    {"insert the last disk", 2, FORMAT_BUFFER_BYTES,
     [](char *b, size_t n, const char *const *t, const std::string &, const std::string &) {
         return BelowLastByte(FormatString(b, n, t[2], LongestPath.c_str()), b, n);
     }},
    {"no disk", 3, FORMAT_BUFFER_BYTES,
     [](char *b, size_t n, const char *const *t, const std::string &, const std::string &) {
         return BelowLastByte(FormatString(b, n, t[3], INT_MIN), b, n);
     }},
    {"wrong label", 4, FORMAT_BUFFER_BYTES,
     [](char *b, size_t n, const char *const *t, const std::string &, const std::string &) {
         return BelowLastByte(FormatString(b, n, t[4], INT_MIN), b, n);
     }},
    {"still running", 17, STILL_RUNNING_BYTES,
     [](char *b, size_t n, const char *const *t, const std::string &command, const std::string &) {
         return FormatString(b, n, t[17], command.c_str());
     }},
    {"the shell's failure", 23, COMMAND_LINE_BYTES,
     [](char *b, size_t n, const char *const *t, const std::string &command, const std::string &) {
         return FormatString(b, n, t[23], INT_MIN, command.c_str());
     }},
    {"overwrite question", 25, OVERWRITE_QUESTION_BYTES,
     [](char *b, size_t n, const char *const *t, const std::string &, const std::string &) {
         return FormatString(b, n, t[25], LongestPath.c_str());
     }},
    {"cannot create the file", 38, FORMAT_BUFFER_BYTES,
     [](char *b, size_t n, const char *const *t, const std::string &, const std::string &) {
         return BelowLastByte(FormatString(b, n, t[38], LongestPath.c_str()), b, n);
     }},
    {"bad CRC", 40, FORMAT_BUFFER_BYTES,
     [](char *b, size_t n, const char *const *t, const std::string &, const std::string &) {
         return BelowLastByte(FormatString(b, n, t[40], LongestPath.c_str(), 0xFFFFFFFFul, 0xFFFFFFFFul), b, n);
     }},
    {"cannot create the folder", 42, FORMAT_BUFFER_BYTES,
     [](char *b, size_t n, const char *const *t, const std::string &, const std::string &) {
         return BelowLastByte(FormatString(b, n, t[42], LongestPath.c_str()), b, n);
     }},
    {"status line", 44, STATUS_LINE_BYTES,
     [](char *b, size_t n, const char *const *t, const std::string &, const std::string &) {
         return FormatString(b, n, t[44], LongestPath.c_str());
     }},
    {"meter text, before it is cut", 44, 2 * METER_TEXT_BYTES,
     [](char *b, size_t n, const char *const *t, const std::string &, const std::string &) {
         return FormatString(b, n, t[44], LongestPath.c_str());
     }},
    {"write error", 45, FORMAT_BUFFER_BYTES,
     [](char *b, size_t n, const char *const *t, const std::string &, const std::string &) {
         return BelowLastByte(FormatString(b, n, t[45], LongestPath.c_str()), b, n);
     }},
    {"read error with its code", 46, FORMAT_BUFFER_BYTES,
     [](char *b, size_t n, const char *const *t, const std::string &, const std::string &) {
         char code[32];
         return BelowLastByte(FormatString(code, sizeof code, " <%d>", INT_MIN) ||
                                  FormatString(b, n, t[46], LongestPath.c_str()) || AppendString(b, n, code),
                              b, n);
     }},
    {"about box", 50, ABOUT_TEXT_BYTES,
     [](char *b, size_t n, const char *const *t, const std::string &, const std::string &about) {
         return FormatString(b, n, t[50], about.c_str(), t[54]);
     }},
    {"invalid drive", 56, FORMAT_BUFFER_BYTES,
     [](char *b, size_t n, const char *const *t, const std::string &, const std::string &) {
         return BelowLastByte(FormatString(b, n, t[56], LongestPath.c_str()), b, n);
     }},
};

TEST(LanguageFit, EveryTextFitsItsBufferWithItsLongestArguments)
{
    ASSERT_GE(StubLanguageCount, 2u);
    for (size_t index = 0; index < StubLanguageCount; index++) {
        const StubLanguage &language = StubLanguages[index];
        const std::string command(LongestText(HEADER_RUN_COMMAND, language.texts), 'c');
        const std::string about(LongestText(HEADER_ABOUT_TEXT, language.texts), 'a');
        for (const MessageCase &use : MessageCases) {
            std::vector<char> buffer(use.buffer_bytes);
            EXPECT_EQ(0, use.format(buffer.data(), buffer.size(), language.texts, command, about))
                << language.code << ": StringId " << use.id << " (" << use.what << ") over " << use.buffer_bytes
                << " bytes: \"" << language.texts[use.id] << "\"";
        }
    }
}

// An author who moves an installer from Spanish to English keeps every text
// the Spanish one took: English leaves at least as much room, and the full
// 256-byte command goes into every message but the question while it runs.
TEST(LanguageFit, EnglishLeavesTheAuthorAsMuchRoomAsSpanish)
{
    const StubLanguage *spanish = FindStubLanguage("es");
    const StubLanguage *english = FindStubLanguage("en");
    ASSERT_TRUE(spanish && english);
    EXPECT_EQ(spanish, &StubLanguages[0]) << "Spanish is the default";
    for (SfxHeaderField field : {HEADER_ABOUT_TEXT, HEADER_RUN_COMMAND})
        EXPECT_GE(LongestText(field, english->texts), LongestText(field, spanish->texts)) << "field " << field;
    const std::string command(256, 'c');
    char buffer[COMMAND_LINE_BYTES];
    EXPECT_EQ(0, FormatString(buffer, sizeof buffer, english->texts[23], INT_MIN, command.c_str()));
}

// Both languages keep the words the command line and the environment are
// read with, and every text is stored with its NUL where the next begins.
TEST(LanguageFit, KeywordsStayAndTablesUnpack)
{
    for (size_t index = 0; index < StubLanguageCount; index++) {
        const StubLanguage &language = StubLanguages[index];
        for (int id : {7, 9, 13, 27, 29, 58, 60})
            EXPECT_STREQ(StubLanguages[0].texts[id], language.texts[id]) << language.code << " StringId " << id;
        std::vector<uint8_t> image(language.message_blob, language.message_blob + language.message_blob_bytes);
        for (int id = 0; id <= MESSAGE_STRING_COUNT; id++)
            for (int shift = 0; shift < 32; shift += 8)
                image.push_back(uint8_t(language.message_offsets[id] >> shift));
        image.insert(image.end(), language.password_blob, language.password_blob + language.password_blob_bytes);
        EXPECT_EQ("", StubTableFault(language, image.data(), image.size())) << language.code;
        image[language.message_blob_bytes / 2] ^= 0x55;  // the table itself damaged
        EXPECT_NE("", StubTableFault(language, image.data(), image.size())) << language.code;
    }
}

}  // namespace
