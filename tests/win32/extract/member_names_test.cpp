// The stored-name checks on their own: which names are refused before
// anything is created for them, and which member is a directory entry.
// What a run does with such names is in failure_test.cpp.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "archive/output_path.h"

namespace {

TEST(MemberNames, UnsafeNamesAreTold)
{
    struct Case {
        std::string stored;  // the stored bytes, NULs included
        bool unsafe;
    } const cases[] = {
        {"docs/leeme.txt", false},
        {"/docs/leeme.txt", false},  // one leading separator is dropped
        {"docs/", false},
        {"a..b/..c/d..", false},
        {std::string("fuera/sub\0/", 11), true},  // a NUL anywhere among the stored bytes
        {std::string("uno.txt\0", 8), true},
        {std::string("\0", 1), true},
        {"../fuera.txt", true},
        {"C:fuera.txt", true},
        {"//servidor/fuera.txt", true},
        // Devices in every component, any case, any extension, blanks and
        // dots after them.
        {"CON", true}, {"prn", true}, {"Aux", true}, {"nul", true}, {"NUL.", true}, {"nul...", true},
        {"nul   ", true}, {"nul .txt", true}, {"nul.tar.gz", true}, {"docs/nul.txt", true},
        {"docs/NUL/x.txt", true}, {"COM0", true}, {"com9.log", true}, {"LPT1", true}, {"lpt0/", true},
        {"CONIN$", true}, {"conout$.txt", true}, {"com\xb9", true}, {"LPT\xb2.txt", true}, {"com\xb3", true},
        // Names that only look like one.
        {"nulo.txt", false}, {"con-fig.txt", false}, {"auxiliar/x.txt", false}, {"COM10", false},
        {"LPT", false}, {"COMA", false}, {" nul", false}, {"xnul", false}, {"conin", false},
        {"conout$$", false}, {"docs/com1x/a.txt", false}, {"com\xb4", false},
    };
    for (const Case &c : cases)
        EXPECT_EQ(c.unsafe, IsUnsafeMemberName(c.stored.c_str(), c.stored.size()))
            << "\"" << std::string(c.stored.c_str()) << "\" of " << c.stored.size() << " bytes";
}

TEST(MemberNames, DirectoryEntriesEndInASeparator)
{
    EXPECT_EQ(MemberKind::Directory, ClassifyMember("docs/"));
    EXPECT_EQ(MemberKind::Directory, ClassifyMember("docs\\sub\\"));
    EXPECT_EQ(MemberKind::File, ClassifyMember("docs/leeme.txt"));
    EXPECT_EQ(MemberKind::File, ClassifyMember(""));
}

// 0x95 0x5C is one character under code page 932: its trail byte is no
// separator, and the member a file.
TEST(MemberNamesDbcs, TrailByteMakesNoDirectoryEntry)
{
    if (GetACP() != 932)
        GTEST_SKIP() << "needs code page 932; runs in win32_extract_cp932";
    EXPECT_EQ(MemberKind::File, ClassifyMember("dbcs/\x95\x5c"));
    EXPECT_EQ(MemberKind::Directory, ClassifyMember("dbcs/\x95\x5c/"));
    EXPECT_FALSE(IsUnsafeMemberName("\x95\x5cnul", 5));  // one component, no device
    // A trail byte under 0x40, which no double-byte code page has: the
    // system might let it stand alone as a separator, a colon or a dot.
    for (const char *name : {"\x95/../../fuera.txt", "uno\x95:oculto", "a\x95.", "\x95/nul"})
        EXPECT_TRUE(IsUnsafeMemberName(name, std::string(name).size())) << name;
}

}  // namespace
