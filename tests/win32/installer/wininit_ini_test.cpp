// The WinInit.Ini edit, run on files of this test's own: each case writes a
// file (or none), adds one entry and compares the whole file byte for byte.
#include "installer/wininit_ini.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "installer/installer_support.h"
#include "support/test_files.h"

namespace {

using namespace stub_test;

const char FIRST[] = "C:\\WINDOWS\\TEMP\\TVSE0.TMP\\SETUP.EXE";
const char SECOND[] = "C:\\WINDOWS\\TEMP\\TVSE0.TMP\\DATOS.CAB";
const std::string FIRST_LINE = std::string("NUL=") + FIRST + "\r\n";
const std::string SECOND_LINE = std::string("NUL=") + SECOND + "\r\n";

TEST(WinInitIni, EntryGoesFirstIntoTheRenameSection)
{
    const std::string old_entry = "NUL=C:\\OLD.TXT\r\n";
    struct Case {
        const char *label;
        bool exists;
        std::string before, after;
    } const cases[] = {
        {"no file", false, "", "[Rename]\r\n" + FIRST_LINE},
        {"empty file", true, "", "[Rename]\r\n" + FIRST_LINE},
        {"no section", true, "[boot]\r\nshell=Explorer.exe\r\n",
         "[boot]\r\nshell=Explorer.exe\r\n[Rename]\r\n" + FIRST_LINE},
        {"last line without its break", true, "[boot]\r\nshell=Explorer.exe",
         "[boot]\r\nshell=Explorer.exe[Rename]\r\n" + FIRST_LINE},
        {"section with an entry", true, "[Rename]\r\n" + old_entry, "[Rename]\r\n" + FIRST_LINE + old_entry},
        {"section between others", true, "[boot]\r\na=1\r\n[Rename]\r\n" + old_entry + "[386Enh]\r\nb=2\r\n",
         "[boot]\r\na=1\r\n[Rename]\r\n" + FIRST_LINE + old_entry + "[386Enh]\r\nb=2\r\n"},
        {"empty section at the end", true, "[boot]\r\n[Rename]\r\n", "[boot]\r\n[Rename]\r\n" + FIRST_LINE},
        {"header in lower case", true, "[rename]\r\n" + old_entry,
         "[rename]\r\n" + old_entry + "[Rename]\r\n" + FIRST_LINE},
        {"header without its CR", true, "[Rename]\n" + old_entry,
         "[Rename]\n" + old_entry + "[Rename]\r\n" + FIRST_LINE},
        {"header after a NUL byte", true, std::string("a=1\r\n\0[Rename]\r\n", 16),
         std::string("a=1\r\n\0[Rename]\r\n", 16) + "[Rename]\r\n" + FIRST_LINE},
    };
    ScratchFolder scratch("wininit");
    const std::string ini = scratch / "WinInit.Ini";
    for (const Case &c : cases) {
        DeleteFileA(ini.c_str());
        if (c.exists)
            ASSERT_TRUE(MakeFile(ini, c.before)) << c.label;
        AddRenameEntry(ini.c_str(), FIRST);
        EXPECT_EQ(c.after, ReadWholeFile(ini)) << c.label;
    }
}

TEST(WinInitIni, LaterEntryGoesAboveTheEarlier)
{
    ScratchFolder scratch("wininit-two");
    const std::string ini = scratch / "WinInit.Ini";
    AddRenameEntry(ini.c_str(), FIRST);
    AddRenameEntry(ini.c_str(), SECOND);
    EXPECT_EQ("[Rename]\r\n" + SECOND_LINE + FIRST_LINE, ReadWholeFile(ini));
}

// A file another program holds without sharing keeps its content and length.
TEST(WinInitIni, FileInUseIsLeftAlone)
{
    ScratchFolder scratch("wininit-held");
    const std::string ini = scratch / "WinInit.Ini";
    ASSERT_TRUE(MakeFile(ini, "[boot]\r\n"));
    HANDLE held = CreateFileA(ini.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, held);
    AddRenameEntry(ini.c_str(), FIRST);
    CloseHandle(held);
    EXPECT_EQ("[boot]\r\n", ReadWholeFile(ini));
}

}  // namespace
