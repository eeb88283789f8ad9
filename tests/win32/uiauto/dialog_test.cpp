// The helper on a dialog built from an in-memory template: the control
// listing, typing and setting text (read back byte for byte from the file
// the fixture writes on OK), keys, and a disabled button.
#include <gtest/gtest.h>

#include "uiauto/uiauto_support.h"

using namespace uiauto;

static const WindowMatch FIXTURE_DIALOG = {"uiauto fixture dialog", "#32770"};

// The fixture's dialog, started and shown, writing OK's text to the scratch
// file `output`.
struct RunningDialog {
    std::string output;
    Process process;
    HWND dialog = nullptr;

    explicit RunningDialog(const std::string &name) : output(ScratchPath(name))
    {
        if (process.Start(FixtureLaunch({"dialog", output})))
            dialog = process.WaitWindow(FIXTURE_DIALOG, TEST_LIMIT_MS);
    }
};

TEST(Dialog, ListsControlsInTemplateOrder)
{
    RunningDialog run("listing.txt");
    ASSERT_TRUE(run.dialog) << LastFailure();

    static const struct {
        int id;
        const char *class_name;
        const char *text;
        bool enabled;
    } expected[] = {
        {100, "Static", "&Name:", true},   {101, "Edit", "draft", true},
        {IDOK, "Button", "&OK", true},     {IDCANCEL, "Button", "&Cancel", true},
        {102, "Button", "&Later", false},
    };
    WindowInfo info = Describe(run.dialog);
    EXPECT_EQ("uiauto fixture dialog", info.caption);
    EXPECT_EQ("#32770", info.class_name);
    EXPECT_EQ(run.process.Id(), info.process_id);
    ASSERT_EQ(std::size(expected), info.controls.size()) << FormatWindow(info, true);
    for (size_t i = 0; i < info.controls.size(); i++) {
        const ControlInfo &control = info.controls[i];
        SCOPED_TRACE("control " + std::to_string(i) + ":\n" + FormatWindow(info, true));
        EXPECT_EQ(expected[i].id, control.id);
        EXPECT_EQ(expected[i].class_name, control.class_name);
        EXPECT_EQ(expected[i].text, control.text);
        EXPECT_EQ(expected[i].enabled, control.enabled);
        EXPECT_TRUE(control.visible);
        EXPECT_GT(control.rect.right, control.rect.left);
    }

    // The same controls through each way of finding them.
    HWND edit = info.controls[1].hwnd;
    EXPECT_EQ(edit, FindControl(run.dialog, 101));
    EXPECT_EQ(edit, FindControl(run.dialog, "edit", "draft"));
    EXPECT_EQ(edit, FocusedControl(run.dialog)) << "the first tab stop has the focus";
    EXPECT_EQ(info.controls[2].hwnd, FindButton(run.dialog, "OK"));
    EXPECT_EQ(info.controls[2].hwnd, FindButton(run.dialog, "&OK", TextMatch::Exact));
    EXPECT_EQ(nullptr, FindButton(run.dialog, "OK", TextMatch::Exact));
    EXPECT_EQ(nullptr, FindControl(run.dialog, 999));
    EXPECT_NE(std::string::npos, LastFailure().find("\"&Later\"  (disabled)")) << LastFailure();

    ASSERT_TRUE(PressButton(run.dialog, "Cancel")) << LastFailure();
    ExitResult result = run.process.WaitExit(TEST_LIMIT_MS);
    EXPECT_EQ(ExitStatus::Exited, result.status) << LastFailure();
    EXPECT_EQ((DWORD)IDCANCEL, result.exit_code);
    bool written = true;
    ReadBytes(run.output, &written);
    EXPECT_FALSE(written) << "Cancel must not write the file";
}

TEST(Dialog, RefusesDisabledButton)
{
    RunningDialog run("disabled.txt");
    ASSERT_TRUE(run.dialog) << LastFailure();
    EXPECT_FALSE(PressButton(run.dialog, "Later"));
    EXPECT_NE(std::string::npos, LastFailure().find("disabled")) << LastFailure();
    EXPECT_FALSE(PressButton(run.dialog, "Nowhere"));
    EXPECT_TRUE(run.process.Running());
    ASSERT_TRUE(PressButtonId(run.dialog, IDCANCEL)) << LastFailure();
    EXPECT_EQ((DWORD)IDCANCEL, run.process.WaitExit(TEST_LIMIT_MS).exit_code);
}

enum class Entry { SetText, TypeText };

struct TextCase {
    const char *name;
    Entry entry;
    std::string text;
};

class DialogText : public testing::TestWithParam<TextCase> {};

TEST_P(DialogText, ReadsBackExactly)
{
    const TextCase &c = GetParam();
    RunningDialog run(std::string(c.name) + ".txt");
    ASSERT_TRUE(run.dialog) << LastFailure();
    HWND edit = FindControl(run.dialog, 101);
    ASSERT_TRUE(edit) << LastFailure();

    if (c.entry == Entry::SetText)
        ASSERT_TRUE(SetText(edit, c.text)) << LastFailure();
    else
        ASSERT_TRUE(TypeText(edit, c.text)) << LastFailure();
    EXPECT_EQ(c.text, WindowText(edit)) << "in the control before OK";
    ASSERT_TRUE(PressButton(run.dialog, "OK")) << LastFailure();
    ExitResult result = run.process.WaitExit(TEST_LIMIT_MS);
    ASSERT_EQ(ExitStatus::Exited, result.status) << LastFailure();
    EXPECT_EQ((DWORD)IDOK, result.exit_code);

    bool written = false;
    EXPECT_EQ(c.text, ReadBytes(run.output, &written));
    EXPECT_TRUE(written);
}

// ANSI bytes outside ASCII (e acute 0xE9, o umlaut 0xF6) and '&', which a
// static would take for an accelerator but an edit keeps; an empty text
// replaces the initial "draft" too.
static const std::string ODD_TEXT = "h\xE9llo w\xF6rld & \"more\"";
INSTANTIATE_TEST_SUITE_P(Entries, DialogText,
                         testing::Values(TextCase{"set", Entry::SetText, ODD_TEXT},
                                         TextCase{"typed", Entry::TypeText, ODD_TEXT},
                                         TextCase{"typed_empty", Entry::TypeText, ""}),
                         [](const testing::TestParamInfo<TextCase> &info) {
                             return std::string(info.param.name);
                         });

// One key of a sequence: a Key, or Alt+letter when letter is set.
struct Stroke {
    Key key;
    char letter;
};
static Stroke Press(Key key) { return {key, 0}; }
static Stroke Alt(char letter) { return {Key::Enter, letter}; }

struct KeysCase {
    const char *name;
    std::vector<Stroke> strokes;
    DWORD expected_exit;  // IDOK (OK pressed, "draft" saved) or IDCANCEL
};

class DialogKeys : public testing::TestWithParam<KeysCase> {};

TEST_P(DialogKeys, EndDialogAsAPersonWould)
{
    const KeysCase &c = GetParam();
    RunningDialog run(std::string(c.name) + ".txt");
    ASSERT_TRUE(run.dialog) << LastFailure();
    for (const Stroke &stroke : c.strokes) {
        if (stroke.letter) {
            ASSERT_TRUE(PressAltKey(run.dialog, stroke.letter)) << LastFailure();
        } else {
            ASSERT_TRUE(PressKey(run.dialog, stroke.key)) << LastFailure();
        }
    }

    ExitResult result = run.process.WaitExit(TEST_LIMIT_MS);
    ASSERT_EQ(ExitStatus::Exited, result.status) << LastFailure();
    EXPECT_EQ(c.expected_exit, result.exit_code);
    bool written = false;
    std::string saved = ReadBytes(run.output, &written);
    EXPECT_EQ(c.expected_exit == IDOK, written);
    if (written) {
        EXPECT_EQ("draft", saved);
    }
}

// The focus starts in the edit; Tab goes to OK, then to Cancel, and Space
// presses the button that has it. Enter takes the default button (OK),
// Escape cancels, Alt+letter follows the labels' '&' marks.
INSTANTIATE_TEST_SUITE_P(
    Keys, DialogKeys,
    testing::Values(KeysCase{"Enter", {Press(Key::Enter)}, IDOK},
                    KeysCase{"Escape", {Press(Key::Escape)}, IDCANCEL},
                    KeysCase{"TabSpace", {Press(Key::Tab), Press(Key::Space)}, IDOK},
                    KeysCase{"TabTabSpace",
                             {Press(Key::Tab), Press(Key::Tab), Press(Key::Space)},
                             IDCANCEL},
                    KeysCase{"AltO", {Alt('o')}, IDOK},
                    KeysCase{"AltC", {Alt('c')}, IDCANCEL}),
    [](const testing::TestParamInfo<KeysCase> &info) { return std::string(info.param.name); });
