// The longest about text and command the builder accepts, as --help states
// them, go into every message the stub shows them in: each message is
// formatted here with the text read back from the installer, with the
// stub's own formatter, its own message texts and its buffer sizes. One
// byte more is refused with the reason and nothing is written.
#include "builder_support.h"
#include "message_fit.h"
#include "portable/message_buffers.h"
#include "startup/byte_helpers.h"

#include <gtest/gtest.h>

#include <climits>
#include <regex>

namespace builder_test {
namespace {

// The limit --help gives an option: "--about T ... (N bytes)".
size_t HelpLimit(const std::string &option)
{
    const ToolRun help = RunTvsfx({"--help"});
    std::smatch found;
    const std::regex line("  " + option + " T [^\\n]*\\((\\d+) bytes\\)");
    if (!std::regex_search(help.out, found, line)) {
        ADD_FAILURE() << option << " has no limit in --help:\n" << help.out;
        return 0;
    }
    return std::stoul(found[1]);
}

class MessageFit : public ::testing::Test {
protected:
    void SetUp() override { MakeSamplePayload(dir / "payload"); }
    // Builds with these options; the header's fields, or none when refused.
    std::vector<std::string> Build(const std::vector<std::string> &options, ToolRun &run)
    {
        run = BuildFromDir(dir / "payload", dir / "setup.exe", options);
        if (run.exit_code != 0)
            return {};
        const std::vector<uint8_t> image = ReadBytes(dir / "setup.exe");
        return HeaderFields(image, ParseParameterBlock(image));
    }
    TempDir dir;
};

TEST_F(MessageFit, TheLongestAboutTextFitsTheAboutBox)
{
    const size_t longest = HelpLimit("--about");
    ASSERT_GT(longest, 0u);
    ToolRun run;
    const std::vector<std::string> fields = Build({"--about", std::string(longest, 'a')}, run);
    ASSERT_EQ(8u, fields.size()) << run.err;
    char about_box[ABOUT_TEXT_BYTES];
    EXPECT_EQ(0, FormatString(about_box, sizeof about_box, MessageTexts[50], fields[0].c_str(), MessageTexts[54]))
        << "StringId 50 with " << longest << " bytes of about text";

    std::remove((dir / "setup.exe").c_str());
    EXPECT_TRUE(Build({"--about", std::string(longest + 1, 'a')}, run).empty());
    EXPECT_EQ(1, run.exit_code);
    EXPECT_NE(std::string::npos, run.err.find("--about: " + std::to_string(longest + 1) + " bytes; the installer "
                                              "shows it in the About box (StringId 50"))
        << run.err;
    EXPECT_NE(std::string::npos, run.err.find("at most " + std::to_string(longest) + " bytes of it fit")) << run.err;
    EXPECT_FALSE(FileExists(dir / "setup.exe"));
}

TEST_F(MessageFit, TheLongestCommandFitsEveryMessageItIsShownIn)
{
    const size_t longest = HelpLimit("--command");
    const size_t parameters = HelpLimit("--parameters");
    ASSERT_GT(longest, 0u);
    ToolRun run;
    const std::vector<std::string> fields =
        Build({"--command", std::string(longest, 'c'), "--parameters", std::string(parameters, 'p')}, run);
    ASSERT_EQ(8u, fields.size()) << run.err;
    const std::string &command = fields[1];
    char still_running[STILL_RUNNING_BYTES];
    EXPECT_EQ(0, FormatString(still_running, sizeof still_running, MessageTexts[17], command.c_str()))
        << "StringId 17 with " << longest << " bytes of command";
    char launch_error[COMMAND_LINE_BYTES];
    EXPECT_EQ(0, FormatString(launch_error, sizeof launch_error, MessageTexts[23], INT_MIN, command.c_str()))
        << "StringId 23";
    char command_line[COMMAND_LINE_BYTES];
    EXPECT_EQ(0, FormatString(command_line, sizeof command_line, "%s %s", command.c_str(), fields[2].c_str()))
        << "the command line";

    std::remove((dir / "setup.exe").c_str());
    EXPECT_TRUE(Build({"--command", std::string(longest + 1, 'c')}, run).empty());
    EXPECT_EQ(1, run.exit_code);
    EXPECT_NE(std::string::npos, run.err.find("--command: " + std::to_string(longest + 1) + " bytes")) << run.err;
    EXPECT_NE(std::string::npos, run.err.find("(StringId 17)")) << run.err;
    EXPECT_FALSE(FileExists(dir / "setup.exe"));

    // For tests of the stub's internal error, --unchecked-fields still writes it.
    EXPECT_EQ(0, BuildFromDir(dir / "payload", dir / "setup.exe",
                              {"--command", std::string(longest + 1, 'c'), "--unchecked-fields"})
                     .exit_code);
}

}  // namespace
}  // namespace builder_test
