// Hidden installers built with --no-error-boxes: no window ever shows, every
// message lands in the log with its StringId, questions get their safe
// answer (the one question a hidden run can meet is a disk prompt: it
// overwrites without asking), and the exit code says what happened.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "support/test_files.h"
#include "support/window_answerer.h"
#include "uiauto.h"

namespace {

using namespace stub_test;

struct SilentRun {
    bool ended = false;
    bool window_seen = false;
    DWORD code = 0;
    DWORD process_id = 0;
    std::string temp;
};

// Runs installer NAME.exe with its own TMP and the arguments, watching for
// any window until it ends (30 s at most).
SilentRun RunSilently(const std::string &name, const std::string &arguments, bool no_temp = false)
{
    SilentRun run;
    std::string label = name;
    for (char &c : label)
        if (c == '\\')
            c = '-';
    run.temp = FullPath("temp-silent-" + label);
    RemoveTree(run.temp);
    CreateDirectoryA(run.temp.c_str(), nullptr);
    uiauto::Process program;
    uiauto::LaunchOptions launch;
    launch.command_line = "\"" + std::string(TALVOK_FLOW_DIR) + "\\" + name + ".exe\" " + arguments;
    launch.env = {"TMP=" + (no_temp ? run.temp + "\\missing" : run.temp), "TALVOK_REPORT=" + FullPath("report-silent-" + label + ".txt")};
    if (!program.Start(launch))
        return run;
    run.process_id = program.Id();
    run.ended = WaitUntil([&] {
        run.window_seen |= !program.Windows().empty();
        return !program.Running();
    }, 30000);
    run.code = program.WaitExit(5000).exit_code;
    return run;
}

// The damaged member's CRC message, as the log holds it (code page 1252).
const char CRC_LINE_START[] = "StringId 40: Zip da\xF1" "ado: archivo ";

TEST(MessageLog, DamagedInstallerEndsByItselfAndLogsTheMessage)
{
    const std::string log = FullPath("log folder\\silent damaged.log");
    CreateDirectoryA(FullPath("log folder").c_str(), nullptr);
    DeleteFileA(log.c_str());
    struct Case {
        const char *how;
        std::string arguments;
    } cases[] = {{"-log with a quoted path", "-log \"" + log + "\""}, {"the default place", ""}};
    for (const Case &c : cases) {
        SilentRun run = RunSilently("silent-damaged", c.arguments);
        ASSERT_TRUE(run.ended) << c.how << ": the installer is still waiting";
        EXPECT_FALSE(run.window_seen) << c.how;
        EXPECT_EQ(0x20000001u, run.code) << c.how;
        const std::string where =
            c.arguments.empty() ? run.temp + "\\TVSFX" + std::to_string(run.process_id) + ".LOG" : log;
        const std::string text = ReadWholeFile(where);
        EXPECT_EQ(0u, text.find(CRC_LINE_START)) << c.how << ": " << where << " holds \"" << text << "\"";
        EXPECT_NE(std::string::npos, text.find("datos.bin: CRC")) << text;
        EXPECT_EQ(text.size() - 2, text.find("\r\n")) << "one line: " << text;
    }
}

// No temporary folder can be made: a run that waits for Cancel with a person
// there ends by itself without one.
TEST(MessageLog, NoTemporaryFolderEndsTheRun)
{
    const std::string log = FullPath("silent-no-temp.log");
    DeleteFileA(log.c_str());
    SilentRun run = RunSilently("silent-damaged", "-log " + log, true);
    ASSERT_TRUE(run.ended) << "the hidden installer is still waiting";
    EXPECT_EQ(0x20000002u, run.code);
    EXPECT_EQ(0u, ReadWholeFile(log).find("StringId 15: ")) << ReadWholeFile(log);
}

// A disk set started from a fixed drive: the label names no disk, and the
// prompt for the right disk (Abort, Retry, Ignore) takes Abort.
TEST(MessageLog, DiskPromptIsAnsweredAbort)
{
    SilentRun run = RunSilently("silent-span\\disk1\\INSTALL", "");
    ASSERT_TRUE(run.ended);
    EXPECT_FALSE(run.window_seen);
    EXPECT_EQ(0x20000006u, run.code);
    const std::string text = ReadWholeFile(run.temp + "\\TVSFX" + std::to_string(run.process_id) + ".LOG");
    EXPECT_EQ(0u, text.find("StringId 4: ")) << text;
    EXPECT_EQ(text.size() - 2, text.find("\r\n")) << "asked once: " << text;
}

}  // namespace
