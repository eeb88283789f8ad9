// The uidriver command end to end: scripted actions on the fixture, its
// exit codes (the program's own, or its failure codes) and what it prints.
#include <gtest/gtest.h>

#include "uiauto/uiauto_support.h"

using namespace uiauto;

struct DriverCase {
    const char *name;
    std::vector<std::string> options;  // between "run" and "--"
    std::vector<std::string> fixture_args;
    DWORD expected_exit;
    const char *expected_output;  // a line part the listing must hold
};

class Driver : public testing::TestWithParam<DriverCase> {};

TEST_P(Driver, PlaysTheScript)
{
    const DriverCase &c = GetParam();
    std::string typed = ScratchPath(std::string(c.name) + "_typed.txt");
    LaunchOptions options;
    options.argv = {DriverExe(), "run"};
    options.argv.insert(options.argv.end(), c.options.begin(), c.options.end());
    options.argv.push_back("--");
    options.argv.push_back(FixtureExe());
    for (const std::string &arg : c.fixture_args)
        options.argv.push_back(arg == "TYPED" ? typed : arg);
    options.output_path = ScratchPath(std::string(c.name) + "_output.txt");

    Process process;
    ASSERT_TRUE(process.Start(options)) << LastFailure();
    ExitResult result = process.WaitExit(TEST_LIMIT_MS);
    bool printed = false;
    std::string output = ReadBytes(options.output_path, &printed);
    ASSERT_EQ(ExitStatus::Exited, result.status) << LastFailure() << output;
    EXPECT_EQ(c.expected_exit, result.exit_code) << output;
    EXPECT_NE(std::string::npos, output.find(c.expected_output)) << output;
    if (c.expected_exit == IDOK) {
        bool written = false;
        EXPECT_EQ("caf\xE9 \"typed\"", ReadBytes(typed, &written));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Scripts, Driver,
    testing::Values(
        DriverCase{"press_no", {"--press-id", "7"}, {"msgbox"}, IDNO,
                   "\"uiauto fixture\" [#32770]"},
        DriverCase{"expect_enter", {"--expect", "Proceed?", "--key", "Enter"}, {"msgbox"}, IDYES,
                   "id 0xFFFF Static     \"Proceed?\""},
        // Typed text escaped as listings print it: e acute and quotes.
        DriverCase{"type_ok",
                   {"--type", "101=caf\\xE9 \\\"typed\\\"", "--press", "OK"},
                   {"dialog", "TYPED"}, IDOK, "> --press OK in"},
        DriverCase{"alt_cancel", {"--dump", "--key", "Alt+C"}, {"dialog", "TYPED"}, IDCANCEL,
                   "\"&Later\"  style 0x58010000 visible disabled"},
        // The driver's own failures: the program is killed in both.
        DriverCase{"hung", {"--timeout", "1"}, {"sleep"}, 124, "run timed out"},
        DriverCase{"no_such_button", {"--step-timeout", "0.5", "--press", "Maybe"}, {"msgbox"},
                   123, "no window for --press Maybe"},
        DriverCase{"exits_first", {"--press", "OK"}, {"exit", "4"}, 123,
                   "exited with code 4 before --press OK"}),
    [](const testing::TestParamInfo<DriverCase> &info) { return std::string(info.param.name); });

TEST(Driver, RejectsBadUsage)
{
    static const std::vector<std::string> bad_lines[] = {
        {"run", "--press", "OK"},               // no "--" and program
        {"run", "--key", "F13", "--", "x.exe"},  // unknown key
        {"run", "--type", "abc", "--", "x.exe"}, // no ID=
        {"walk", "--", "x.exe"},                 // unknown command
    };
    for (const std::vector<std::string> &line : bad_lines) {
        LaunchOptions options;
        options.argv = {DriverExe()};
        options.argv.insert(options.argv.end(), line.begin(), line.end());
        options.output_path = ScratchPath("usage_output.txt");
        Process process;
        ASSERT_TRUE(process.Start(options)) << LastFailure();
        EXPECT_EQ(125u, process.WaitExit(TEST_LIMIT_MS).exit_code) << QuoteArgs(line);
    }
}
