// The name check the build and verify share, case by case: what the stub
// refuses and what Windows cannot create as it stands, walked by characters
// of the code page (a trail byte 0x5C or 0x7C of CP932 is neither a
// separator nor a '|'), and names that land on one file on Windows. The
// build's and verify's use of it are in the from-zip, from-dir and verify
// tests.
#include "ansi_codepage.h"
#include "member_name_check.h"

#include <gtest/gtest.h>

namespace {

AnsiCodepage Codepage(const char *name)
{
    AnsiCodepage codepage;
    std::string why;
    EXPECT_TRUE(FindAnsiCodepage(name, codepage, why)) << name << ": " << why;
    return codepage;
}

TEST(MemberNames, WhatNoInstallerCanExtract)
{
    const AnsiCodepage cp1252 = Codepage("CP1252");
    const struct {
        std::string name;
        const char *reason;  // nullptr: sound
    } cases[] = {
        {"setup.exe", nullptr},
        {"docs/manual.txt", nullptr},
        {"docs/", nullptr},
        {"docs\\windows style.txt", nullptr},
        {".hidden", nullptr},
        {"a.b.c", nullptr},
        {" leading blank", nullptr},
        {"CONSOLE.txt", nullptr},
        {"com10", nullptr},
        {"lpt", nullptr},
        {"Caf\xE9 \xBA.txt", nullptr},
        {"", "an empty name"},
        {"/etc/passwd", "an absolute name"},
        {"\\\\server\\share\\x", "an absolute name"},
        {"a:b", "a ':'"},
        {"C:\\x.txt", "a ':'"},
        {"q?.txt", "a '?'"},
        {"star*", "a '*'"},
        {"a|b", "a '|'"},
        {"a<b", "a '<'"},
        {"a>b", "a '>'"},
        {"say\"hi\"", "a '\"'"},
        {"tab\there", "a control character (0x09)"},
        {"line\nfeed", "a control character (0x0A)"},
        {std::string("nul\0byte", 8), "a NUL byte"},
        {std::string("escaped/sub\0/", 13), "a NUL byte"},
        {"trail.", "the part \"trail.\" ends in a dot or a blank"},
        {"...", "the part \"...\" ends in a dot or a blank"},
        {"dir./file", "the part \"dir.\" ends in a dot or a blank"},
        {"blank ", "ends in a dot or a blank"},
        {"./setup.exe", "the part \".\" ends in a dot"},
        {"../up.txt", "a \"..\" that climbs out"},
        {"docs/../../up.txt", "a \"..\" that climbs out"},
        {"docs//x", "an empty folder name"},
        {"CON", "is a device name"},
        {"con", "is a device name"},
        {"nul.", "ends in a dot"},
        {"NUL.txt", "the part \"NUL.txt\" is a device name"},
        {"docs/nul.txt", "the part \"nul.txt\" is a device name"},
        {"aux .log", "the part \"aux .log\" is a device name"},
        {"Com1", "is a device name"},
        {"COM0.dat", "is a device name"},
        {"lpt9.tar.gz", "is a device name"},
        {"LPT\xB9", "is a device name"},   // LPT and superscript 1 in CP1252
        {"com\xB3.txt", "is a device name"},
        {"CONIN$", "is a device name"},
        {"conout$.x", "is a device name"},
        {"prn/inside.txt", "the part \"prn\" is a device name"},
        {std::string(256, 'n'), "a part of 256 characters, over the 255"},
    };
    for (const auto &c : cases) {
        const std::string fault = MemberNameFault(c.name, cp1252);
        if (!c.reason) {
            EXPECT_EQ("", fault) << c.name;
            continue;
        }
        EXPECT_NE(std::string::npos, fault.find(c.reason)) << c.name << ": " << fault;
    }
    EXPECT_EQ("", MemberNameFault(std::string(255, 'n'), cp1252));
}

// In CP932 a trail byte 0x5C or 0x7C belongs to its character; in CP1252
// the same bytes are a separator and a '|'. A lead byte at the very end has
// lost its trail byte.
TEST(MemberNames, DoubleByteCharactersAreWalkedWhole)
{
    const AnsiCodepage cp932 = Codepage("CP932");
    const AnsiCodepage cp1252 = Codepage("CP1252");
    const std::string so = "\x83\x5C";    // katakana SO: trail byte '\'
    const std::string bar = "\x83\x7C";   // a trail byte '|'
    EXPECT_EQ("", MemberNameFault(so + ".txt", cp932));
    EXPECT_EQ("", MemberNameFault(bar + ".txt", cp932));
    EXPECT_EQ("", MemberNameFault("dir" + so + "/", cp932)) << "a folder entry ending in SO";
    EXPECT_NE(std::string::npos, MemberNameFault(bar + ".txt", cp1252).find("a '|'"));
    EXPECT_NE(std::string::npos, MemberNameFault("a\x83", cp932).find("lead byte"));
    EXPECT_NE(std::string::npos, MemberNameFault("dir" + so, cp932).find("takes for a folder entry"));
    EXPECT_NE(std::string::npos, MemberNameFault(std::string("a\x83\0", 3), cp932).find("NUL"));
    // 128 two-byte characters are 128 characters, not 256.
    std::string wide;
    for (int index = 0; index < 128; index++)
        wide += "\x82\xA0";
    EXPECT_EQ("", MemberNameFault(wide, cp932));
}

TEST(MemberNames, NamesThatLandOnOneFile)
{
    const struct {
        std::vector<std::string> names;
        const char *clash;  // of the last name; nullptr: none
    } cases[] = {
        {{"readme.txt", "docs/readme.txt", "docs/", "Docs/b.txt"}, nullptr},
        {{"Readme.txt", "README.TXT"}, "the same name as \"Readme.txt\" when case is ignored"},
        {{"docs/a.txt", "DOCS\\A.TXT"}, "the same name as \"docs/a.txt\""},
        {{"caf\xE9.txt", "CAF\xC9.TXT"}, "the same name as \"caf\xC3\xA9.txt\""},  // shown as UTF-8
        {{"\xF0.txt", "\xD0.txt"}, "when case is ignored"},                         // eth
        {{"docs", "docs/a.txt"}, "it needs a folder where \"docs\" is a file"},
        {{"docs/a.txt", "Docs"}, "a file where \"docs/a.txt\" needs a folder"},
        {{"docs/", "DOCS"}, "a file where \"docs/\" needs a folder"},
        {{"docs", "docs/"}, "a folder of the name of the file \"docs\""},
        {{"a.txt", "a.txt"}, "the same name as \"a.txt\""},
    };
    const AnsiCodepage cp1252 = Codepage("CP1252");
    for (const auto &c : cases) {
        NameClashes clashes(cp1252);
        std::string last;
        for (const std::string &name : c.names)
            last = clashes.Add(name);
        if (!c.clash)
            EXPECT_EQ("", last) << c.names.back();
        else
            EXPECT_NE(std::string::npos, last.find(c.clash)) << c.names.back() << ": " << last;
    }
    // Greek and Cyrillic capitals in their code pages.
    NameClashes greek(Codepage("CP1253"));
    EXPECT_EQ("", greek.Add("\xE1\xE2.txt"));     // alpha beta
    EXPECT_NE("", greek.Add("\xC1\xC2.txt"));     // ALPHA BETA
    NameClashes cyrillic(Codepage("WINDOWS-1251"));
    EXPECT_EQ("", cyrillic.Add("\xE4\xE0.txt"));  // da
    EXPECT_NE("", cyrillic.Add("\xC4\xC0.txt"));  // DA
}

TEST(MemberNames, OnlyAnsiCodepagesOfWindows)
{
    for (const char *name : {"CP1252", "cp932", "Windows-1250", "CP874", "CP1258", "raw"}) {
        AnsiCodepage codepage;
        std::string why;
        EXPECT_TRUE(FindAnsiCodepage(name, codepage, why)) << name;
    }
    for (const char *name : {"UTF-8", "CP65001", "UTF-16", "UTF-16LE", "CP1200", "CP850", "CP437", "ISO-8859-1",
                             "SHIFT_JIS", "1252", "CP", "CP1252x", "WINDOWS-"}) {
        AnsiCodepage codepage;
        std::string why;
        EXPECT_FALSE(FindAnsiCodepage(name, codepage, why)) << name;
        EXPECT_NE(std::string::npos, why.find("not an ANSI code page of Windows")) << name << ": " << why;
    }
}

}  // namespace
