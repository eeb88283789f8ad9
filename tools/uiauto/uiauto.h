// uiauto: drives a Windows program the way a person would, for end-to-end
// tests and for the uidriver command.
//
// A test starts the program under test as a child (Process::Start), waits
// for its top-level windows (Process::WaitWindow), reads their captions and
// controls (Describe, FormatWindow, MessageBoxText), presses buttons, types
// into edit controls and presses keys, and finally collects the exit code
// (Process::WaitExit).
//
// Everything works across processes, which is the only case that matters:
//  - texts are read with WM_GETTEXT through SendMessageTimeout, since
//    GetWindowText does not read another process's controls, and a hung
//    program costs at most MESSAGE_TIMEOUT_MS per message;
//  - buttons are pressed with a posted BM_CLICK, so that a handler which
//    opens a modal box of its own never blocks the driver;
//  - characters are sent to the edit control one WM_CHAR at a time, so the
//    control and its dialog see what typing produces (EN_UPDATE, EN_CHANGE);
//  - keys are posted to the control that has the focus in the program's
//    thread, so that the dialog's own loop (IsDialogMessage) turns Enter,
//    Escape, Tab and Alt+letter into commands exactly as for a person.
// Posted input is asynchronous: its effect (a window closes, the process
// ends) is what the caller waits for next. Tab alone waits for its effect,
// the focus moving, so that keys after it go to the right control.
//
// Every wait has a limit. A call that fails returns 0, false or nullptr and
// leaves its reason in LastFailure(): what was sought, and when a process is
// involved the windows it had open at that moment. Process::WaitExit kills a
// process that outlives its limit, and the Process destructor kills one that
// is still running, so an early ASSERT return leaves nothing behind and a
// hung program never hangs the suite. The child runs in a job object when
// the system allows it, so that killing it also ends what it started.
//
// Texts are in the ANSI code page (the A functions), byte for byte what the
// program shows; FormatWindow escapes bytes outside printable ASCII as \xNN.
// One thread drives one Process; nothing here is thread-safe.
//
// A test, in short:
//   uiauto::Process app;
//   ASSERT_TRUE(app.Start({{TALVOK_STUB_PATH, "-info"}})) << uiauto::LastFailure();
//   HWND box = app.WaitWindow({"Talvok Self-Extractor", "#32770"});
//   ASSERT_TRUE(box) << uiauto::LastFailure();
//   EXPECT_EQ(expected_text, uiauto::MessageBoxText(box));
//   ASSERT_TRUE(uiauto::PressButtonId(box, IDOK)) << uiauto::LastFailure();
//   uiauto::ExitResult result = app.WaitExit();
//   ASSERT_EQ(uiauto::ExitStatus::Exited, result.status) << uiauto::LastFailure();
//   EXPECT_EQ(0u, result.exit_code);
#pragma once

#include <windows.h>

#include <string>
#include <utility>
#include <vector>

namespace uiauto {

constexpr DWORD DEFAULT_TIMEOUT_MS = 10000;  // for waits not given a limit
constexpr UINT MESSAGE_TIMEOUT_MS = 5000;    // per message sent to the program
constexpr DWORD POLL_INTERVAL_MS = 10;       // between looks at the windows
constexpr UINT KILLED_EXIT_CODE = 0xDEAD;    // exit code of a killed child

//---------------------------------------------------------------- processes

struct LaunchOptions {
    LaunchOptions() = default;
    LaunchOptions(std::vector<std::string> program_and_args) : argv(std::move(program_and_args)) {}

    std::vector<std::string> argv;  // program first; quoted with QuoteArgs
    std::string command_line;       // used as given when argv is empty
    std::string working_dir;        // empty: the caller's
    std::vector<std::string> env;   // "NAME=VALUE", added or replacing
    std::string output_path;        // empty: none; else stdout and stderr go
                                    // to this file (created afresh)
};

// WaitWindow's three outcomes.
enum class WaitResult { Found, TimedOut, ProcessExited };

// WaitExit's outcomes: exited by itself within the limit, killed after the
// limit passed, or there was no process to wait for.
enum class ExitStatus { Exited, Killed, NotStarted };

struct ExitResult {
    ExitStatus status;
    DWORD exit_code;  // the program's, or KILLED_EXIT_CODE
};

// Which windows a wait accepts. Empty fields accept anything; texts compare
// exactly. Only visible windows count: a dialog turns visible after its
// WM_INITDIALOG, so its controls are complete by then.
struct WindowMatch {
    std::string caption;
    std::string class_name;  // "#32770" for dialogs and message boxes
};

class Process {
public:
    Process() = default;
    Process(const Process &) = delete;
    Process &operator=(const Process &) = delete;
    ~Process();  // kills the child if it still runs

    // Starts the child. 1: started; 0: CreateProcess failed (LastFailure
    // names the command and the error) or a child was already started.
    [[nodiscard]] bool Start(const LaunchOptions &options);

    DWORD Id() const { return id_; }
    HANDLE Handle() const { return handle_; }
    [[nodiscard]] bool Running() const;

    // Waits up to timeout_ms for a visible top-level window of the child
    // that fits match, newest in z-order first. Returns it, or nullptr when
    // the limit passed or the child ended first; LastWait() tells which, and
    // LastFailure() lists the windows that were open.
    [[nodiscard]] HWND WaitWindow(const WindowMatch &match = {},
                                  DWORD timeout_ms = DEFAULT_TIMEOUT_MS);
    WaitResult LastWait() const { return last_wait_; }

    // The child's visible top-level windows, topmost first.
    std::vector<HWND> Windows() const;

    // Waits up to timeout_ms for the child to end. When the limit passes,
    // records the open windows in LastFailure(), kills the child and returns
    // Killed with KILLED_EXIT_CODE. The handle stays valid for inspection.
    ExitResult WaitExit(DWORD timeout_ms = DEFAULT_TIMEOUT_MS);

    // Ends the child (and its job) now, without a report; waits for it.
    void Kill();

    // The child's windows, formatted (FormatWindow), for failure messages.
    std::string Dump(bool details = true) const;

private:
    HANDLE handle_ = nullptr;
    HANDLE job_ = nullptr;
    DWORD id_ = 0;
    WaitResult last_wait_ = WaitResult::Found;
};

// Builds a command line that the C runtime splits back into args: quotes
// an argument with spaces, tabs or quotes, and doubles the backslashes that
// precede a quote.
std::string QuoteArgs(const std::vector<std::string> &args);

// Why the last failing call failed; empty before any failure.
const std::string &LastFailure();

//---------------------------------------------------------------- windows

struct ControlInfo {
    HWND hwnd;
    int id;                  // GetDlgCtrlID: 16 bits in dialogs (0xFFFF: -1)
    std::string class_name;  // "Button", "Edit", "Static", ...
    std::string text;
    DWORD style;
    bool visible;            // its own WS_VISIBLE, not its parent's
    bool enabled;
    RECT rect;               // in the top-level window's client coordinates
};

struct WindowInfo {
    HWND hwnd;
    DWORD process_id;
    std::string caption;
    std::string class_name;
    DWORD style;
    bool visible;
    bool enabled;
    RECT rect;                          // screen coordinates
    std::vector<ControlInfo> controls;  // all descendants, EnumChildWindows order
};

// Visible (or all) top-level windows of a process, topmost first.
std::vector<HWND> TopLevelWindows(DWORD process_id, bool visible_only = true);

// A window's text through WM_GETTEXT; "" when it has none or does not answer
// within MESSAGE_TIMEOUT_MS.
std::string WindowText(HWND hwnd);
std::string ClassName(HWND hwnd);

WindowInfo Describe(HWND top);

// One line for the window, one indented line per control:
//   window 0x000100A4 "caption" [#32770] pid 42
//     id 1      Button   "&OK"
// details adds style, visible/enabled and position to every line.
std::string FormatWindow(const WindowInfo &info, bool details = false);

// "0x000100A4": how handles print in listings and failure texts.
std::string HexHandle(const void *handle);

// Escapes a text for printing: \xNN outside printable ASCII, \" and \\.
std::string Printable(const std::string &text);

//---------------------------------------------------------------- controls

// Texts compare exactly, or with '&' accelerator marks removed on both
// sides ("&&" stands for one '&').
enum class TextMatch { Exact, IgnoreAccelerators };

std::string StripAccelerators(const std::string &text);

// A descendant control by id; nullptr (and LastFailure) when there is none.
HWND FindControl(HWND top, int id);
// A descendant control by class name (case-insensitive) and text.
HWND FindControl(HWND top, const std::string &class_name, const std::string &text,
                 TextMatch match = TextMatch::Exact);
// A descendant "Button" by its label, '&' ignored unless asked otherwise.
HWND FindButton(HWND top, const std::string &label,
                TextMatch match = TextMatch::IgnoreAccelerators);

// A message box's text: the static control with id 0xFFFF (Windows), else
// the first static with text that is not an icon (Wine numbers it 100).
// "" (and LastFailure) when there is none.
std::string MessageBoxText(HWND box);

// The control that has the keyboard focus in the window's thread, or
// nullptr when none (or the thread cannot tell).
HWND FocusedControl(HWND top);

//---------------------------------------------------------------- input

// Posts BM_CLICK to a button. 0 when it is not a visible, enabled window:
// a person cannot press those either.
[[nodiscard]] bool PressButton(HWND button);
// FindButton, then PressButton.
[[nodiscard]] bool PressButton(HWND top, const std::string &label,
                               TextMatch match = TextMatch::IgnoreAccelerators);
// By control id (IDOK, IDYES, ...), then PressButton.
[[nodiscard]] bool PressButtonId(HWND top, int id);

// Replaces a control's text with WM_SETTEXT. 0 when it does not answer.
[[nodiscard]] bool SetText(HWND control, const std::string &text);

// Types into an edit control as a person replacing its text would: selects
// it all, presses Backspace, then sends one WM_CHAR per byte of text.
// Returns when all are processed.
// 0 when the control is disabled or does not answer.
[[nodiscard]] bool TypeText(HWND edit, const std::string &text);

enum class Key { Enter, Escape, Tab, Space };

// Posts the key's down and up to the focused control of top's thread (or to
// top when nothing has the focus). Tab then waits up to DEFAULT_TIMEOUT_MS
// for the focus to move and returns 0 if it does not.
[[nodiscard]] bool PressKey(HWND top, Key key);

// Posts Alt+letter (WM_SYSCHAR) as the dialog's accelerator handling
// expects; the control whose label marks that letter with '&' reacts.
[[nodiscard]] bool PressAltKey(HWND top, char letter);

// Waits up to timeout_ms for the window to be destroyed. 0: still there.
[[nodiscard]] bool WaitClosed(HWND hwnd, DWORD timeout_ms = DEFAULT_TIMEOUT_MS);

// Makes letter ('a' to 'z') a removable drive on folder (a Windows path),
// or takes the drive away when folder is empty, through Wine's mount
// manager: the letter is re-pointed and the label read anew from the
// folder's .windows-label at once, for every process of the session (the
// mount manager keeps each volume's label from the drive's definition on;
// a label file rewritten, or dosdevices/a: re-pointed, behind its back stays
// unseen). 0 when the mount manager refuses or the folder has no Unix path.
[[nodiscard]] bool DefineRemovableDrive(char letter, const std::string &folder);

}  // namespace uiauto
