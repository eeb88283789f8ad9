// --wait-all: the setup program starts holder.exe ("spawn") and ends at once
// with exit code 3; holder.exe keeps its own file open until released. With
// the option the installer waits for holder.exe before its clean-up and
// exits with the setup program's code; without it the clean-up runs at once.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "support/test_files.h"
#include "support/window_answerer.h"
#include "uiauto.h"

namespace {

using namespace stub_test;

constexpr int ID_MESSAGE = 101;

class SpawningRun {
public:
    explicit SpawningRun(const std::string &name)
    {
        temp_ = FullPath("temp-wait-all-" + name);
        report_ = FullPath("report-wait-all-" + name + ".txt");
        release_ = FullPath("release-wait-all-" + name);
        log_ = FullPath("wait-all-" + name + ".log");
        RemoveTree(temp_);
        CreateDirectoryA(temp_.c_str(), nullptr);
        DeleteFileA(report_.c_str());
        DeleteFileA(release_.c_str());
        DeleteFileA(log_.c_str());
        uiauto::LaunchOptions launch;
        launch.command_line = "\"" + std::string(TALVOK_FLOW_DIR) + "\\" + name + ".exe\" -log \"" + log_ + "\"";
        launch.env = {"TMP=" + temp_, "TALVOK_REPORT=" + report_, "TALVOK_RELEASE=" + release_};
        started = program.Start(launch);
    }
    ~SpawningRun() { Release(); }
    bool Reported()
    {
        return WaitUntil([&] { return ReadWholeFile(report_).find("end\r\n") != std::string::npos; });
    }
    void Release() { CloseHandle(CreateFileA(release_.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr)); }
    bool HolderLeft()
    {
        std::map<std::string, long> files;
        ListFiles(temp_, "", files);
        return files.count("TVSE0.TMP\\holder.exe") != 0;
    }
    std::string Log() const { return ReadWholeFile(log_); }

    bool started = false;
    uiauto::Process program;

private:
    std::string temp_, report_, release_, log_;
};

TEST(WaitAll, CleanUpWaitsForTheProcessTheSetupStarted)
{
    SpawningRun run("waitall");
    ASSERT_TRUE(run.started) << uiauto::LastFailure();
    ASSERT_TRUE(run.Reported());
    // The setup program has ended; holder.exe holds on. The installer must
    // still be waiting, its files in place.
    EXPECT_FALSE(WaitUntil([&] { return !run.program.Running(); }, 3000)) << "the installer did not wait";
    EXPECT_TRUE(run.HolderLeft());
    run.Release();
    EXPECT_TRUE(WaitUntil([&] { return !run.program.Running(); }, 20000));
    EXPECT_EQ(3u, run.program.WaitExit(5000).exit_code) << "the setup program's own code";
    EXPECT_FALSE(run.HolderLeft()) << "the clean-up ran after holder.exe ended";
    EXPECT_EQ("", run.Log()) << "the job was used: no fallback note";
}

TEST(WaitAll, WithoutTheOptionTheCleanUpRunsAtOnce)
{
    SpawningRun run("no-waitall");
    ASSERT_TRUE(run.started) << uiauto::LastFailure();
    ASSERT_TRUE(run.Reported());
    EXPECT_TRUE(WaitUntil([&] { return !run.program.Running(); }, 20000)) << "ended while holder.exe runs";
    EXPECT_EQ(3u, run.program.WaitExit(5000).exit_code);
    EXPECT_TRUE(run.HolderLeft()) << "holder.exe was still open, so it stays";
}

// Cancel during the wait for the job asks first, as during any command wait.
TEST(WaitAll, CancelStillEndsTheWait)
{
    SpawningRun run("waitall-visible");
    ASSERT_TRUE(run.started) << uiauto::LastFailure();
    HWND dialog = nullptr;
    ASSERT_TRUE(WaitUntil([&] {
        for (HWND window : run.program.Windows())
            if (GetDlgItem(window, ID_MESSAGE))
                dialog = window;
        return dialog != nullptr;
    }));
    ASSERT_TRUE(uiauto::PressButtonId(dialog, IDOK));
    ASSERT_TRUE(run.Reported());
    EXPECT_FALSE(WaitUntil([&] { return !run.program.Running(); }, 2000)) << "the installer did not wait";
    ASSERT_TRUE(uiauto::PressButtonId(dialog, IDCANCEL));
    HWND question = nullptr;
    ASSERT_TRUE(WaitUntil([&] {
        for (HWND window : run.program.Windows())
            if (window != dialog && uiauto::ClassName(window) == "#32770")
                question = window;
        return question != nullptr;
    }));
    EXPECT_NE(std::string::npos, uiauto::MessageBoxText(question).find("setup.exe"));
    ASSERT_TRUE(uiauto::PressButtonId(question, IDYES));
    EXPECT_TRUE(WaitUntil([&] { return !run.program.Running(); }, 20000));
    EXPECT_EQ(1602u, run.program.WaitExit(5000).exit_code);
}

}  // namespace
