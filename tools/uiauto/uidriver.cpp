// uidriver: runs a Windows program and plays a short script of a person's
// actions on its windows, printing every window as it appears. For shell
// scripts and the demo; the tests use the uiauto library directly.
//
// The run is one polling loop: list the program's windows (print the new
// ones, note the closed ones), try the next action, check the limits. An
// action waits for its window: the topmost visible, enabled window of the
// program that holds what the action needs (a modal dialog disables its
// owner, so this is the window a person could use). After a press or a key,
// the next action waits until that window closes, is disabled or hidden, a
// new window appears, the program ends, or the settle limit passes; so two
// presses of "OK" hit two windows, not one window twice.
#include "uiauto.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

using namespace uiauto;

// Exit codes of the driver itself; every other code is the program's.
constexpr int ACTION_FAILED_EXIT = 123;
constexpr int TIMED_OUT_EXIT = 124;
constexpr int USAGE_EXIT = 125;
constexpr int START_FAILED_EXIT = 126;

static const char USAGE[] =
    "usage: uidriver run [OPTIONS] [ACTIONS] -- PROGRAM [ARGS...]\n"
    "       uidriver disk L:=DIR     (as --insert-disk, before a run)\n"
    "       uidriver --help\n"
    "\n"
    "Starts PROGRAM, prints each of its top-level windows as it appears (handle,\n"
    "caption, class, then one line per control: id, class, text), performs the\n"
    "ACTIONS in order, waits for PROGRAM to end and exits with its exit code.\n"
    "Texts print with \\xNN for bytes outside printable ASCII.\n"
    "\n"
    "Options:\n"
    "  --timeout S        limit for the whole run in seconds (default 60)\n"
    "  --step-timeout S   limit for each action's window to appear (default 10)\n"
    "  --settle S         after a press or key, how long to wait at most for its\n"
    "                     window to close or change before the next action (default 2)\n"
    "  --cwd DIR          working directory of PROGRAM\n"
    "  --env NAME=VALUE   add or replace a variable in PROGRAM's environment\n"
    "  --dump             also print each window's and control's style, state and\n"
    "                     position\n"
    "\n"
    "Actions, each on the topmost enabled window that has what it needs:\n"
    "  --press LABEL      press the button labelled LABEL ('&' marks ignored)\n"
    "  --press-id ID      press the button with control id ID (decimal or 0x...)\n"
    "  --type ID=TEXT     type TEXT into edit control ID, replacing its text\n"
    "  --set ID=TEXT      set control ID's text at once (WM_SETTEXT)\n"
    "  --key KEY          press Enter, Escape, Tab or Space, or Alt+LETTER\n"
    "  --expect TEXT      wait for a window whose caption or a control's text is TEXT\n"
    "  --insert-disk L:=DIR  make drive L: a removable drive with folder DIR as its disk\n"
    "                     (its label from DIR\\.windows-label); L:= leaves it empty\n"
    "TEXT, LABEL: \\xNN stands for byte NN, \\\\ and \\\" for \\ and \" (as listings print\n"
    "them), so bytes outside ASCII need no particular shell code page.\n"
    "\n"
    "Exit codes: PROGRAM's own; 123 an action's window never appeared or the\n"
    "action failed; 124 the run outlived --timeout; 125 bad usage; 126 PROGRAM\n"
    "could not be started. On 123 and 124 the open windows are printed and\n"
    "PROGRAM is killed.\n";

//---------------------------------------------------------------- script

enum class ActionKind { Press, PressId, Type, Set, KeyPress, AltKey, Expect, InsertDisk };

struct Action {
    ActionKind kind;
    std::string spelled;  // as given, for messages
    std::string text;     // label, typed text, expected text
    int id;               // control id
    Key key;
    char letter;          // Alt+letter; the drive of --insert-disk
};

struct Settings {
    DWORD timeout_ms = 60000;
    DWORD step_timeout_ms = 10000;
    DWORD settle_ms = 2000;
    bool details = false;
    LaunchOptions launch;
    std::vector<Action> actions;
};

// Undoes Printable: \xNN gives that byte, \\ and \" the character after
// the backslash; any other backslash stands for itself. So a text printed
// in a listing can be given back on the command line as it was printed,
// bytes outside ASCII included, whatever the shell's code page.
static std::string Unescape(const std::string &text)
{
    std::string bytes;
    for (size_t i = 0; i < text.size(); i++) {
        if (text[i] == '\\' && i + 3 < text.size() && text[i + 1] == 'x' &&
            std::isxdigit((unsigned char)text[i + 2]) && std::isxdigit((unsigned char)text[i + 3])) {
            bytes += (char)std::strtol(text.substr(i + 2, 2).c_str(), nullptr, 16);
            i += 3;
        } else if (text[i] == '\\' && i + 1 < text.size() &&
                   (text[i + 1] == '\\' || text[i + 1] == '"')) {
            bytes += text[++i];
        } else {
            bytes += text[i];
        }
    }
    return bytes;
}

// Parses "S" seconds (fractions allowed) into milliseconds. 0 on bad input.
[[nodiscard]] static bool ParseSeconds(const char *text, DWORD *ms)
{
    char *end = nullptr;
    double seconds = std::strtod(text, &end);
    if (end == text || *end || seconds <= 0 || seconds > 86400)
        return false;
    *ms = (DWORD)(seconds * 1000);
    return true;
}

[[nodiscard]] static bool ParseId(const std::string &text, int *id)
{
    char *end = nullptr;
    long value = std::strtol(text.c_str(), &end, 0);
    if (text.empty() || *end || value < -1 || value > 0xFFFF)
        return false;
    *id = value == -1 ? 0xFFFF : (int)value;
    return true;
}

[[nodiscard]] static bool ParseKey(const std::string &text, Action *action)
{
    static const struct {
        const char *name;
        Key key;
    } keys[] = {{"Enter", Key::Enter}, {"Escape", Key::Escape}, {"Tab", Key::Tab},
                {"Space", Key::Space}};
    for (const auto &named : keys)
        if (lstrcmpiA(text.c_str(), named.name) == 0) {
            action->kind = ActionKind::KeyPress;
            action->key = named.key;
            return true;
        }
    if (text.size() == 5 && _strnicmp(text.c_str(), "Alt+", 4) == 0) {
        action->kind = ActionKind::AltKey;
        action->letter = text[4];
        return true;
    }
    return false;
}

// Parses the command line into settings. 0: usage printed, exit with
// USAGE_EXIT (or 0 for --help, told through *help).
[[nodiscard]] static bool ParseArguments(int argc, char **argv, Settings *settings, bool *help)
{
    *help = argc >= 2 && (!std::strcmp(argv[1], "--help") || !std::strcmp(argv[1], "-h"));
    if (*help || argc < 2 || std::strcmp(argv[1], "run") != 0)
        return false;
    int i = 2;
    for (; i < argc && std::strcmp(argv[i], "--") != 0; i++) {
        std::string option = argv[i];
        if (option == "--dump") {
            settings->details = true;
            continue;
        }
        if (i + 1 >= argc || !std::strcmp(argv[i + 1], "--")) {
            std::fprintf(stderr, "uidriver: %s needs a value\n", option.c_str());
            return false;
        }
        std::string value = argv[++i];
        Action action = {ActionKind::Press, option + " " + value, Unescape(value), 0, Key::Enter,
                         0};
        size_t equals = value.find('=');
        bool ok = true;
        if (option == "--timeout") {
            ok = ParseSeconds(value.c_str(), &settings->timeout_ms);
        } else if (option == "--step-timeout") {
            ok = ParseSeconds(value.c_str(), &settings->step_timeout_ms);
        } else if (option == "--settle") {
            ok = ParseSeconds(value.c_str(), &settings->settle_ms);
        } else if (option == "--cwd") {
            settings->launch.working_dir = value;
        } else if (option == "--env") {
            ok = equals != std::string::npos && equals > 0;
            settings->launch.env.push_back(value);
        } else if (option == "--press") {
            settings->actions.push_back(action);
        } else if (option == "--press-id") {
            action.kind = ActionKind::PressId;
            ok = ParseId(value, &action.id);
            settings->actions.push_back(action);
        } else if (option == "--type" || option == "--set") {
            action.kind = option == "--type" ? ActionKind::Type : ActionKind::Set;
            ok = equals != std::string::npos && ParseId(value.substr(0, equals), &action.id);
            if (ok)
                action.text = Unescape(value.substr(equals + 1));
            settings->actions.push_back(action);
        } else if (option == "--key") {
            ok = ParseKey(value, &action);
            settings->actions.push_back(action);
        } else if (option == "--expect") {
            action.kind = ActionKind::Expect;
            settings->actions.push_back(action);
        } else if (option == "--insert-disk") {
            action.kind = ActionKind::InsertDisk;
            ok = value.size() >= 3 && std::isalpha((unsigned char)value[0]) && value.compare(1, 2, ":=") == 0;
            action.letter = (char)std::tolower((unsigned char)value[0]);
            action.text = ok ? value.substr(3) : "";
            settings->actions.push_back(action);
        } else {
            std::fprintf(stderr, "uidriver: unknown option %s\n", option.c_str());
            return false;
        }
        if (!ok) {
            std::fprintf(stderr, "uidriver: bad value in %s %s\n", option.c_str(), value.c_str());
            return false;
        }
    }
    if (i + 1 >= argc) {
        std::fprintf(stderr, "uidriver: no program given after --\n");
        return false;
    }
    settings->launch.argv.assign(argv + i + 1, argv + argc);
    return true;
}

//---------------------------------------------------------------- targets

static bool HasUsableControl(const WindowInfo &info, int id, bool button_only)
{
    for (const ControlInfo &control : info.controls)
        if (control.id == id && control.visible && control.enabled &&
            (!button_only || lstrcmpiA(control.class_name.c_str(), "Button") == 0))
            return true;
    return false;
}

static bool HasText(const WindowInfo &info, const std::string &text)
{
    if (info.caption == text)
        return true;
    for (const ControlInfo &control : info.controls)
        if (control.text == text)
            return true;
    return false;
}

static bool HasButtonLabel(const WindowInfo &info, const std::string &label)
{
    for (const ControlInfo &control : info.controls)
        if (lstrcmpiA(control.class_name.c_str(), "Button") == 0 && control.visible &&
            control.enabled && StripAccelerators(control.text) == StripAccelerators(label))
            return true;
    return false;
}

// Whether the action can be done in this window now.
static bool Fits(const Action &action, const WindowInfo &info)
{
    switch (action.kind) {
    case ActionKind::Press: return HasButtonLabel(info, action.text);
    case ActionKind::PressId: return HasUsableControl(info, action.id, true);
    case ActionKind::Type:
    case ActionKind::Set: return HasUsableControl(info, action.id, false);
    case ActionKind::KeyPress:
    case ActionKind::AltKey: return true;
    case ActionKind::Expect: return HasText(info, action.text);
    case ActionKind::InsertDisk: return true;
    }
    return false;
}

struct SeenWindow {
    HWND hwnd;
    std::string caption;
};

// The topmost enabled window of the program that fits, or nullptr. Only
// windows already listed count, so that every window acted on is printed
// first, however quickly it then closes.
static HWND FindTarget(const Process &process, const Action &action, const std::vector<SeenWindow> &seen)
{
    for (HWND hwnd : process.Windows()) {
        bool listed = false;
        for (const SeenWindow &window : seen)
            listed = listed || window.hwnd == hwnd;
        if (!listed || !IsWindowEnabled(hwnd))
            continue;
        if (Fits(action, Describe(hwnd)))
            return hwnd;
    }
    return nullptr;
}

// Does the action. 1: done; 0: failed, reason in LastFailure().
[[nodiscard]] static bool Perform(const Action &action, HWND window)
{
    switch (action.kind) {
    case ActionKind::Press: return PressButton(window, action.text);
    case ActionKind::PressId: return PressButtonId(window, action.id);
    case ActionKind::Type: {
        HWND edit = FindControl(window, action.id);
        return edit && TypeText(edit, action.text);
    }
    case ActionKind::Set: {
        HWND control = FindControl(window, action.id);
        return control && SetText(control, action.text);
    }
    case ActionKind::KeyPress: return PressKey(window, action.key);
    case ActionKind::AltKey: return PressAltKey(window, action.letter);
    case ActionKind::Expect: return true;
    case ActionKind::InsertDisk: return DefineRemovableDrive(action.letter, action.text);
    }
    return false;
}

// Presses and keys take effect later; the rest are done when performed.
static bool NeedsSettling(const Action &action)
{
    return action.kind == ActionKind::Press || action.kind == ActionKind::PressId ||
           action.kind == ActionKind::KeyPress || action.kind == ActionKind::AltKey;
}

//---------------------------------------------------------------- the run

// Prints the windows that appeared since the last call and notes the ones
// that closed. Returns the number of new windows.
static int ReportWindows(const Process &process, std::vector<SeenWindow> *seen, bool details)
{
    int new_count = 0;
    for (auto it = seen->begin(); it != seen->end();) {
        if (IsWindow(it->hwnd) && IsWindowVisible(it->hwnd)) {
            ++it;
            continue;
        }
        std::printf("closed %s \"%s\"\n", HexHandle(it->hwnd).c_str(),
                    Printable(it->caption).c_str());
        it = seen->erase(it);
    }
    for (HWND hwnd : process.Windows()) {
        bool known = false;
        for (const SeenWindow &window : *seen)
            known = known || window.hwnd == hwnd;
        if (known)
            continue;
        WindowInfo info = Describe(hwnd);
        std::printf("%s", FormatWindow(info, details).c_str());
        seen->push_back({hwnd, info.caption});
        new_count++;
    }
    std::fflush(stdout);
    return new_count;
}

static int Fail(Process &process, int exit_code, const std::string &reason)
{
    std::printf("uidriver: %s\nwindows open now:\n%s", reason.c_str(), process.Dump().c_str());
    process.Kill();
    std::printf("uidriver: program killed; exit code %d\n", exit_code);
    std::fflush(stdout);
    return exit_code;
}

static int Run(Settings &settings)
{
    Process process;
    if (!process.Start(settings.launch)) {
        std::printf("uidriver: %s\n", LastFailure().c_str());
        return START_FAILED_EXIT;
    }
    std::printf("started pid %lu: %s\n", (unsigned long)process.Id(),
                QuoteArgs(settings.launch.argv).c_str());

    std::vector<SeenWindow> seen;
    size_t next_action = 0;
    HWND settling = nullptr;  // window of the last press or key, until it settles
    DWORD run_start_tick = GetTickCount();
    DWORD step_start_tick = run_start_tick;
    while (process.Running()) {
        int new_count = ReportWindows(process, &seen, settings.details);
        DWORD now_tick = GetTickCount();
        if (settling) {
            bool settled = new_count > 0 || !IsWindow(settling) || !IsWindowVisible(settling) ||
                           !IsWindowEnabled(settling) ||
                           now_tick - step_start_tick >= settings.settle_ms;
            if (settled) {
                settling = nullptr;
                step_start_tick = now_tick;
            }
        } else if (next_action < settings.actions.size()) {
            const Action &action = settings.actions[next_action];
            HWND target = FindTarget(process, action, seen);
            if (target) {
                std::printf("> %s in %s\n", action.spelled.c_str(), HexHandle(target).c_str());
                std::fflush(stdout);
                if (!Perform(action, target))
                    return Fail(process, ACTION_FAILED_EXIT,
                                action.spelled + " failed: " + LastFailure());
                next_action++;
                settling = NeedsSettling(action) ? target : nullptr;
                step_start_tick = now_tick;
            } else if (now_tick - step_start_tick >= settings.step_timeout_ms) {
                return Fail(process, ACTION_FAILED_EXIT,
                            "no window for " + action.spelled + " within step timeout");
            }
        }
        if (now_tick - run_start_tick >= settings.timeout_ms)
            return Fail(process, TIMED_OUT_EXIT, "run timed out");
        Sleep(POLL_INTERVAL_MS);
    }
    ReportWindows(process, &seen, settings.details);
    ExitResult result = process.WaitExit(DEFAULT_TIMEOUT_MS);
    if (next_action < settings.actions.size()) {
        std::printf("uidriver: program exited with code %lu before %s\n",
                    (unsigned long)result.exit_code, settings.actions[next_action].spelled.c_str());
        return ACTION_FAILED_EXIT;
    }
    std::printf("exit code %lu\n", (unsigned long)result.exit_code);
    return (int)result.exit_code;
}

int main(int argc, char **argv)
{
    if (argc == 3 && !std::strcmp(argv[1], "disk")) {
        const std::string value = argv[2];
        if (value.size() < 3 || !std::isalpha((unsigned char)value[0]) || value.compare(1, 2, ":=") != 0) {
            std::fputs(USAGE, stderr);
            return USAGE_EXIT;
        }
        if (DefineRemovableDrive((char)std::tolower((unsigned char)value[0]), value.substr(3)))
            return 0;
        std::fprintf(stderr, "uidriver: %s\n", LastFailure().c_str());
        return ACTION_FAILED_EXIT;
    }
    Settings settings;
    bool help = false;
    if (!ParseArguments(argc, argv, &settings, &help)) {
        std::fputs(USAGE, help ? stdout : stderr);
        return help ? 0 : USAGE_EXIT;
    }
    return Run(settings);
}
