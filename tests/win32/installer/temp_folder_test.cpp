// The temporary folder: the base from TMP, TEMP or the Windows folder's TEMP,
// and the numbered folder in it. The variables are set in-process and put
// back after each test; the Windows folder's TEMP is moved aside for the
// cases that need it gone, and moved back.
#include "installer/temp_folder.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "installer/installer_support.h"

namespace {

using namespace stub_test;

constexpr size_t PATH_BYTES = 261;

// Keeps one variable's value (in UTF-16, so that nothing is lost) and puts it
// back, or removes the variable again, at the end.
class SavedVariable {
public:
    explicit SavedVariable(const wchar_t *name) : name_(name)
    {
        wchar_t value[32768];
        const DWORD length = GetEnvironmentVariableW(name, value, 32768);
        present_ = length > 0 && length < 32768;
        if (present_)
            value_ = value;
    }
    ~SavedVariable() { SetEnvironmentVariableW(name_, present_ ? value_.c_str() : nullptr); }

private:
    const wchar_t *name_;
    bool present_;
    std::wstring value_;
};

class TempFolderTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { PrepareInstallerModules(); }

    // nullptr removes the variable.
    static void SetVariables(const char *tmp, const char *temp)
    {
        SetEnvironmentVariableA("TMP", tmp);
        SetEnvironmentVariableA("TEMP", temp);
    }

    // TempFolderBase's answer: the base, or "<none>" when it found none.
    static std::string Base()
    {
        char base[PATH_BYTES] = "<unchanged>";
        if (!TempFolderBase(base, sizeof base))
            return std::string("<none>") + (lstrcmpA(base, "<unchanged>") ? " but the buffer changed" : "");
        return base;
    }

    SavedVariable tmp_{L"TMP"}, temp_{L"TEMP"};
};

TEST_F(TempFolderTest, TrailingSeparatorIsAddedOnce)
{
    struct Case { const char *path, *after; } const cases[] = {
        {"", "\\"},
        {"C:", "C:\\"},
        {"C:\\", "C:\\"},
        {"dir", "dir\\"},
        {"C:\\dir\\", "C:\\dir\\"},
        {"dir/", "dir/"},  // a forward slash counts as a separator
        {"\\\\server\\share", "\\\\server\\share\\"},
    };
    for (const Case &c : cases) {
        char path[PATH_BYTES];
        lstrcpyA(path, c.path);
        AddTrailingSeparator(path, sizeof path);
        EXPECT_STREQ(c.after, path) << "path \"" << c.path << "\"";
    }
    char exact[5] = "abc";  // "abc\" and its NUL fill the buffer exactly
    AddTrailingSeparator(exact, sizeof exact);
    EXPECT_STREQ("abc\\", exact);
}

// Which variable gives the base, and what one step of stripping leaves of it.
TEST_F(TempFolderTest, BaseComesFromTmpThenTemp)
{
    // The buffer holds 260 characters and a NUL.
    const std::string fits = "Z:\\" + std::string(257, 'a'), too_long(261, 'a');
    struct Case {
        const char *label;
        const char *tmp, *temp;
        std::string base;
    } const cases[] = {
        {"TMP first", "Z:\\tmp-folder", "Z:\\temp-folder", "Z:\\tmp-folder"},
        {"TEMP alone", nullptr, "Z:\\temp-folder", "Z:\\temp-folder"},
        {"empty TMP", "", "Z:\\temp-folder", "Z:\\temp-folder"},
        {"one separator stripped", "Z:\\tmp-folder\\", nullptr, "Z:\\tmp-folder"},
        {"only one", "Z:\\tmp-folder\\\\", nullptr, "Z:\\tmp-folder\\"},
        {"forward slash stripped", "Z:/tmp-folder/", nullptr, "Z:/tmp-folder"},
        {"drive root kept", "C:\\", nullptr, "C:\\"},
        {"network share", "\\\\server\\share\\", nullptr, "\\\\server\\share"},
        {"existence not checked", "Z:\\no\\such\\folder", "Z:\\temp-folder", "Z:\\no\\such\\folder"},
        {"260 characters fit", fits.c_str(), "Z:\\temp-folder", fits},
        {"261 characters do not", too_long.c_str(), "Z:\\temp-folder", "Z:\\temp-folder"},
    };
    for (const Case &c : cases) {
        SetVariables(c.tmp, c.temp);
        EXPECT_EQ(c.base, Base()) << c.label;
    }
}

// A relative variable is made absolute against the current directory, where
// the program is when Install is pressed: the clean-up, which runs from
// elsewhere, must reach the same folder. A full form too long for the buffer
// counts as absent.
TEST_F(TempFolderTest, RelativeBaseIsMadeAbsolute)
{
    char current[PATH_BYTES];
    ASSERT_LT(GetCurrentDirectoryA(sizeof current, current), sizeof current);
    const std::string here = current;
    ASSERT_TRUE(here.size() > 3 && here.size() < 200) << "the test needs a current directory below a drive's root";
    const std::string parent = here.substr(0, here.find_last_of('\\'));
    // here\ddd... fills 251 bytes; 16 more do not fit.
    const std::string deep(250 - here.size(), 'd'), too_deep = deep + "-past-the-buffer";
    struct Case {
        const char *tmp;
        std::string base;
    } const cases[] = {
        {"..", parent},
        {"..\\", parent},
        {"sub\\temp", here + "\\sub\\temp"},
        {".", here},
        {"\\root-relative", here.substr(0, 2) + "\\root-relative"},
        {deep.c_str(), here + "\\" + deep},
        {too_deep.c_str(), "Z:\\temp-folder"},
    };
    for (const Case &c : cases) {
        SetVariables(c.tmp, "Z:\\temp-folder");
        EXPECT_EQ(c.base, Base()) << "TMP=" << c.tmp;
    }
}

// A path with a character the ANSI code page (1252 here) lacks arrives from
// GetEnvironmentVariableA mangled: Cyrillic letters as '?', which names no
// folder, and 'Ł' as 'L', which names another folder (made here, so that a
// base taken as it arrives would put the numbered folder there). The base
// must be the folder's short form, and the numbered folder must appear in
// the folder the variable names.
TEST_F(TempFolderTest, FolderOutsideTheCodePageIsUsedByItsShortName)
{
    ScratchFolder scratch("base-unicode");
    ASSERT_TRUE(CreateDirectoryA((scratch / "Lukasz Nowak").c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryA((scratch / "fallback").c_str(), nullptr));
    const std::wstring folder = Wide(scratch.Path());
    for (const wchar_t *name : {L"\x0414\x043C\x0438\x0442\x0440\x0438\x0439", L"\x0141ukasz Nowak"}) {
        const std::wstring named = folder + L"\\" + name;
        const std::string label = Ansi(named);
        ASSERT_TRUE(CreateDirectoryW(named.c_str(), nullptr)) << label;
        SetEnvironmentVariableW(L"TMP", named.c_str());
        SetEnvironmentVariableA("TEMP", (scratch / "fallback").c_str());

        const std::string base = Base();
        EXPECT_EQ(std::string::npos, base.find('?')) << label << " gave " << base;
        EXPECT_NE(scratch / "Lukasz Nowak", base) << label;
        EXPECT_NE(scratch / "fallback", base) << label << ": the short form was not taken";
        char created[PATH_BYTES] = "";
        EXPECT_TRUE(CreateNumberedTempFolder(base.c_str(), created, sizeof created)) << label << " gave " << base;
        EXPECT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesW((named + L"\\TVSE0.TMP").c_str()))
            << label << ": the numbered folder went to " << created;
    }
    EXPECT_EQ("", ListTree(scratch / "Lukasz Nowak")) << "the look-alike folder was used";
}

// Without a short form (the folder does not exist), such a variable counts as
// absent and the next source is used.
TEST_F(TempFolderTest, FolderOutsideTheCodePageWithoutShortNameIsSkipped)
{
    SetEnvironmentVariableW(L"TMP", L"Z:\\no-such-folder\\\x0414\x043C\x0438\x0442\x0440\x0438\x0439");
    SetEnvironmentVariableA("TEMP", "Z:\\temp-folder");
    EXPECT_EQ("Z:\\temp-folder", Base());
}

// The Windows folder's TEMP, moved aside for the test and back afterwards
// under the name it had.
class WindowsTempAside {
public:
    WindowsTempAside()
    {
        char windows[PATH_BYTES];
        GetWindowsDirectoryA(windows, sizeof windows);
        path_ = std::string(windows) + "\\TEMP";
        aside_ = std::string(windows) + "\\TEMP-talvok-aside";
        WIN32_FIND_DATAA found;
        HANDLE search = FindFirstFileA(path_.c_str(), &found);
        if (search != INVALID_HANDLE_VALUE) {
            original_ = std::string(windows) + "\\" + found.cFileName;
            FindClose(search);
        }
        moved_ = MoveFileA(path_.c_str(), aside_.c_str()) != 0;
    }
    ~WindowsTempAside()
    {
        SetFileAttributesA(path_.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileA(path_.c_str());
        RemoveDirectoryA(path_.c_str());
        if (moved_)
            MoveFileA(aside_.c_str(), original_.c_str());
    }
    const std::string &Path() const { return path_; }

private:
    std::string path_, aside_, original_;
    bool moved_;
};

TEST_F(TempFolderTest, WindowsTempIsTheLastSource)
{
    SetVariables(nullptr, "");
    WindowsTempAside windows_temp;
    ASSERT_FALSE(Exists(windows_temp.Path()));

    EXPECT_EQ(windows_temp.Path(), Base()) << "a missing TEMP is created";
    EXPECT_TRUE(IsFolder(windows_temp.Path()));
    EXPECT_EQ(windows_temp.Path(), Base()) << "an existing one is taken";

    ASSERT_TRUE(RemoveDirectoryA(windows_temp.Path().c_str()));
    ASSERT_TRUE(MakeFile(windows_temp.Path(), "not a folder"));
    EXPECT_EQ("<none>", Base()) << "a file named TEMP";
}

TEST_F(TempFolderTest, NumberedFolderIsTheFirstFree)
{
    ScratchFolder scratch("numbered");
    char created[PATH_BYTES];
    for (int n = 0; n < 5; n++)
        ASSERT_TRUE(CreateDirectoryA((scratch / ("TVSE" + std::to_string(n) + ".TMP")).c_str(), nullptr));
    ASSERT_TRUE(CreateNumberedTempFolder(scratch.Path().c_str(), created, sizeof created));
    EXPECT_EQ(scratch / "TVSE5.TMP", created) << "leftovers 0 to 4 are stepped over";

    for (int n = 6; n < 100; n++)
        ASSERT_TRUE(CreateDirectoryA((scratch / ("TVSE" + std::to_string(n) + ".TMP")).c_str(), nullptr));
    lstrcpyA(created, "<unchanged>");
    EXPECT_FALSE(CreateNumberedTempFolder(scratch.Path().c_str(), created, sizeof created)) << "all hundred present";
    EXPECT_STREQ("<unchanged>", created);
    EXPECT_FALSE(Exists(scratch / "TVSE100.TMP"));
}

TEST_F(TempFolderTest, NumberedFolderNameWithAnyBase)
{
    ScratchFolder scratch("any-base");
    struct Case { std::string base, created; } const cases[] = {
        {scratch.Path(), scratch / "TVSE0.TMP"},
        {scratch.Path() + "\\", scratch / "TVSE0.TMP"},
        {scratch.Path() + "/", scratch.Path() + "/TVSE0.TMP"},
    };
    for (const Case &c : cases) {
        char created[PATH_BYTES] = "";
        EXPECT_TRUE(CreateNumberedTempFolder(c.base.c_str(), created, sizeof created)) << c.base;
        EXPECT_EQ(c.created, created) << c.base;
        EXPECT_TRUE(IsFolder(created)) << c.base;
        RemoveDirectoryA(created);
    }
    char created[PATH_BYTES] = "<unchanged>";
    EXPECT_FALSE(CreateNumberedTempFolder("", created, sizeof created)) << "empty base";
    EXPECT_STREQ("<unchanged>", created);
}

TEST_F(TempFolderTest, DriveRootKeepsItsSeparator)
{
    RemoveDirectoryA("C:\\TVSE0.TMP");  // left by an interrupted run
    SetVariables("C:\\", nullptr);
    char created[PATH_BYTES] = "";
    ASSERT_TRUE(CreateTempFolder(created, sizeof created));
    EXPECT_STREQ("C:\\TVSE0.TMP", created);
    EXPECT_TRUE(RemoveDirectoryA(created));
}

TEST_F(TempFolderTest, CreateTempFolderNeedsTheBaseToExist)
{
    ScratchFolder scratch("whole");
    SetVariables((scratch.Path() + "\\").c_str(), nullptr);
    char created[PATH_BYTES] = "";
    ASSERT_TRUE(CreateTempFolder(created, sizeof created));
    EXPECT_EQ(scratch / "TVSE0.TMP", created);

    SetVariables((scratch / "missing").c_str(), scratch.Path().c_str());
    lstrcpyA(created, "<unchanged>");
    EXPECT_FALSE(CreateTempFolder(created, sizeof created)) << "TMP names a folder that is not there";
    EXPECT_STREQ("<unchanged>", created);
}

}  // namespace
