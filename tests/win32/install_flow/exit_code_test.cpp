// The exit codes of --exit-codes, each reached through the situation that
// produces it, and the same situations without the option, which exit as the
// installer always has (0; 1 only after an internal error). Every box is
// answered with OK as a person would (the password prompt with a wrong one);
// the cancel case presses Cancel in the main dialog before Install.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "support/test_files.h"
#include "support/window_answerer.h"
#include "uiauto.h"

namespace {

using namespace stub_test;

constexpr int ID_MESSAGE = 101, ID_PASSWORD = 402;

struct Ended {
    bool exited = false;
    DWORD code = 0;
    std::vector<std::string> boxes;  // texts of the boxes answered, in order
};

// Runs installer NAME.exe of the flow folder with its own TMP; presses
// Cancel in its main dialog when cancel is set and OK on every box.
Ended RunAnswering(const std::string &name, bool cancel)
{
    const std::string temp = FullPath("temp-codes-" + name);
    RemoveTree(temp);
    CreateDirectoryA(temp.c_str(), nullptr);
    uiauto::Process program;
    uiauto::LaunchOptions launch;
    launch.command_line = "\"" + std::string(TALVOK_FLOW_DIR) + "\\" + name + ".exe\"";
    launch.env = {"TMP=" + temp, "TALVOK_REPORT=" + FullPath("report-codes-" + name + ".txt")};
    Ended ended;
    if (!program.Start(launch)) {
        ended.boxes.push_back("not started: " + uiauto::LastFailure());
        return ended;
    }
    bool ends = WaitUntil([&] {
        for (HWND window : program.Windows()) {
            if (uiauto::ClassName(window) != "#32770")
                continue;
            if (HWND password = GetDlgItem(window, ID_PASSWORD)) {
                if (uiauto::TypeText(password, "clave equivocada") && uiauto::PressButtonId(window, IDOK))
                    ended.boxes.push_back("[password typed]");
            } else if (GetDlgItem(window, ID_MESSAGE)) {
                if (cancel && uiauto::PressButtonId(window, IDCANCEL))
                    cancel = false;
            } else {
                std::string text = uiauto::MessageBoxText(window);
                if (uiauto::PressButtonId(window, IDOK))
                    ended.boxes.push_back(text);
            }
        }
        return !program.Running();
    }, 30000);
    uiauto::ExitResult result = program.WaitExit(5000);
    ended.exited = ends;
    ended.code = result.exit_code;
    return ended;
}

struct CodeCase {
    const char *name;      // the installer's situation, after "plain-" or "codes-"
    bool cancel;           // press Cancel in the main dialog
    DWORD plain_code;      // without --exit-codes
    DWORD code;            // with it
    const char *box_start; // the first box's text begins so ("" for no box)
};

const CodeCase CASES[] = {
    {"3010", false, 0, 3010, ""},                                    // the command's own code
    {"damaged", false, 0, 0x20000001, "Zip da"},                     // a member's data altered
    {"unwritable", false, 0, 0x20000002, "No se "},                  // a folder where a file is
    {"missing", false, 0, 0x20000004, ""},                           // the system's text, any language
    {"no-command", false, 0, 0x20000005, "Error, no se ha definido"},
    {"password", false, 0, 0x20000003, "[password typed]"},          // a wrong one
    {"cancel", true, 0, 1602, ""},                                   // Cancel before Install
    {"internal", false, 1, 1603, "Talvok internal error"},           // a title longer than its buffer
};

TEST(ExitCodes, EachSituationEndsWithItsCodeAndWithoutTheOptionAsAlways)
{
    for (const CodeCase &c : CASES) {
        for (bool codes : {false, true}) {
            const std::string name = std::string(codes ? "codes-" : "plain-") + c.name;
            Ended ended = RunAnswering(name, c.cancel);
            std::string boxes;
            for (const std::string &box : ended.boxes)
                boxes += "[" + box + "] ";
            EXPECT_TRUE(ended.exited) << name << " did not end by itself; boxes: " << boxes;
            EXPECT_EQ(codes ? c.code : c.plain_code, ended.code) << name << "; boxes: " << boxes;
            if (c.box_start[0]) {
                ASSERT_FALSE(ended.boxes.empty()) << name;
                EXPECT_EQ(0u, ended.boxes[0].find(c.box_start)) << name << ": " << ended.boxes[0];
            }
            // Printed for the record: the code each situation produced.
            std::printf("%-18s exit code %lu (0x%08lX)\n", name.c_str(), static_cast<unsigned long>(ended.code),
                        static_cast<unsigned long>(ended.code));
        }
    }
}

}  // namespace
