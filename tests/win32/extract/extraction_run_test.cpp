// The extraction run in-process: the test program takes over the
// ParameterBlock of an installer that the builder made from a peer tool's
// archive, opens it as its archive, sets TargetFolder and calls
// ExtractionRun, as the main dialog will. The result is compared file by
// file, bytes and times, with what Info-ZIP unzip made of the same archive.
// Message boxes the run shows are read and answered from a second thread,
// the way a person answers them.
#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "archive/extraction_run.h"
#include "archive/output_path.h"
#include "extract/crc32.h"
#include "extract/crypt/member_input.h"
#include "extract/output_writer.h"
#include "portable/parameter_block.h"
#include "startup/message_table.h"
#include "startup/own_file.h"
#include "startup/parameter_block_data.h"
#include "startup/run_state.h"
#include "support/test_files.h"
#include "uiauto.h"

namespace {

using namespace stub_test;

std::string Archives(const std::string &name) { return std::string(TALVOK_ARCHIVES_DIR) + "\\" + name; }

FILETIME WriteTime(const std::string &path)
{
    FILETIME time = {};
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
        GetFileTime(file, nullptr, nullptr, &time);
        CloseHandle(file);
    }
    return time;
}

// Every file and folder under expected must be under actual with the same
// bytes and, for files, the same write time (to the DOS format's 2 s).
void ExpectSameTree(const std::string &expected, const std::string &actual, const std::string &label)
{
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((expected + "\\*").c_str(), &found);
    ASSERT_NE(INVALID_HANDLE_VALUE, search) << expected;
    do {
        const std::string name = found.cFileName;
        if (name == "." || name == "..")
            continue;
        const std::string want = expected + "\\" + name, got = actual + "\\" + name;
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            DWORD attributes = GetFileAttributesA(got.c_str());
            EXPECT_TRUE(attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
                << label << ": no folder " << got;
            ExpectSameTree(want, got, label);
        } else {
            EXPECT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(got.c_str())) << label << ": no file " << got;
            EXPECT_TRUE(ReadWholeFile(want) == ReadWholeFile(got)) << label << ": " << got << " differs";
            // Both programs take the DOS time as local time: unzip with the
            // zone's rule for the file's date, the stub (as the system's own
            // LocalFileTimeToFileTime does) with the rule in force now. Each
            // file's time read back under its program's rule is the same clock
            // time.
            FILETIME want_time = WriteTime(want), got_time = WriteTime(got), got_local;
            SYSTEMTIME want_utc, want_clock, got_clock;
            FileTimeToSystemTime(&want_time, &want_utc);
            SystemTimeToTzSpecificLocalTime(nullptr, &want_utc, &want_clock);
            FileTimeToLocalFileTime(&got_time, &got_local);
            FileTimeToSystemTime(&got_local, &got_clock);
            const auto seconds = [](const SYSTEMTIME &t) {
                return ((((t.wYear * 13 + t.wMonth) * 32 + t.wDay) * 24 + t.wHour) * 60 + t.wMinute) * 60 +
                       t.wSecond;
            };
            EXPECT_LE(std::abs(seconds(want_clock) - seconds(got_clock)), 1)
                << label << ": " << got << " shows another clock time";
        }
    } while (FindNextFileA(search, &found));
    FindClose(search);
}

// Deletes a folder and everything under it; true when it is gone.
bool RemoveTree(const std::string &folder)
{
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            const std::string name = found.cFileName, path = folder + "\\" + name;
            if (name == "." || name == "..")
                continue;
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                RemoveTree(path);
            else
                DeleteFileA(path.c_str());
        } while (FindNextFileA(search, &found));
        FindClose(search);
    }
    return RemoveDirectoryA(folder.c_str()) || GetFileAttributesA(folder.c_str()) == INVALID_FILE_ATTRIBUTES;
}

// Answers the run's message boxes from a second thread: each box's text is
// kept, then the button answer is pressed.
class BoxAnswerer {
public:
    explicit BoxAnswerer(int answer) : answer_(answer), thread_([this] { Watch(); }) {}
    ~BoxAnswerer() { Stop(); }
    // Ends the watch; the texts are read only after it.
    const std::vector<std::string> &Stop()
    {
        stop_ = true;
        if (thread_.joinable())
            thread_.join();
        return texts;
    }

private:
    std::vector<std::string> texts;
    void Watch()
    {
        while (!stop_) {
            for (HWND window : uiauto::TopLevelWindows(GetCurrentProcessId())) {
                char class_name[32] = {};
                GetClassNameA(window, class_name, sizeof class_name);
                if (std::string(class_name) != "#32770")
                    continue;
                texts.push_back(uiauto::MessageBoxText(window));
                if (!uiauto::PressButtonId(window, answer_))
                    texts.push_back("<could not press " + std::to_string(answer_) + ">");
                Sleep(50);
            }
            Sleep(10);
        }
    }
    int answer_;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

class ExtractionRunTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        ResetRunState();
        AppInstance = GetModuleHandleA(nullptr);
        BusyCursor = ArrowCursor = LoadCursorA(nullptr, IDC_ARROW);
        ASSERT_EQ(0, AllocateRunBuffers());
        PrepareDecoder();
        UnpackMessageTable();
        BuildCrcTable();
        AssembleSignatures();
    }

    // Takes over the installer's block, opens it as the archive and extracts
    // into a fresh folder named after it; returns the run's result.
    int Run(const std::string &installer, const std::string &folder)
    {
        const std::string content = ReadWholeFile(installer);
        const size_t block = FindBlock(std::vector<uint8_t>(content.begin(), content.end()));
        if (block == std::string::npos)
            return -1;
        CopyMemory(ParameterBlock, content.data() + block, PARAMETER_BLOCK_BYTES);
        if (ArchiveFile != HFILE_ERROR)
            _lclose(ArchiveFile);
        ArchiveFile = _lopen(installer.c_str(), OF_SHARE_DENY_WRITE);
        if (ArchiveFile == HFILE_ERROR)
            return -1;
        lstrcpynA(TargetFolder, FullPath(folder).c_str(), sizeof TargetFolder);
        ResetProgress();
        return ExtractionRun();
    }
};

TEST_F(ExtractionRunTest, PeerArchivesComeOutAsUnzipMakesThem)
{
    static char password[] = "clave secreta";
    for (const char *name : {"stored", "fast", "best", "comment", "deflate64", "descriptors", "encrypted",
                             "encrypted64", "marker", "folders"}) {
        Password = password;
        const std::string folder = std::string("out-") + name;
        ASSERT_TRUE(RemoveTree(FullPath(folder))) << "what an earlier test run left";
        BoxAnswerer boxes(IDOK);
        EXPECT_EQ(0, Run(Archives(std::string(name) + ".exe"), folder)) << name;
        const std::vector<std::string> &texts = boxes.Stop();
        EXPECT_TRUE(texts.empty()) << name << ": " << (texts.empty() ? "" : texts[0]);
        ExpectSameTree(Archives("expected\\" + std::string(name)), FullPath(folder), name);
    }
    Password = nullptr;
}

// A run takes the folders an earlier member of the same run probed or made
// as there; the next run must not: here its folders were removed between.
TEST_F(ExtractionRunTest, NextRunMakesTheFoldersAgain)
{
    for (int run = 1; run <= 2; run++) {
        BoxAnswerer boxes(IDOK);
        EXPECT_EQ(0, Run(Archives("folders.exe"), "again")) << "run " << run;
        const std::vector<std::string> &texts = boxes.Stop();
        EXPECT_TRUE(texts.empty()) << "run " << run << ": " << (texts.empty() ? "" : texts[0]);
        ExpectSameTree(Archives("expected\\folders"), FullPath("again"), "run " + std::to_string(run));
        ASSERT_TRUE(RemoveTree(FullPath("again")));
    }
}

TEST_F(ExtractionRunTest, PasswordsThatDoNotFitEndTheRun)
{
    static char wrong[] = "clave equivocada";
    static char too_long[101];
    for (size_t i = 0; i < 100; i++)
        too_long[i] = 'c';
    const struct {
        const char *label;
        char *password;
        StringId message;
    } cases[] = {
        {"none held", nullptr, MSG_NO_PASSWORD},
        {"wrong", wrong, MSG_WRONG_PASSWORD},
        {"100 characters", too_long, MSG_WRONG_PASSWORD},
    };
    for (const auto &c : cases) {
        Password = c.password;
        BoxAnswerer boxes(IDOK);
        EXPECT_EQ(2, Run(Archives("encrypted.exe"), std::string("pw-") + c.label)) << c.label;
        const std::vector<std::string> &texts = boxes.Stop();
        ASSERT_EQ(1u, texts.size()) << c.label;
        EXPECT_EQ(Message(c.message), texts[0]) << c.label;
    }
    Password = nullptr;
}

}  // namespace
