// The helper's hold on the child process: the program that never shows a
// window (timed out, killed, reported), the one that ends before showing
// any, the child left running at the end of a scope and the programs it
// started, the working folder, and the command line the child receives.
#include <gtest/gtest.h>

#include <windows.h>
#include <shellapi.h>

#include "uiauto/uiauto_support.h"

using namespace uiauto;

TEST(Process, NeverWindowedProgramTimesOutAndIsKilled)
{
    Process process;
    ASSERT_TRUE(process.Start(FixtureLaunch({"sleep"}))) << LastFailure();

    EXPECT_EQ(nullptr, process.WaitWindow({}, HUNG_LIMIT_MS));
    EXPECT_EQ(WaitResult::TimedOut, process.LastWait());
    EXPECT_NE(std::string::npos, LastFailure().find("(no visible windows)")) << LastFailure();

    ExitResult result = process.WaitExit(HUNG_LIMIT_MS);
    EXPECT_EQ(ExitStatus::Killed, result.status);
    EXPECT_EQ(KILLED_EXIT_CODE, result.exit_code);
    EXPECT_NE(std::string::npos, LastFailure().find("killed")) << LastFailure();
    EXPECT_EQ((DWORD)WAIT_OBJECT_0, WaitForSingleObject(process.Handle(), 0)) << "not dead";
    EXPECT_FALSE(process.Running());
}

TEST(Process, ExitBeforeAnyWindowEndsTheWait)
{
    Process process;
    ASSERT_TRUE(process.Start(FixtureLaunch({"exit", "3"}))) << LastFailure();
    // The limit is far off: only the child's end can stop this wait early.
    EXPECT_EQ(nullptr, process.WaitWindow({}, TEST_LIMIT_MS));
    EXPECT_EQ(WaitResult::ProcessExited, process.LastWait()) << LastFailure();
    ExitResult result = process.WaitExit(TEST_LIMIT_MS);
    EXPECT_EQ(ExitStatus::Exited, result.status);
    EXPECT_EQ(3u, result.exit_code);
}

TEST(Process, EndOfScopeKillsTheChild)
{
    HANDLE watch = nullptr;
    {
        Process process;
        ASSERT_TRUE(process.Start(FixtureLaunch({"sleep"}))) << LastFailure();
        ASSERT_TRUE(DuplicateHandle(GetCurrentProcess(), process.Handle(), GetCurrentProcess(),
                                    &watch, SYNCHRONIZE, FALSE, 0));
    }
    EXPECT_EQ((DWORD)WAIT_OBJECT_0, WaitForSingleObject(watch, 0));
    CloseHandle(watch);
}

// Killing the child also ends the program it started (the child runs in a
// job): here uidriver is the child and the sleeping fixture its own child.
TEST(Process, KillEndsWhatTheChildStarted)
{
    LaunchOptions options;
    options.argv = {DriverExe(), "run", "--timeout", "60", "--", FixtureExe(), "sleep"};
    options.output_path = ScratchPath("grandchild_output.txt");
    Process process;
    ASSERT_TRUE(process.Start(options)) << LastFailure();

    // uidriver prints "started pid N" once the fixture runs.
    const std::string marker = "started pid ";
    std::string output;
    DWORD start_tick = GetTickCount();
    while (output.find(marker) == std::string::npos && GetTickCount() - start_tick < TEST_LIMIT_MS) {
        Sleep(POLL_INTERVAL_MS);
        bool exists = false;
        output = ReadBytes(options.output_path, &exists);
    }
    ASSERT_NE(std::string::npos, output.find(marker)) << output;
    DWORD grandchild_id = std::stoul(output.substr(output.find(marker) + marker.size()));
    HANDLE grandchild = OpenProcess(SYNCHRONIZE, FALSE, grandchild_id);
    ASSERT_TRUE(grandchild) << output;

    process.Kill();
    EXPECT_EQ((DWORD)WAIT_OBJECT_0, WaitForSingleObject(grandchild, TEST_LIMIT_MS)) << output;
    CloseHandle(grandchild);
}

TEST(Process, StartFailureNamesTheCommand)
{
    Process process;
    EXPECT_FALSE(process.Start({{"no_such_program_here.exe", "x"}}));
    EXPECT_NE(std::string::npos, LastFailure().find("no_such_program_here.exe")) << LastFailure();
    EXPECT_EQ(ExitStatus::NotStarted, process.WaitExit(0).status);
}

TEST(Process, RunsInTheGivenFolder)
{
    // A relative output name lands in the child's working folder.
    std::string folder = ScratchPath("folder");
    RemoveDirectoryA(folder.c_str());
    ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr));
    std::string output = folder + "\\relative.txt";

    LaunchOptions options = FixtureLaunch({"dialog", "relative.txt"});
    options.working_dir = folder;
    Process process;
    ASSERT_TRUE(process.Start(options)) << LastFailure();
    HWND dialog = process.WaitWindow({"uiauto fixture dialog", ""}, TEST_LIMIT_MS);
    ASSERT_TRUE(dialog) << LastFailure();
    ASSERT_TRUE(PressButtonId(dialog, IDOK)) << LastFailure();
    EXPECT_EQ((DWORD)IDOK, process.WaitExit(TEST_LIMIT_MS).exit_code) << LastFailure();

    bool written = false;
    EXPECT_EQ("draft", ReadBytes(output, &written));
    EXPECT_TRUE(written) << output;
    DeleteFileA(output.c_str());
    RemoveDirectoryA(folder.c_str());
}

// QuoteArgs against the system's own splitting, CommandLineToArgvW, which
// follows the C runtime's rules for every argument after the first.
TEST(QuoteArgs, SplitsBackIntoTheSameArguments)
{
    const std::vector<std::string> args = {
        "program",
        "plain",
        "two words",
        "",                     // an empty argument survives as ""
        "tab\there",
        "say \"hi\"",
        "trailing\\",           // doubled only because a quote follows
        "C:\\path with space\\",
        "back\\\\\"quote",
        "\\\\server\\share",    // backslashes with no quote stay as they are
    };
    std::string line = QuoteArgs(args);
    std::wstring wide(line.begin(), line.end());
    int count = 0;
    LPWSTR *split = CommandLineToArgvW(wide.c_str(), &count);
    ASSERT_TRUE(split);
    ASSERT_EQ((int)args.size(), count) << line;
    for (int i = 0; i < count; i++) {
        std::wstring arg(split[i]);
        EXPECT_EQ(args[i], std::string(arg.begin(), arg.end())) << "argument " << i << " of " << line;
    }
    LocalFree(split);
}
