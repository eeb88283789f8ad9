// The password dialog as a person meets it: shown before a run whose first
// member is encrypted, typed into and confirmed or cancelled from a second
// thread, and the password it takes then opening the encrypted members.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "archive/member_record.h"
#include "extract/crypt/member_input.h"
#include "extract/crypt/password_dialog.h"
#include "extract/extraction_support.h"
#include "support/test_files.h"
#include "uiauto.h"

namespace {

using namespace stub_test;

const char DIALOG_CAPTION[] = "Talvok Self-Extractor: contrase\xF1" "a";

// Sets the held password as the dialog would (a GlobalAlloc'd block).
void HoldPassword(const char *text)
{
    Password = nullptr;
    if (!text)
        return;
    const size_t bytes = lstrlenA(text) + 1;
    Password = static_cast<char *>(GlobalLock(GlobalAlloc(GHND, bytes)));
    lstrcpynA(Password, text, static_cast<int>(bytes));
}

std::string HeldPassword() { return Password ? Password : "<none>"; }

// Types text into the field and presses button. The record is the caption,
// whether the dialog is centred on the screen, and whether it was still open
// a moment after the press; a second button, when given, is pressed then.
WindowAnswerer::Answer Fill(const std::string &text, int button, int then_button = 0)
{
    return [=](HWND dialog) {
        std::string record = uiauto::WindowText(dialog);
        RECT frame;
        GetWindowRect(dialog, &frame);
        const int x = (GetSystemMetrics(SM_CXSCREEN) - (frame.right - frame.left)) / 2;
        const int y = (GetSystemMetrics(SM_CYSCREEN) - (frame.bottom - frame.top)) / 2;
        record += (frame.left == x && frame.top == y) ? " | centred" : " | not centred";
        HWND edit = uiauto::FindControl(dialog, ID_PASSWORD_EDIT);
        if (!edit || !uiauto::TypeText(edit, text) || !uiauto::PressButtonId(dialog, button))
            return record + " | " + uiauto::LastFailure();
        Sleep(300);
        record += IsWindowVisible(dialog) ? " | open" : " | closed";
        if (then_button && !uiauto::PressButtonId(dialog, then_button))
            record += " | " + uiauto::LastFailure();
        return record;
    };
}

class PasswordDialogTest : public ExtractionRunTest {
protected:
    void SetUp() override { MemberRecord.flags = MEMBER_ENCRYPTED; }
    void TearDown() override { Password = nullptr; }
};

TEST_F(PasswordDialogTest, AnswersDecideTheRunAndThePasswordHeld)
{
    const std::string long_text(300, 'c');
    const std::string centred = std::string(DIALOG_CAPTION) + " | centred";
    const struct {
        const char *label;
        const char *held_before;
        std::string typed;
        int button, then_button;
        bool goes_on;
        std::string held_after, record;
    } cases[] = {
        {"confirmed", nullptr, "clave secreta", IDOK, 0, true, "clave secreta", centred + " | closed"},
        {"confirmed replaces", "vieja", "Nueva Clave", IDOK, 0, true, "Nueva Clave", centred + " | closed"},
        {"cancelled keeps", "vieja", "otra", IDCANCEL, 0, false, "vieja", centred + " | closed"},
        {"cancelled, none held", nullptr, "otra", IDCANCEL, 0, false, "<none>", centred + " | closed"},
        {"empty stays open", "vieja", "", IDOK, IDCANCEL, false, "vieja", centred + " | open"},
        {"254 characters kept", nullptr, long_text, IDOK, 0, true, long_text.substr(0, 254),
         centred + " | closed"},
    };
    for (const auto &c : cases) {
        HoldPassword(c.held_before);
        WindowAnswerer dialogs(Fill(c.typed, c.button, c.then_button));
        EXPECT_EQ(c.goes_on, PromptForPassword(nullptr)) << c.label;
        const std::vector<std::string> &records = dialogs.Stop();
        ASSERT_EQ(1u, records.size()) << c.label;
        EXPECT_EQ(c.record, records[0]) << c.label;
        EXPECT_EQ(c.held_after, HeldPassword()) << c.label;
    }
}

TEST_F(PasswordDialogTest, NoDialogWhenTheRunStartsUnencrypted)
{
    MemberRecord.flags = 0;
    WindowAnswerer dialogs(Fill("clave secreta", IDOK));
    EXPECT_TRUE(PromptForPassword(nullptr));
    Sleep(200);
    EXPECT_TRUE(dialogs.Stop().empty());
}

// An owner that is no window: the dialog cannot be created, which must not
// count as confirmed.
TEST_F(PasswordDialogTest, DialogThatCannotBeCreatedStartsNoRun)
{
    HoldPassword("vieja");
    EXPECT_FALSE(PromptForPassword(reinterpret_cast<HWND>(static_cast<uintptr_t>(0x7FFF0))));
    EXPECT_EQ("vieja", HeldPassword());
}

TEST_F(PasswordDialogTest, PasswordTypedOpensTheEncryptedMembers)
{
    for (const char *name : {"encrypted", "encrypted64"}) {
        HoldPassword(nullptr);
        MemberRecord.flags = MEMBER_ENCRYPTED;
        {
            WindowAnswerer dialogs(Fill("clave secreta", IDOK));
            ASSERT_TRUE(PromptForPassword(nullptr)) << name;
        }
        WindowAnswerer boxes(PressOnEveryBox(IDOK));
        const std::string folder = std::string("typed-") + name;
        EXPECT_EQ(0, Run(Archives(std::string(name) + ".exe"), folder)) << name;
        EXPECT_TRUE(boxes.Stop().empty()) << name;
        ExpectSameTree(Archives(std::string("expected\\") + name), FullPath(folder), name);
    }
}

}  // namespace
