// Archives spanned over three removable disks, read in-process as the main
// dialog's run reads them. The sets come from make_disk_set.py; drive A: is
// a removable drive whose disk the answering thread changes at each prompt
// (support/removable_drive.h), the way a person would before pressing the
// button. Checked: the prompts' texts and order, the run's result, the
// extracted tree against unzip's, members stepped over across disks, and the
// read errors of reads continued on a next disk that is too short.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdarg>
#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "archive/disk_label.h"
#include "archive/disk_volume.h"
#include "archive/output_path.h"
#include "extract/crypt/member_input.h"
#include "extract/extraction_support.h"
#include "extract/inflate/stream_buffers.h"
#include "startup/abort.h"
#include "startup/own_file.h"
#include "startup/run_state.h"
#include "startup/message_table.h"
#include "support/removable_drive.h"
#include "support/test_files.h"
#include "uiauto.h"

namespace {

using namespace stub_test;

void WriteText(const std::string &path, const std::string &content)
{
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written = 0;
    ::WriteFile(file, content.data(), static_cast<DWORD>(content.size()), &written, nullptr);
    CloseHandle(file);
}

std::string InsertDisk(int number) { return Format(MSG_INSERT_DISK, number, "A:"); }
std::string LabelWrong(int number) { return Format(MSG_DISK_LABEL_WRONG, number); }

// One answer to one box: the disk (a folder, or "" for none) put in the
// drive first, then the button pressed.
struct Step {
    std::string disk;
    int button;
};

class SpannedTest : public ExtractionRunTest {
protected:
    static void SetUpTestSuite()
    {
        ExtractionRunTest::SetUpTestSuite();
        drive_ = new RemovableDrive('a');
    }
    static void TearDownTestSuite()
    {
        delete drive_;
        drive_ = nullptr;
    }
    void SetUp() override { OverwriteWithoutAsking = 1; }

    static std::string Disk(const std::string &set, int number)
    {
        return Archives("span\\" + set + "\\disk" + std::to_string(number));
    }

    // Disk 1 of set in the drive, and its program taken over from there.
    static bool Start(const std::string &set)
    {
        return drive_->Insert(Disk(set, 1)) && TakeOver("A:\\INSTALL.EXE");
    }

    // Answers each box with the next step, recording its text; a box past
    // the last step is recorded and cancelled (Abort or Cancel).
    static WindowAnswerer::Answer Script(std::vector<Step> steps)
    {
        auto next = std::make_shared<size_t>(0);
        return [steps, next](HWND box) {
            std::string text = uiauto::MessageBoxText(box);
            if (*next >= steps.size()) {
                if (!uiauto::PressButtonId(box, IDCANCEL) && !uiauto::PressButtonId(box, IDABORT) &&
                    !uiauto::PressButtonId(box, IDOK))
                    text += " <could not close>";
                return text + " <unexpected>";
            }
            const Step &step = steps[(*next)++];
            if (!(step.disk.empty() ? drive_->Eject() : drive_->Insert(step.disk)))
                text += " <disk change failed>";
            if (!uiauto::PressButtonId(box, step.button))
                text += " <could not press " + std::to_string(step.button) + ">";
            return text;
        };
    }

    // Answers as a person with the whole set at hand: the disk asked for
    // goes in, and every overwrite question is answered No.
    static WindowAnswerer::Answer WholeSet(const std::string &set)
    {
        return [set](HWND box) {
            std::string text = uiauto::MessageBoxText(box);
            for (int number = 1; number <= 3; number++)
                if (text == InsertDisk(number)) {
                    if (!drive_->Insert(Disk(set, number)))
                        text += " <disk change failed>";
                    if (!uiauto::PressButtonId(box, IDOK))
                        text += " <could not press OK>";
                    return text;
                }
            // Anything else ends the run (a question is answered No).
            for (int button : {IDNO, IDCANCEL, IDABORT, IDOK})
                if (uiauto::PressButtonId(box, button))
                    return text;
            return text + " <could not close>";
        };
    }

    static RemovableDrive *drive_;
};

RemovableDrive *SpannedTest::drive_;

// Both sets read in order, extracted, then read again over the files the
// first run wrote, all stepped over (the overwrite question answered No):
// data cut in the middle, data ending at a disk's end, data beginning at the
// next disk's start, the central directory on a disk of its own, and bytes
// after a deflate stream's end that go on on the next disk; and an AES
// member's salt and another's encrypted data cut between disks.
TEST_F(SpannedTest, ThreeDisksInOrderExtractedAndSteppedOver)
{
    static char password[] = "clave secreta";
    const struct {
        const char *set, *expected;
        char *password;
    } cases[] = {{"zip", "best", nullptr},
                 {"exe", "stored", nullptr},
                 {"slack", "deflate-slack", nullptr},
                 {"lzma", "lzma-built", nullptr},
                 {"aes", "lzma-built-encrypted", password}};
    for (const auto &c : cases) {
        Password = c.password;
        const std::string folder = FullPath(std::string("span-") + c.set);
        RemoveTree(folder);
        ASSERT_TRUE(Start(c.set)) << c.set;
        {
            WindowAnswerer boxes(WholeSet(c.set));
            EXPECT_EQ(0, ExtractInto(folder)) << c.set;
            EXPECT_EQ((std::vector<std::string>{InsertDisk(2), InsertDisk(3)}), boxes.Stop()) << c.set;
        }
        EXPECT_EQ(3, CurrentDisk) << c.set;
        ExpectSameTree(Archives("expected\\" + std::string(c.expected)), folder, c.set);

        // Every file changed: a run that steps over all of them leaves them so.
        std::vector<std::string> files;
        std::map<std::string, long> listed;
        ListFiles(folder, "", listed);
        for (const auto &file : listed) {
            WriteText(folder + "\\" + file.first, "cambiado");
            files.push_back(file.first);
        }
        OverwriteWithoutAsking = 0;
        {
            WindowAnswerer boxes(WholeSet(c.set));
            EXPECT_EQ(0, ExtractInto(folder)) << c.set;
            std::vector<std::string> texts = boxes.Stop();
            std::vector<std::string> prompts;
            for (const std::string &text : texts)
                if (text.find("disco") != std::string::npos)
                    prompts.push_back(text);
            // A new run starts again from disk 1, which is not in the drive.
            EXPECT_EQ((std::vector<std::string>{InsertDisk(1), InsertDisk(2), InsertDisk(3)}), prompts) << c.set;
            EXPECT_EQ(files.size() + prompts.size(), texts.size()) << c.set << ": one question per file";
        }
        for (const std::string &file : files)
            EXPECT_EQ("cambiado", ReadWholeFile(folder + "\\" + file)) << c.set << ": " << file;
        OverwriteWithoutAsking = 1;
        RemoveTree(folder);
    }
    Password = nullptr;
}

// A copy of a disk's files with another label (none for ""), made here.
std::string Relabelled(const std::string &disk, const std::string &name, const std::string &label)
{
    const std::string folder = FullPath("span-disk-" + name);
    RemoveTree(folder);
    CreateDirectoryA(folder.c_str(), nullptr);
    for (const char *file : {"INSTALL.EXE", "INSTALL.ZIP"})
        CopyTo(disk + "\\" + file, folder + "\\" + file);
    WriteVolumeLabel(folder, label);
    return folder;
}

// The file each disk is read from: the program's path with its extension
// replaced, or with one added where its file name has none.
TEST_F(SpannedTest, ProgramPathWithoutExtensionGetsOne)
{
    const std::string folder = FullPath("span-no-extension");
    RemoveTree(folder);
    ASSERT_TRUE(Start("zip"));
    lstrcpynA(OwnPath, "A:\\INSTALL", sizeof OwnPath);
    WindowAnswerer boxes(WholeSet("zip"));
    EXPECT_EQ(0, ExtractInto(folder));
    EXPECT_EQ((std::vector<std::string>{InsertDisk(2), InsertDisk(3)}), boxes.Stop());
    ExpectSameTree(Archives("expected\\best"), folder, "A:\\INSTALL");
    RemoveTree(folder);
}

// The prompts when disk 2 is wanted and something else is in the drive.
TEST_F(SpannedTest, PromptsForTheWantedDisk)
{
    const std::string disk2 = Disk("exe", 2), disk3 = Disk("exe", 3);
    const std::string unlabelled = Relabelled(disk2, "unlabelled", "");
    const std::string backup = Relabelled(disk2, "backup", "BACKUP");
    const struct {
        const char *label;
        std::vector<Step> steps;
        int result;
        std::vector<std::string> texts;
    } cases[] = {
        {"the wrong disk, then the right one",
         {{disk3, IDOK}, {disk2, IDOK}, {disk3, IDOK}},
         0,
         {InsertDisk(2), InsertDisk(2), InsertDisk(3)}},
        {"no label, Retry with the right disk",
         {{unlabelled, IDOK}, {disk2, IDRETRY}, {disk3, IDOK}},
         0,
         {InsertDisk(2), LabelWrong(2), InsertDisk(3)}},
        // Taken for disk 2, the disk still names no disk when 3 is wanted.
        {"no label, Ignore takes it as disk 2",
         {{unlabelled, IDOK}, {unlabelled, IDIGNORE}, {disk3, IDRETRY}},
         0,
         {InsertDisk(2), LabelWrong(2), LabelWrong(3)}},
        {"another label, Retry with it still there asks again",
         {{backup, IDOK}, {backup, IDRETRY}, {backup, IDIGNORE}, {disk3, IDRETRY}},
         0,
         {InsertDisk(2), LabelWrong(2), LabelWrong(2), LabelWrong(3)}},
        {"no disk, Abort", {{"", IDOK}, {"", IDABORT}}, 2, {InsertDisk(2), LabelWrong(2)}},
        {"Cancel", {{disk3, IDCANCEL}}, 2, {InsertDisk(2)}},
    };
    for (const auto &c : cases) {
        const std::string folder = FullPath("span-prompts");
        RemoveTree(folder);
        ASSERT_TRUE(Start("exe")) << c.label;
        WindowAnswerer boxes(Script(c.steps));
        EXPECT_EQ(c.result, ExtractInto(folder)) << c.label;
        EXPECT_EQ(c.texts, boxes.Stop()) << c.label;
        if (c.result == 0)
            ExpectSameTree(Archives("expected\\stored"), folder, c.label);
        RemoveTree(folder);
    }
    RemoveTree(unlabelled);
    RemoveTree(backup);
}

// SkipSpannedData as a member stepped over calls it, under an abort point
// of its own as in a run: where a step ends, and when the next disk is asked
// for. Disk 2 of the ".EXE" set is 139 bytes long.
TEST_F(SpannedTest, SkipSpannedDataStepsOntoTheNextDisk)
{
    const std::string disk2 = Disk("exe", 2), disk3 = Disk("exe", 3);
    const LONG disk2_bytes = static_cast<LONG>(ReadWholeFile(disk2 + "\\INSTALL.EXE").size());
    ASSERT_EQ(139, disk2_bytes);
    const struct {
        const char *label;
        LONG start, remaining;
        std::vector<int32_t> steps;  // each call's result, the last one 0
        uint16_t disk;               // CurrentDisk after them
        LONG end;                    // and the position there
    } cases[] = {
        {"within the disk", 100, 20, {20, 0}, 2, 120},
        {"up to the disk's end exactly", 100, 39, {39, 0}, 2, 139},
        {"past the disk's end", 100, 1000, {39, 961, 0}, 3, 961},
        {"from the disk's end", 139, 50, {50, 0}, 3, 50},
    };
    for (const auto &c : cases) {
        ASSERT_TRUE(Start("exe")) << c.label;
        ASSERT_TRUE(drive_->Insert(disk2)) << c.label;
        CurrentDisk = 2;
        _lclose(ArchiveFile);
        ArchiveFile = _lopen("A:\\INSTALL.EXE", OF_READ | OF_SHARE_DENY_WRITE);
        ASSERT_NE(HFILE_ERROR, ArchiveFile) << c.label;
        ASSERT_EQ(c.start, _llseek(ArchiveFile, c.start, FILE_BEGIN)) << c.label;
        InputRemaining = c.remaining;

        std::vector<int32_t> steps;
        WindowAnswerer boxes(Script({{disk3, IDOK}}));
        static AbortPoint point;
        AbortPoint *outer = AbortContext;
        if (SAVE_ABORT_CONTEXT(point)) {
            ADD_FAILURE() << c.label << ": aborted with " << AbortCode;
        } else {
            for (int32_t step = -1; step != 0 && steps.size() < 5;) {
                step = SkipSpannedData();
                steps.push_back(step);
            }
        }
        AbortContext = outer;
        const std::vector<std::string> texts = boxes.Stop();
        EXPECT_EQ(c.steps, steps) << c.label;
        EXPECT_EQ(c.disk, CurrentDisk) << c.label;
        EXPECT_EQ(c.end, _llseek(ArchiveFile, 0, FILE_CURRENT)) << c.label;
        EXPECT_EQ(0, InputRemaining) << c.label;
        EXPECT_EQ(c.disk == 3 ? std::vector<std::string>{InsertDisk(3)} : std::vector<std::string>{}, texts)
            << c.label;
    }
}

// A disk whose file is made here: label and content.
std::string MadeDisk(const std::string &name, const std::string &label, const std::string &file,
                     const std::string &content)
{
    const std::string folder = FullPath("span-made-" + name);
    RemoveTree(folder);
    CreateDirectoryA(folder.c_str(), nullptr);
    WriteText(folder + "\\" + file, content);
    WriteVolumeLabel(folder, label);
    return folder;
}

std::string ReadError(int code)
{
    return Format(MSG_READ_ERROR, "A:\\INSTALL.EXE") + " <" + std::to_string(code) + ">";
}

// Reads that go on on the next disk and come up short there too: a record
// signature (code 8), a local header's fixed part (code 3), member data (2).
TEST_F(SpannedTest, ReadsShortOnTheNextDiskEndTheRun)
{
    const std::string exe2 = ReadWholeFile(Disk("exe", 2) + "\\INSTALL.EXE");
    ASSERT_GT(exe2.size(), 10u);
    const std::string empty_exe2 = MadeDisk("empty-exe2", "PKBACK# 002", "INSTALL.EXE", "");
    // Disk 2 ends 6 bytes into a local header's fixed part; disk 3 has 5 bytes.
    const std::string cut_exe2 = MadeDisk("cut-exe2", "PKBACK# 002", "INSTALL.EXE", exe2.substr(0, 10));
    const std::string short_exe3 = MadeDisk("short-exe3", "PKBACK# 003", "INSTALL.EXE", "12345");
    // Disk 1 of the ".ZIP" set ends inside member data: the refill that
    // finds disk 2's file empty goes on to disk 3, and one that finds
    // nothing there either fails.
    const std::string empty_zip2 = MadeDisk("empty-zip2", "PKBACK# 002", "INSTALL.ZIP", "");
    const std::string empty_zip3 = MadeDisk("empty-zip3", "PKBACK# 003", "INSTALL.ZIP", "");
    const struct {
        const char *label, *set;
        std::vector<Step> steps;
        std::vector<std::string> texts;
    } cases[] = {
        {"a signature", "exe", {{empty_exe2, IDOK}, {"", IDOK}}, {InsertDisk(2), ReadError(8)}},
        {"a local header", "exe", {{cut_exe2, IDOK}, {short_exe3, IDOK}, {"", IDOK}},
         {InsertDisk(2), InsertDisk(3), ReadError(3)}},
        {"member data", "zip", {{empty_zip2, IDOK}, {empty_zip3, IDOK}, {"", IDOK}},
         {InsertDisk(2), InsertDisk(3), ReadError(2)}},
    };
    for (const auto &c : cases) {
        const std::string folder = FullPath("span-short");
        RemoveTree(folder);
        ASSERT_TRUE(Start(c.set)) << c.label;
        WindowAnswerer boxes(Script(c.steps));
        EXPECT_EQ(2, ExtractInto(folder)) << c.label;
        EXPECT_EQ(c.texts, boxes.Stop()) << c.label;
        RemoveTree(folder);
    }
    for (const std::string &made : {empty_exe2, cut_exe2, short_exe3, empty_zip2, empty_zip3})
        RemoveTree(made);
}

// The label of the disk in the drive, read through the system, to its number.
TEST_F(SpannedTest, LabelsNameTheirDisk)
{
    const std::string folder = FullPath("span-label");
    RemoveTree(folder);
    CreateDirectoryA(folder.c_str(), nullptr);
    const struct {
        const char *label;
        uint16_t number;
    } cases[] = {
        {"PKBACK# 001", 1}, {"PKBACK#.7", 7}, {"PKBACK# 12", 12}, {"PKBACK#7", NO_DISK},
        {"BACKUP", NO_DISK}, {"pkback# 001", NO_DISK}, {"", NO_DISK},
    };
    for (const auto &c : cases) {
        WriteVolumeLabel(folder, c.label);
        ASSERT_TRUE(drive_->Insert(folder)) << c.label;
        EXPECT_EQ(c.number, ReadDiskNumber("A:")) << "\"" << c.label << "\"";
    }
    ASSERT_TRUE(drive_->Eject());
    EXPECT_EQ(NO_DISK, ReadDiskNumber("A:")) << "no disk in the drive";
    RemoveTree(folder);
}

}  // namespace
