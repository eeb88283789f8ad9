// The helper on a message box: reading its caption and text, and answering
// it by button id and by key, with the answer checked in the exit code.
// (Suites are named QuestionBox: windows.h makes MessageBox a macro.)
#include <gtest/gtest.h>

#include "uiauto/uiauto_support.h"

using namespace uiauto;

static const WindowMatch FIXTURE_BOX = {"uiauto fixture", "#32770"};

TEST(QuestionBox, ReadsTextSetThroughEnvironment)
{
    // Quotes, backslashes, a space and an ANSI-only byte (e acute, 0xE9).
    const std::string text = "Overwrite \"C:\\tmp dir\\caf\xE9.txt\"?";
    LaunchOptions options = FixtureLaunch({"msgbox"});
    options.env.push_back("UIAUTO_FIXTURE_TEXT=" + text);
    Process process;
    ASSERT_TRUE(process.Start(options)) << LastFailure();
    HWND box = process.WaitWindow(FIXTURE_BOX, TEST_LIMIT_MS);
    ASSERT_TRUE(box) << LastFailure();

    EXPECT_EQ("uiauto fixture", WindowText(box));
    EXPECT_EQ(text, MessageBoxText(box)) << process.Dump();
    ASSERT_TRUE(PressButtonId(box, IDNO)) << LastFailure();
    ExitResult result = process.WaitExit(TEST_LIMIT_MS);
    EXPECT_EQ(ExitStatus::Exited, result.status) << LastFailure();
    EXPECT_EQ((DWORD)IDNO, result.exit_code);
}

enum class Answer { YesButton, NoButton, EnterKey };

struct AnswerCase {
    const char *name;
    Answer answer;
    DWORD expected_exit;  // MessageBox's return
};

class QuestionBoxAnswer : public testing::TestWithParam<AnswerCase> {};

TEST_P(QuestionBoxAnswer, ExitCodeTellsWhichWasChosen)
{
    const AnswerCase &c = GetParam();
    Process process;
    ASSERT_TRUE(process.Start(FixtureLaunch({"msgbox"}))) << LastFailure();
    HWND box = process.WaitWindow(FIXTURE_BOX, TEST_LIMIT_MS);
    ASSERT_TRUE(box) << LastFailure();
    EXPECT_EQ("Proceed?", MessageBoxText(box));

    switch (c.answer) {
    case Answer::YesButton: ASSERT_TRUE(PressButtonId(box, IDYES)) << LastFailure(); break;
    case Answer::NoButton: ASSERT_TRUE(PressButtonId(box, IDNO)) << LastFailure(); break;
    case Answer::EnterKey: ASSERT_TRUE(PressKey(box, Key::Enter)) << LastFailure(); break;
    }
    EXPECT_TRUE(WaitClosed(box, TEST_LIMIT_MS)) << LastFailure();
    ExitResult result = process.WaitExit(TEST_LIMIT_MS);
    EXPECT_EQ(ExitStatus::Exited, result.status) << LastFailure();
    EXPECT_EQ(c.expected_exit, result.exit_code) << c.name;
}

// Enter takes the default button, the first one: Yes.
INSTANTIATE_TEST_SUITE_P(Answers, QuestionBoxAnswer,
                         testing::Values(AnswerCase{"Yes", Answer::YesButton, IDYES},
                                         AnswerCase{"No", Answer::NoButton, IDNO},
                                         AnswerCase{"Enter", Answer::EnterKey, IDYES}),
                         [](const testing::TestParamInfo<AnswerCase> &info) {
                             return std::string(info.param.name);
                         });
