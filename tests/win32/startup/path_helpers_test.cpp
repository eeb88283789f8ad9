// Path helpers against the real Win32 calls under Wine. Cases that need a
// double-byte code page run when the test program starts under code page 932
// (the ctest entry win32_startup_cp932); elsewhere they skip.
#include "startup/path_helpers.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>

namespace {

// A fresh folder under the current directory, removed with its files after.
class ScratchFolder {
public:
    explicit ScratchFolder(const char *name) : path_(std::string(".\\") + name)
    {
        Remove();
        CreateDirectoryA(path_.c_str(), nullptr);
    }
    ~ScratchFolder() { Remove(); }
    std::string File(const char *name) const { return path_ + "\\" + name; }
    const std::string &Path() const { return path_; }

    static void WriteFile(const std::string &path)
    {
        HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
        ASSERT_NE(INVALID_HANDLE_VALUE, file) << path;
        CloseHandle(file);
    }

private:
    void Remove()
    {
        WIN32_FIND_DATAA found;
        HANDLE search = FindFirstFileA((path_ + "\\*").c_str(), &found);
        if (search != INVALID_HANDLE_VALUE) {
            do {
                std::string entry = path_ + "\\" + found.cFileName;
                SetFileAttributesA(entry.c_str(), FILE_ATTRIBUTE_NORMAL);
                if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                    RemoveDirectoryA(entry.c_str());
                else
                    DeleteFileA(entry.c_str());
            } while (FindNextFileA(search, &found));
            FindClose(search);
        }
        RemoveDirectoryA(path_.c_str());
    }
    std::string path_;
};

TEST(PathHelpers, StripTrailingSeparatorKeepsRoots)
{
    struct Case { const char *path; bool removed; const char *after; } const cases[] = {
        {"", false, ""},
        {"a", false, "a"},
        {"a\\", true, "a"},
        {"a/", true, "a"},
        {"C:\\a\\", true, "C:\\a"},
        {"C:\\a\\\\", true, "C:\\a\\"},     // one separator per call
        {"C:\\", false, "C:\\"},
        {"c:/", false, "c:/"},
        {"C:", false, "C:"},
        {"C:a\\", true, "C:a"},
        {"\\", false, "\\"},
        {"\\\\", false, "\\\\"},            // two separators only: both stay
        {"\\\\server\\", true, "\\\\server"},
        {"\\\\server\\share\\", true, "\\\\server\\share"},
        {"1:\\", true, "1:"},               // a drive is a letter and a colon
    };
    for (const Case &c : cases) {
        char path[64];
        lstrcpyA(path, c.path);
        EXPECT_EQ(c.removed, StripTrailingSeparator(path)) << "path \"" << c.path << "\"";
        EXPECT_STREQ(c.after, path) << "path \"" << c.path << "\"";
    }
}

TEST(PathHelpers, SeparatorSearchOnSingleByteText)
{
    const char *path = "C:\\dir/sub\\name.txt";
    EXPECT_EQ(path + 10, FindLastSeparator(path));
    EXPECT_STREQ("name.txt", FileNamePart(path));
    EXPECT_EQ(nullptr, FindLastSeparator("name.txt"));
    EXPECT_STREQ("name.txt", FileNamePart("name.txt"));
    EXPECT_EQ(nullptr, LastChar(""));
    EXPECT_EQ(path + 18, LastChar(path));
    EXPECT_EQ(path + 2, ScanToChar(path, '\\'));
    EXPECT_EQ(path + 19, ScanToChar(path, '*')) << "stops at the NUL";
    EXPECT_FALSE(IsDoubleByteAt("\xE9t\xE9"));  // 'é' is one byte in code page 1252
}

// 0x95 0x5C is one Shift-JIS character whose trail byte is '\'.
TEST(PathHelpersDbcs, TrailByteIsNeverASeparator)
{
    if (GetACP() != 932)
        GTEST_SKIP() << "needs code page 932; runs in win32_startup_cp932";
    const char *path = "C:\\dir\\\x95\x5C";
    EXPECT_TRUE(IsLeadByte(0x95));
    EXPECT_TRUE(IsDoubleByteAt(path + 7));
    EXPECT_EQ(path + 6, FindLastSeparator(path));
    EXPECT_STREQ("\x95\x5C", FileNamePart(path));
    EXPECT_EQ(path + 7, LastChar(path));

    char stripped[16];
    lstrcpyA(stripped, "a\x95\x5C");
    EXPECT_FALSE(StripTrailingSeparator(stripped));
    EXPECT_STREQ("a\x95\x5C", stripped);

    const char *scanned = "\x95\x5Cx\\y";
    EXPECT_EQ(scanned + 3, ScanToChar(scanned, '\\'));
    const char *cut = "ab\x95";  // a lead byte cut off by the NUL
    EXPECT_EQ(cut + 3, ScanToChar(cut, '\\'));
}

TEST(PathHelpers, ProbePathTellsFoldersFromFiles)
{
    ScratchFolder folder("probe");
    std::string file = folder.File("file.txt");
    ScratchFolder::WriteFile(file);

    DWORD word = 12345;
    EXPECT_EQ(0, ProbePath(folder.Path().c_str(), &word));
    EXPECT_EQ(16u, word);
    word = 12345;
    EXPECT_EQ(0, ProbePath(file.c_str(), &word));
    EXPECT_EQ(12345u, word) << "a file leaves the out word alone";
    EXPECT_EQ(0, ProbePath(file.c_str()));
    EXPECT_EQ(1, ProbePath(folder.File("missing").c_str(), &word));
    EXPECT_EQ(12345u, word);
}

TEST(PathHelpers, MakeDirectoryAndDeleteFileForced)
{
    ScratchFolder folder("made");
    std::string sub = folder.File("sub");
    EXPECT_EQ(0, MakeDirectory(sub.c_str()));
    EXPECT_EQ(1, MakeDirectory(sub.c_str())) << "exists already";

    std::string file = folder.File("readonly.txt");
    ScratchFolder::WriteFile(file);
    ASSERT_TRUE(SetFileAttributesA(file.c_str(), FILE_ATTRIBUTE_READONLY));
    ASSERT_FALSE(DeleteFileA(file.c_str())) << "the plain call must refuse, or the case proves nothing";
    EXPECT_EQ(0, DeleteFileForced(file.c_str()));
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(file.c_str()));
    EXPECT_EQ(1, DeleteFileForced(file.c_str()));
}

TEST(PathHelpers, SetFileTimesTakesDosTimeAsLocalTime)
{
    ScratchFolder folder("times");
    std::string path = folder.File("dated.txt");
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                              CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, file);

    // 2021-07-15 13:45:58.
    const WORD dos_date = ((2021 - 1980) << 9) | (7 << 5) | 15;
    const WORD dos_time = (13 << 11) | (45 << 5) | (58 / 2);
    EXPECT_EQ(1, SetFileTimes(file, dos_date, dos_time));

    FILETIME created, accessed, written;
    ASSERT_TRUE(GetFileTime(file, &created, &accessed, &written));
    CloseHandle(file);
    EXPECT_EQ(0, CompareFileTime(&created, &written));
    EXPECT_EQ(0, CompareFileTime(&accessed, &written));

    // A listing shows file times through FileTimeToLocalFileTime, which applies
    // the zone's bias in force now (as LocalFileTimeToFileTime did): the DOS
    // clock time comes back.
    FILETIME listed;
    SYSTEMTIME local, utc;
    ASSERT_TRUE(FileTimeToLocalFileTime(&written, &listed));
    FileTimeToSystemTime(&listed, &local);
    EXPECT_EQ(2021, local.wYear);
    EXPECT_EQ(7, local.wMonth);
    EXPECT_EQ(15, local.wDay);
    EXPECT_EQ(13, local.wHour);
    EXPECT_EQ(45, local.wMinute);
    EXPECT_EQ(58, local.wSecond);

    // The stored UTC clock differs from it by that bias; ctest runs this
    // program in a zone east of UTC, so the difference is not zero.
    TIME_ZONE_INFORMATION zone;
    DWORD mode = GetTimeZoneInformation(&zone);
    LONG bias_minutes = zone.Bias + (mode == TIME_ZONE_ID_DAYLIGHT ? zone.DaylightBias : zone.StandardBias);
    EXPECT_NE(0, bias_minutes) << "TZ was not passed to Wine";
    FileTimeToSystemTime(&written, &utc);
    int utc_minutes = utc.wHour * 60 + utc.wMinute;
    int local_minutes = 13 * 60 + 45;
    EXPECT_EQ(((local_minutes + bias_minutes) % 1440 + 1440) % 1440, utc_minutes);
}

// A date DosDateTimeToFileTime refuses leaves the file's times as they were.
TEST(PathHelpers, SetFileTimesLeavesARefusedDateAlone)
{
    ScratchFolder folder("times-refused");
    std::string path = folder.File("undated.txt");
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                              CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, file);
    FILETIME before[3], after[3];
    ASSERT_TRUE(GetFileTime(file, &before[0], &before[1], &before[2]));

    const WORD february_31 = ((2021 - 1980) << 9) | (2 << 5) | 31, month_13 = ((2021 - 1980) << 9) | (13 << 5) | 1;
    for (WORD dos_date : {february_31, month_13}) {
        FILETIME converted;
        ASSERT_FALSE(DosDateTimeToFileTime(dos_date, 0, &converted)) << "the system takes " << dos_date;
        EXPECT_EQ(0, SetFileTimes(file, dos_date, 0)) << dos_date;
        ASSERT_TRUE(GetFileTime(file, &after[0], &after[1], &after[2]));
        for (int i = 0; i < 3; i++)
            EXPECT_EQ(0, CompareFileTime(&before[i], &after[i])) << dos_date << ", time " << i;
    }
    CloseHandle(file);
}

TEST(PathHelpers, MakeLongNameUsesTheListedName)
{
    ScratchFolder folder("longname");
    ScratchFolder::WriteFile(folder.File("Mixed Case Name.Data"));

    char path[MAX_PATH + 1];
    lstrcpyA(path, folder.File("mixed case name.data").c_str());
    MakeLongName(path, sizeof path);
    EXPECT_STREQ(folder.File("Mixed Case Name.Data").c_str(), path);

    char short_path[MAX_PATH + 1];
    if (GetShortPathNameA(folder.File("Mixed Case Name.Data").c_str(), short_path, sizeof short_path)) {
        MakeLongName(short_path, sizeof short_path);
        EXPECT_STREQ(("Mixed Case Name.Data"), FileNamePart(short_path));
    }

    lstrcpyA(path, folder.File("absent.txt").c_str());
    MakeLongName(path, sizeof path);
    EXPECT_STREQ(folder.File("absent.txt").c_str(), path) << "unchanged when not found";
}

TEST(PathHelpers, MappedDrivesAreValidUnmappedOnesAreNot)
{
    EXPECT_TRUE(IsValidDrive("C:\\anything"));
    char letter[] = "?:\\";
    for (char c = 'Y'; c >= 'D'; c--) {  // find a letter Wine has not mapped
        letter[0] = c;
        if (GetDriveTypeA(letter) <= DRIVE_NO_ROOT_DIR) {
            EXPECT_FALSE(IsValidDrive(letter)) << letter;
            return;
        }
    }
    GTEST_SKIP() << "every letter from D: to Y: is mapped in this prefix: no unmapped drive to refuse";
}

TEST(PathHelpers, ReadEnvironmentGivesTheValueOrNothing)
{
    ASSERT_TRUE(SetEnvironmentVariableA("TALVOK_TEST_VALUE", "valor"));
    char buffer[16] = {};
    EXPECT_EQ(5u, ReadEnvironment("TALVOK_TEST_VALUE", buffer, sizeof buffer));
    EXPECT_STREQ("valor", buffer);
    EXPECT_EQ(0u, ReadEnvironment("TALVOK_TEST_UNSET", buffer, sizeof buffer));
}

TEST(WineCodePages, SpanishWindows)
{
    if (GetACP() == 932)
        GTEST_SKIP() << "the cp932 run";
    EXPECT_EQ(1252u, GetACP());
    EXPECT_EQ(850u, GetOEMCP());
}

}  // namespace
