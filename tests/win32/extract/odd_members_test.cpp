// Sound members that Info-ZIP unzip reads otherwise, so that its tree is no
// oracle for them (make_failures.py writes them into odd/): directory
// entries of any method, names with a leading separator, dates past the
// month's end, and a name whose last byte is the trail byte 0x5C of a
// double-byte character.
#include <gtest/gtest.h>
#include <windows.h>

#include <map>
#include <string>
#include <vector>

#include "extract/extraction_support.h"
#include "support/test_files.h"

namespace {

using namespace stub_test;

bool IsFolder(const std::string &path)
{
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

class OddMembersTest : public ExtractionRunTest {
protected:
    // Runs odd\<name>.exe into a fresh folder; its full path. The run must
    // succeed without a box.
    static std::string RunOdd(const char *name)
    {
        const std::string folder = FullPath(std::string("odd-") + name);
        RemoveTree(folder);
        WindowAnswerer boxes(PressOnEveryBox(IDOK));
        const int result = Run(Archives(std::string("odd\\") + name + ".exe"), folder);
        const std::vector<std::string> &texts = boxes.Stop();
        EXPECT_EQ(0, result) << name;
        EXPECT_TRUE(texts.empty()) << name << ": " << (texts.empty() ? "" : texts[0]);
        return folder;
    }
};

// Only file data is decoded: a directory entry makes its folder whatever
// method it names, and its data (two bytes here) is stepped over.
TEST_F(OddMembersTest, DirectoryEntriesOfAnyMethodMakeTheirFolders)
{
    const std::string folder = RunOdd("directory-methods");
    EXPECT_TRUE(IsFolder(folder + "\\cifrada")) << "method 99";
    EXPECT_TRUE(IsFolder(folder + "\\rara")) << "method 12";
    std::map<std::string, long> files;
    ListFiles(folder, "", files);
    EXPECT_EQ((std::map<std::string, long>{{"rara\\dos.txt", 510}}), files);
    RemoveTree(folder);
}

// One leading separator is dropped from a directory entry's name as from a
// file's: its folders are made under the target folder, never from the
// root of its drive.
TEST_F(OddMembersTest, LeadingSeparatorStaysUnderTheTargetFolder)
{
    RemoveTree("\\raiz");
    const std::string folder = RunOdd("leading-separator");
    EXPECT_TRUE(IsFolder(folder + "\\raiz\\vacia"));
    std::map<std::string, long> files;
    ListFiles(folder, "", files);
    EXPECT_EQ((std::map<std::string, long>{{"raiz\\dos.txt", 510}}), files);
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA("\\raiz")) << "made at the root of the drive";
    RemoveTree(folder);
    RemoveTree("\\raiz");
}

// A day past the month's end becomes its last day (leap years counted), at
// the stored clock time, read back as a listing shows it.
TEST_F(OddMembersTest, ImpossibleDatesStampTheMonthsLastDay)
{
    const std::string folder = RunOdd("impossible-dates");
    struct Case {
        const char *name;
        WORD year, month, day;
    } const cases[] = {
        {"febrero.txt", 2021, 2, 28},
        {"bisiesto.txt", 2020, 2, 29},
        {"siglo.txt", 2100, 2, 28},
        {"abril.txt", 2021, 4, 30},
    };
    for (const Case &c : cases) {
        WIN32_FILE_ATTRIBUTE_DATA data;
        ASSERT_TRUE(GetFileAttributesExA((folder + "\\" + c.name).c_str(), GetFileExInfoStandard, &data)) << c.name;
        FILETIME local;
        SYSTEMTIME clock;
        ASSERT_TRUE(FileTimeToLocalFileTime(&data.ftLastWriteTime, &local));
        ASSERT_TRUE(FileTimeToSystemTime(&local, &clock));
        EXPECT_EQ(c.year, clock.wYear) << c.name;
        EXPECT_EQ(c.month, clock.wMonth) << c.name;
        EXPECT_EQ(c.day, clock.wDay) << c.name;
        EXPECT_EQ(10, clock.wHour) << c.name;
        EXPECT_EQ(20, clock.wMinute) << c.name;
        EXPECT_EQ(30, clock.wSecond) << c.name;
    }
    RemoveTree(folder);
}

// "dbcs/" and 0x95 0x5C: under code page 932 an empty file named by one
// character; under a single-byte code page a directory entry (0x95, then
// "\"). Either way under the target folder, never beside it.
TEST_F(OddMembersTest, DbcsTrailByteStaysInTheTargetFolder)
{
    RemoveTree(FullPath("dbcs"));
    const std::string folder = RunOdd("dbcs-trail");
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(FullPath("dbcs").c_str())) << "made beside the target";
    std::map<std::string, long> files;
    ListFiles(folder, "", files);
    if (GetACP() == 932) {
        EXPECT_EQ((std::map<std::string, long>{{"dbcs\\\x95\x5c", 0}, {"dos.txt", 510}}), files);
    } else {
        EXPECT_TRUE(IsFolder(folder + "\\dbcs\\\x95"));
        EXPECT_EQ((std::map<std::string, long>{{"dos.txt", 510}}), files);
    }
    RemoveTree(folder);
    RemoveTree(FullPath("dbcs"));
}

}  // namespace
