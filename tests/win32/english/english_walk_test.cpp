// An English installer (tvsfx build --language en) walked through the way a
// person meets it most: every window and message read back and compared,
// byte for byte, with the English table (resources/en/messages.txt, as the
// stub converts it from code page 850 to the ANSI code page) and the English
// dialog templates. The meter paints the status line's text (StringId 44)
// itself; what it paints is not readable through WM_GETTEXT, so the status
// line's copy stands for it here (make screenshots shows the meter).
#include <gtest/gtest.h>
#include <windows.h>

#include <climits>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "archive/read_error_codes.h"
#include "startup/byte_helpers.h"
#include "support/test_files.h"
#include "support/window_answerer.h"
#include "uiauto.h"

extern const char *const MessageTexts_en[64];

namespace {

using namespace stub_test;

constexpr int ID_MESSAGE = 101, ID_STATUS = 109, ID_ABOUT = 112, ID_PASSWORD = 402;
const char CAPTION[] = "Talvok Self-Extractor";

// StringId id of the English table as the stub shows it.
std::string Text(int id)
{
    std::string text = MessageTexts_en[id];
    OemToCharBuffA(text.c_str(), &text[0], static_cast<DWORD>(text.size()));
    return text;
}

// StringId id formatted with the stub's own formatter.
template <typename... Args>
std::string Formatted(int id, Args... args)
{
    char buffer[1024];
    return FormatString(buffer, sizeof buffer, Text(id).c_str(), args...) ? "(does not fit)" : buffer;
}

// One installer run with its own temporary root.
class InstallerRun {
public:
    InstallerRun(const std::string &name, const std::string &arguments = "") : name_(name)
    {
        temp_ = FullPath("temp-en-" + name);
        report_ = FullPath("report-en-" + name + ".txt");
        RemoveTree(temp_);
        CreateDirectoryA(temp_.c_str(), nullptr);
        DeleteFileA(report_.c_str());
        uiauto::LaunchOptions launch;
        launch.command_line = "\"" + Installer() + "\"" + (arguments.empty() ? "" : " " + arguments);
        launch.env = {"TMP=" + temp_, "TALVOK_REPORT=" + report_};
        started_ = program.Start(launch);
    }
    ~InstallerRun() { program.Kill(); }
    std::string Installer() const { return std::string(TALVOK_ENGLISH_DIR) + "\\" + name_ + ".exe"; }
    bool Started() const { return started_; }
    HWND Dialog()
    {
        HWND dialog = nullptr;
        (void)WaitUntil([&] {
            for (HWND window : program.Windows())
                if (GetDlgItem(window, ID_MESSAGE))
                    dialog = window;
            return dialog != nullptr || !program.Running();
        });
        return dialog;
    }
    // A dialog without control 101 (a message box, the password dialog) other than skip.
    HWND Box(HWND skip = nullptr)
    {
        HWND box = nullptr;
        (void)WaitUntil([&] {
            for (HWND window : program.Windows())
                if (window != skip && uiauto::ClassName(window) == "#32770" && !GetDlgItem(window, ID_MESSAGE))
                    box = window;
            return box != nullptr || !program.Running();
        });
        return box;
    }
    bool Reported() const { return GetFileAttributesA(report_.c_str()) != INVALID_FILE_ATTRIBUTES; }
    uiauto::Process program;

private:
    std::string name_, temp_, report_;
    bool started_ = false;
};

bool Press(HWND window, int id) { return window && uiauto::PressButtonId(window, id); }

// What a case saw: one entry per text, what was shown beside what the
// English table says.
struct Seen {
    std::vector<std::pair<std::string, std::pair<std::string, std::string>>> texts;
    void Add(const std::string &what, const std::string &shown, const std::string &expected)
    {
        texts.push_back({what, {shown, expected}});
    }
    void AddBox(const std::string &what, HWND box, const std::string &expected)
    {
        Add(what + " (caption)", box ? uiauto::WindowText(box) : "(no box)", CAPTION);
        Add(what, box ? uiauto::MessageBoxText(box) : "(no box)", expected);
    }
};

struct WalkCase {
    const char *label;
    const char *installer;
    const char *arguments;
    void (*walk)(InstallerRun &run, Seen &seen);
};

const WalkCase WalkCases[] = {
    {"main dialog captioned with StringId 8", "caption", "",
     [](InstallerRun &run, Seen &seen) {
         HWND dialog = run.Dialog();
         seen.Add("caption", uiauto::WindowText(dialog), Text(8));
         (void)Press(dialog, IDCANCEL);
         (void)run.program.WaitExit();
     }},
    {"main dialog", "run", "",
     [](InstallerRun &run, Seen &seen) {
         HWND dialog = run.Dialog();
         seen.Add("caption", uiauto::WindowText(dialog), std::string(CAPTION) + " - run.exe");
         seen.Add("install button", uiauto::WindowText(GetDlgItem(dialog, IDOK)), "&Install");
         seen.Add("cancel button", uiauto::WindowText(GetDlgItem(dialog, IDCANCEL)), "Cancel");
         seen.Add("about button", uiauto::WindowText(GetDlgItem(dialog, ID_ABOUT)), "&About");
         (void)Press(dialog, IDCANCEL);
         (void)run.program.WaitExit();
     }},
    {"cancel question and the status line during extraction", "run", "",
     [](InstallerRun &run, Seen &seen) {
         HWND dialog = run.Dialog();
         // Queued together: the run's first poll finds Cancel's click.
         PostMessageA(GetDlgItem(dialog, IDOK), BM_CLICK, 0, 0);
         PostMessageA(GetDlgItem(dialog, IDCANCEL), BM_CLICK, 0, 0);
         HWND box = run.Box();
         seen.AddBox("cancel question", box, Text(20));
         // The run stands at its first member while the question is up.
         seen.Add("status line", uiauto::WindowText(GetDlgItem(dialog, ID_STATUS)), Formatted(44, "readme.txt"));
         (void)Press(box, IDYES);
         (void)run.program.WaitExit(30000);
     }},
    {"cancel before the run", "run", "",
     [](InstallerRun &run, Seen &seen) {
         (void)Press(run.Dialog(), IDCANCEL);
         (void)run.program.WaitExit();
         seen.Add("exits without a question", run.program.Running() ? "running" : "ended", "ended");
     }},
    {"password dialog and a wrong password", "encrypted", "",
     [](InstallerRun &run, Seen &seen) {
         (void)Press(run.Dialog(), IDOK);
         HWND prompt = run.Box();
         seen.Add("caption", uiauto::WindowText(prompt), "Talvok Self-Extractor: password");
         seen.Add("label", uiauto::WindowText(GetDlgItem(prompt, 401)),
                  "This self-extracting Zip file is protected by a password.\n\nEnter the &password:");
         seen.Add("ok button", uiauto::WindowText(GetDlgItem(prompt, IDOK)), "OK");
         seen.Add("cancel button", uiauto::WindowText(GetDlgItem(prompt, IDCANCEL)), "Cancel");
         (void)uiauto::TypeText(uiauto::FindControl(prompt, ID_PASSWORD), "wrong words");
         (void)Press(prompt, IDOK);
         HWND box = run.Box(prompt);
         seen.AddBox("wrong password", box, Text(6));
         (void)Press(box, IDOK);
         (void)run.program.WaitExit(30000);
     }},
    {"about box with the author's text", "about", "",
     [](InstallerRun &run, Seen &seen) {
         HWND dialog = run.Dialog();
         seen.Add("info button", uiauto::WindowText(GetDlgItem(dialog, ID_ABOUT)), "I&nfo...");
         (void)Press(dialog, ID_ABOUT);
         HWND box = run.Box();
         seen.AddBox("about box", box, Formatted(50, "About this test", Text(54).c_str()));
         (void)Press(box, IDOK);
         (void)uiauto::WaitClosed(box);
         (void)Press(dialog, IDCANCEL);
         (void)run.program.WaitExit();
     }},
    {"about box of the program", "run", "",
     [](InstallerRun &run, Seen &seen) {
         HWND dialog = run.Dialog();
         (void)Press(dialog, ID_ABOUT);
         HWND box = run.Box();
         seen.AddBox("about box", box, Text(54));
         (void)Press(box, IDOK);
         (void)uiauto::WaitClosed(box);
         (void)Press(dialog, IDCANCEL);
         (void)run.program.WaitExit();
     }},
    {"the Done wait and its question", "done", "",
     [](InstallerRun &run, Seen &seen) {
         HWND dialog = run.Dialog();
         (void)Press(dialog, IDOK);
         HWND done = GetDlgItem(dialog, IDOK);
         std::string label;
         (void)WaitUntil([&] {
             label = uiauto::WindowText(done);
             return (label == Text(10) && IsWindowEnabled(done)) || !run.program.Running();
         }, 30000);
         seen.Add("done button", label, Text(10));
         (void)Press(dialog, IDOK);
         HWND box = run.Box();
         seen.AddBox("done question", box, Text(11));
         (void)Press(box, IDYES);
         (void)run.program.WaitExit(30000);
     }},
    {"-info", "info", "-info",
     [](InstallerRun &run, Seen &seen) {
         HWND box = run.Box();
         seen.AddBox("info box", box, "Information for -info");
         (void)Press(box, IDOK);
         (void)run.program.WaitExit();
     }},
    {"an altered stub (a text of the program's own, not the table's)", "altered", "",
     [](InstallerRun &run, Seen &seen) {
         HWND box = run.Box();
         seen.AddBox("altered", box,
                     "Talvok Self-Extractor header corrupt.  Possible cause:  bad disk or file transfer error");
         (void)Press(box, IDOK);
         (void)run.program.WaitExit();
     }},
    {"a damaged archive", "damaged", "",
     [](InstallerRun &run, Seen &seen) {
         HWND box = run.Box();
         seen.AddBox("damaged", box, Text(49));
         (void)Press(box, IDOK);
         (void)run.program.WaitExit();
     }},
    {"a read error with its code", "short-read", "",
     [](InstallerRun &run, Seen &seen) {
         (void)Press(run.Dialog(), IDOK);
         HWND box = run.Box();
         char own_path[MAX_PATH];
         GetFullPathNameA(run.Installer().c_str(), sizeof own_path, own_path, nullptr);
         seen.AddBox("read error", box,
                     Formatted(46, own_path) + " <" + std::to_string(READ_ERROR_MEMBER_DATA) + ">");
         (void)Press(box, IDOK);
         (void)run.program.WaitExit(30000);
     }},
};

TEST(EnglishWalk, EveryTextIsTheEnglishTables)
{
    for (const WalkCase &c : WalkCases) {
        InstallerRun run(c.installer, c.arguments);
        ASSERT_TRUE(run.Started()) << c.label << ": " << uiauto::LastFailure();
        Seen seen;
        c.walk(run, seen);
        ASSERT_FALSE(seen.texts.empty()) << c.label;
        for (const auto &text : seen.texts)
            EXPECT_EQ(uiauto::Printable(text.second.second), uiauto::Printable(text.second.first))
                << c.label << ": " << text.first << "\n" << run.program.Dump();
        run.program.Kill();
    }
}

}  // namespace
