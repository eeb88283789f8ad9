// The command line: --help, the flag switches against the bit table of the
// flags word, --flags taken as written, and usage mistakes.
#include "builder_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <iostream>
#include <sstream>

namespace builder_test {
namespace {

TEST(CommandLine, HelpListsEveryOption)
{
    ToolRun run = RunTvsfx({"--help"});
    ASSERT_EQ(0, run.exit_code);
    for (const char *option :
         {"--stub", "--out", "--from-dir", "--from-zip", "--command", "--parameters", "--text", "--title", "--intro",
          "--about", "--info", "--flags", "--wait-name", "--wait", "--password-prompt", "--auto", "--sign-friendly",
          "--info-button", "--shell-install", "--title-caption", "--intro-yes-no", "--intro-ok-cancel", "--argv0",
          "--hidden", "--codepage", "--quiet", "--unchecked-fields", "For tests only", "--password",
          "--password-file", "SOURCE_DATE_EPOCH", "TVSFX_TEST_RANDOM_SEED", "tvsfx info FILE", "tvsfx verify FILE"})
        EXPECT_NE(std::string::npos, run.out.find(option)) << option;
    EXPECT_EQ(run.out, RunTvsfx({"build", "--help"}).out);
}

class Flags : public ::testing::Test {
protected:
    void SetUp() override { MakeSamplePayload(dir / "payload"); }
    uint32_t FlagsOf(std::vector<std::string> extra, const std::string &source = "--from-dir",
                     const std::string &input = "")
    {
        std::vector<std::string> arguments = {"build", "--quiet", "--out", dir / "setup.exe", source,
                                              input.empty() ? dir / "payload" : input};
        arguments.insert(arguments.end(), extra.begin(), extra.end());
        ToolRun run = RunTvsfx(arguments);
        EXPECT_EQ(0, run.exit_code) << run.err;
        return ParseParameterBlock(ReadBytes(dir / "setup.exe")).flags;
    }
    TempDir dir;
};

// Masks as the flags word defines its bits.
TEST_F(Flags, EachSwitchSetsItsBits)
{
    struct Case {
        const char *option;
        uint32_t mask;
    } const cases[] = {
        {"--wait", 0x40},          {"--password-prompt", 0x100},   {"--auto", 0x200},
        {"--sign-friendly", 0x800}, {"--info-button", 0x2000},     {"--shell-install", 0x30000},
        {"--title-caption", 0x40000}, {"--intro-yes-no", 0x80000}, {"--intro-ok-cancel", 0x180000},
        {"--argv0", 0x200000},     {"--hidden", 0x400000},      {"--exit-codes", 0x1000000},
        {"--hidden --no-error-boxes", 0x2400000}, {"--wait-all", 0x4000000},
    };
    EXPECT_EQ(0u, FlagsOf({}));
    for (const Case &c : cases) {
        std::vector<std::string> words;
        std::istringstream split(c.option);
        for (std::string word; split >> word;)
            words.push_back(word);
        EXPECT_EQ(c.mask, FlagsOf(words)) << c.option;
    }
    EXPECT_EQ(0x10u | 0x4u, FlagsOf({"--title", "", "--wait-name", "x"})) << "derived bits";
}

// The installer appends " -argv0 " and its path to the parameters in their
// 256-byte buffer: the summary tells the author the room the path has left.
TEST_F(Flags, Argv0SummaryGivesThePathsRoom)
{
    const auto summary = [&](std::vector<std::string> extra) {
        std::vector<std::string> arguments = {"build", "--out", dir / "setup.exe", "--from-dir", dir / "payload"};
        arguments.insert(arguments.end(), extra.begin(), extra.end());
        const ToolRun run = RunTvsfx(arguments);
        EXPECT_EQ(0, run.exit_code) << run.err;
        return run.out;
    };
    EXPECT_NE(std::string::npos, summary({"--argv0"}).find("path may have up to 248 bytes"));
    EXPECT_NE(std::string::npos, summary({"--argv0", "--parameters", "/quiet"}).find("up to 242 bytes"));
    EXPECT_NE(std::string::npos,
              summary({"--argv0", "--parameters", std::string(248, 'p')}).find("up to 0 bytes"));
    EXPECT_EQ(std::string::npos, summary({"--parameters", "/quiet"}).find("argv0 "));
}

TEST_F(Flags, FlagsWordIsTakenAsWritten)
{
    EXPECT_EQ(0xFFFFFFFFu, FlagsOf({"--flags", "0xFFFFFFFF"}));
    EXPECT_EQ(0x00242812u, FlagsOf({"--flags", "0x00242812", "--title", "T"}));
    EXPECT_EQ(0x00000A00u, FlagsOf({"--flags", "0x800", "--auto"})) << "switches add their bits";
    EXPECT_EQ(0x00001000u, FlagsOf({"--flags=4096", "--wait-name", "x"})) << "nothing derived";
    const std::string encrypted = MakePeerZip(dir, "secret.zip", "zip -q -r -P secret \"$OUT_ZIP\" .");
    ASSERT_FALSE(encrypted.empty());
    EXPECT_EQ(0x100u, FlagsOf({}, "--from-zip", encrypted)) << "the encryption bit, derived";
    EXPECT_EQ(0u, FlagsOf({"--flags", "0"}, "--from-zip", encrypted)) << "not even the encryption bit";
}

TEST(CommandLine, UsageMistakesAreRefused)
{
    TempDir dir;
    const std::string out = dir / "setup.exe";
    struct Case {
        std::vector<std::string> arguments;
        const char *message;
    } const cases[] = {
        {{}, "usage"},
        {{"make", "--out", out}, "usage"},
        {{"build", "--from-dir", dir.path()}, "--out is missing"},
        {{"build", "--out", out}, "exactly one of"},
        {{"build", "--out", out, "--from-dir", dir.path(), "--from-zip", "x.zip"}, "exactly one of"},
        {{"build", "--out", out, "--from-dir", dir.path(), "--no-such-option"}, "unknown option --no-such-option"},
        {{"build", "--out", out, "--from-dir", dir.path(), "--text"}, "--text needs a value"},
        {{"build", "--out", out, "--from-dir", dir.path(), "--auto=1"}, "takes no value"},
        {{"build", "--out", out, "--from-dir", dir.path(), "--flags", "0x1FFFFFFFF"}, "not a 32-bit number"},
        {{"build", "--out", out, "--from-dir", dir.path(), "--flags", "twelve"}, "not a 32-bit number"},
        {{"build", "--out", out, "--from-dir", dir.path(), "--wait-name", "tenletters"}, "over the stub's limit of 9"},
        {{"build", "--out", out, "--from-dir", dir / "missing"}, "not a folder"},
        {{"build", "--out", out, "--from-zip", dir / "missing.zip"}, "cannot open"},
        {{"build", "--out", out, "--from-dir", dir.path(), "--stub", dir / "missing.exe"}, "cannot open"},
        {{"build", "--out", dir / "no/such/folder/setup.exe", "--from-dir", dir.path()}, "cannot create"},
        {{"build", "--out", out, "--from-dir", dir.path(), "--no-error-boxes"}, "it needs --hidden"},
        {{"build", "--out", out, "--from-dir", dir.path(), "--hidden", "--no-error-boxes", "--wait"},
         "a click on Done that nobody makes"},
        {{"build", "--out", out, "--from-dir", dir.path(), "--hidden", "--no-error-boxes", "--password", "p"},
         "a password that nobody types"},
        {{"build", "--out", out, "--from-dir", dir.path(), "--wait-all", "--shell-install"},
         "cannot be started inside the installer's job"},
        {{"build", "--out", out, "--from-dir", dir.path(), "--wait-all", "--wait-name", "x"},
         "already waits for every program"},
    };
    for (const Case &c : cases) {
        ToolRun run = RunTvsfx(c.arguments);
        EXPECT_EQ(1, run.exit_code) << c.message;
        EXPECT_NE(std::string::npos, run.err.find(c.message)) << c.message << ": " << run.err;
        EXPECT_FALSE(FileExists(out)) << c.message;
    }
}

// What an author gets wrong most: one clear line, status 1, nothing at --out.
TEST(CommandLine, BadInputGivesOneLineAndNoOutput)
{
    TempDir dir;
    MakeSamplePayload(dir / "payload");
    MakeSamplePayload(dir / "dangling");
    std::filesystem::create_symlink("nowhere.txt", dir / "dangling/gone.txt");
    // A zip whose one central header lost its signature.
    const std::string zip = MakePeerZip(dir, "bad-central.zip", "zip -q -r \"$OUT_ZIP\" .");
    ASSERT_FALSE(zip.empty());
    std::vector<uint8_t> bytes = ReadBytes(zip);
    for (size_t at = 0; at + 4 <= bytes.size(); at++)
        if (bytes[at] == 'P' && bytes[at + 1] == 'K' && bytes[at + 2] == 1 && bytes[at + 3] == 2) {
            bytes[at + 3] = 9;
            break;
        }
    WriteBytes(dir / "bad-central.zip", bytes);
    const std::string out = dir / "setup.exe";
    struct Case {
        std::vector<std::string> arguments;
        const char *message;
    } cases[] = {
        {{"--from-dir", dir / "missing"}, "not a folder"},
        // Wine lists no dangling link: Windows' tvsfx.exe gets the missing folder twice.
        {{"--from-dir", NativeTvsfx() ? dir / "dangling" : dir / "missing"},
         NativeTvsfx() ? "gone.txt: No such file or directory" : "not a folder"},
        {{"--from-zip", dir / "bad-central.zip"}, "central directory header 1 has no signature"},
        {{"--from-dir", dir / "payload", "--password", std::string(100, 'x')}, "at most 99"},
    };
    for (const Case &c : cases) {
        std::vector<std::string> arguments = {"build", "--out", out};
        arguments.insert(arguments.end(), c.arguments.begin(), c.arguments.end());
        ToolRun run = RunTvsfx(arguments);
        EXPECT_EQ(1, run.exit_code) << c.message;
        EXPECT_NE(std::string::npos, run.err.find(c.message)) << c.message << ": " << run.err;
        EXPECT_EQ(1, std::count(run.err.begin(), run.err.end(), '\n')) << run.err;
        EXPECT_EQ("", run.out) << c.message;
        EXPECT_FALSE(FileExists(out)) << c.message;
    }
    ToolRun run = RunTvsfx({"build", "--out", dir / "no/such/folder/setup.exe", "--from-dir", dir / "payload"});
    EXPECT_EQ(1, run.exit_code);
    EXPECT_EQ(1, std::count(run.err.begin(), run.err.end(), '\n')) << run.err;
    EXPECT_FALSE(FileExists(dir / "no"));
}

// Progress goes to a terminal only: script(1) gives the run one.
TEST(CommandLine, ProgressOnATerminalOnly)
{
    if (!NativeTvsfx()) {
        std::cout << "skipped: progress is checked on the native builder (Wine's console is no terminal here)\n";
        return;
    }
    if (!HaveTool("script"))
        return;
    TempDir dir;
    std::filesystem::create_directories(dir / "big");
    std::string text;
    for (int line = 0; text.size() < (6u << 20); line++)
        text += "line " + std::to_string(line * 7919 % 100003) + " of a large payload\n";
    WriteText(dir / "big/large.txt", text);
    const std::string build = ShellQuote(TVSFX_EXE) + " build --out " + ShellQuote(dir / "setup.exe") +
                              " --from-dir " + ShellQuote(dir / "big");
    const std::string verify = ShellQuote(TVSFX_EXE) + " verify " + ShellQuote(dir / "setup.exe");
    auto on_terminal = [](const std::string &command) {
        return RunShell("script -qec " + ShellQuote(command) + " /dev/null").out;
    };
    EXPECT_NE(std::string::npos, on_terminal(build).find("tvsfx: compressing")) << "build on a terminal";
    EXPECT_NE(std::string::npos, on_terminal(verify).find("tvsfx: verifying")) << "verify on a terminal";
    EXPECT_EQ(std::string::npos, on_terminal(build + " --quiet").find("compressing")) << "--quiet";
    EXPECT_EQ(std::string::npos, on_terminal(verify + " --quiet").find("verifying")) << "--quiet";
    ToolRun piped = RunShell(build);
    EXPECT_EQ(0, piped.exit_code);
    EXPECT_EQ("", piped.err) << "not a terminal";
}

}  // namespace
}  // namespace builder_test
