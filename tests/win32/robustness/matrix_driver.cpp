// The corruption matrix's runner: runs damaged installers one after another
// as a person would, and reports what each did.
//
//   matrix_driver.exe LIST RESULTS WATCHED...
//
// LIST holds one variant a line: name, installer path, password (may be
// empty), time limit in ms and, optionally, a temporary folder, separated by
// tabs. Each installer is started with TMP and TEMP pointing at an empty
// folder of its own (by default the installer's folder with ".tmp"
// appended); every box it shows is read, recorded and answered as a person
// would go on: OK, Yes to a question (the introductory question, "has setup
// finished?"), but No to the overwrite question (Yes/No/Cancel), so that the
// member is stepped over; the password dialog gets the password once, Cancel
// after or when it stays open. Should damage make the main dialog show, its
// button 1 (Install, later Done) is pressed whenever it is enabled. And a
// run that outlives its limit is killed. Before and after
// each run the trees in WATCHED (and the installer's own folder) are
// listed: every file with its size and write time, every folder.
//
// RESULTS gets one line a variant, tab-separated:
//   name, "exited" or "killed", exit code, the boxes' texts joined by " | "
//   (printable, see uiauto::Printable), the entries left in the temporary
//   folder, the paths created, changed or removed in the watched trees,
//   the run's time in ms and the program's peak working set in KiB.
// Judging the lines is left to the script that reads them.
#include <windows.h>
#include <psapi.h>

#include <cstdio>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "support/test_files.h"
#include "uiauto.h"

namespace {

constexpr int ID_MESSAGE = 101;  // the main dialog's text: only it has one
constexpr DWORD MAIN_BUTTON_INTERVAL_MS = 500;

struct Variant {
    std::string name, installer, password;
    DWORD limit_ms;
    std::string temp;  // empty: the installer's folder with ".tmp"
};

// A path's size and last write time, or "dir" for a folder.
using Snapshot = std::map<std::string, std::string>;

void ListTree(const std::string &folder, Snapshot &entries)
{
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return;
    do {
        const std::string name = found.cFileName;
        if (name == "." || name == "..")
            continue;
        const std::string path = folder + "\\" + name;
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            entries[path] = "dir";
            // Links lead out of the tree (Wine's profile folders point at
            // the Unix home): listed, not entered.
            if (!(found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT))
                ListTree(path, entries);
        } else {
            entries[path] = std::to_string(found.nFileSizeLow) + "/" + std::to_string(found.ftLastWriteTime.dwLowDateTime) +
                            "." + std::to_string(found.ftLastWriteTime.dwHighDateTime);
        }
    } while (FindNextFileA(search, &found));
    FindClose(search);
}

Snapshot TakeSnapshot(const std::vector<std::string> &roots)
{
    Snapshot entries;
    for (const std::string &root : roots)
        ListTree(root, entries);
    return entries;
}

// "+path" created, "~path" changed, "-path" removed.
std::vector<std::string> Differences(const Snapshot &before, const Snapshot &after)
{
    std::vector<std::string> changes;
    for (const auto &entry : after) {
        auto was = before.find(entry.first);
        if (was == before.end())
            changes.push_back("+" + entry.first);
        else if (was->second != entry.second)
            changes.push_back("~" + entry.first);
    }
    for (const auto &entry : before)
        if (!after.count(entry.first))
            changes.push_back("-" + entry.first);
    return changes;
}

std::string Folder(const std::string &path) { return path.substr(0, path.find_last_of('\\')); }

HWND FindEdit(HWND top)
{
    for (const uiauto::ControlInfo &control : uiauto::Describe(top).controls)
        if (_stricmp(control.class_name.c_str(), "Edit") == 0)
            return control.hwnd;
    return nullptr;
}

// Answers one box (see the file's head). The text recorded is the box's.
std::string Answer(HWND box, const Variant &variant, bool &password_given)
{
    if (HWND edit = FindEdit(box)) {
        if (!password_given && uiauto::TypeText(edit, variant.password) && uiauto::PressButtonId(box, IDOK) &&
            uiauto::WaitClosed(box, 2000)) {
            password_given = true;
            return "[password]";
        }
        (void)uiauto::PressButtonId(box, IDCANCEL);
        return "[password cancelled]";
    }
    const std::string text = uiauto::MessageBoxText(box);
    const bool overwrite_question = GetDlgItem(box, IDCANCEL) && GetDlgItem(box, IDNO);
    const int button = overwrite_question ? IDNO : GetDlgItem(box, IDYES) ? IDYES : GetDlgItem(box, IDOK) ? IDOK : IDCANCEL;
    (void)uiauto::PressButtonId(box, button);
    return text;
}

std::string Run(const Variant &variant, const std::vector<std::string> &watched)
{
    const std::string own_folder = Folder(variant.installer);
    const std::string temp = variant.temp.empty() ? own_folder + ".tmp" : variant.temp;
    stub_test::RemoveTree(temp);
    CreateDirectoryA(temp.c_str(), nullptr);
    std::vector<std::string> roots = watched;
    roots.push_back(own_folder);
    const Snapshot before = TakeSnapshot(roots);

    uiauto::Process program;
    uiauto::LaunchOptions launch;
    launch.command_line = "\"" + variant.installer + "\"";
    launch.env = {"TMP=" + temp, "TEMP=" + temp};
    std::string boxes;
    std::string status = "exited";
    DWORD exit_code = 0;
    const DWORD started = GetTickCount();
    SIZE_T peak_bytes = 0;
    if (!program.Start(launch)) {
        status = "notstarted";
        boxes = uiauto::LastFailure();
    } else {
        const DWORD deadline = GetTickCount() + variant.limit_ms;
        std::set<HWND> answered;
        std::set<std::string> main_buttons;
        DWORD main_pressed_at = started - MAIN_BUTTON_INTERVAL_MS;
        bool password_given = false;
        while (program.Running() && static_cast<LONG>(deadline - GetTickCount()) > 0) {
            for (HWND window : program.Windows()) {
                if (answered.count(window) || uiauto::ClassName(window) != "#32770")
                    continue;
                if (GetDlgItem(window, ID_MESSAGE)) {
                    HWND button = GetDlgItem(window, IDOK);
                    if (IsWindowEnabled(button) && GetTickCount() - main_pressed_at >= MAIN_BUTTON_INTERVAL_MS &&
                        uiauto::PressButton(button)) {
                        main_pressed_at = GetTickCount();
                        if (main_buttons.insert(uiauto::WindowText(button)).second)
                            boxes += (boxes.empty() ? "[main dialog: " : " | [main dialog: ") +
                                     uiauto::Printable(uiauto::WindowText(button)) + "]";
                    }
                    continue;
                }
                answered.insert(window);
                boxes += (boxes.empty() ? "" : " | ") + uiauto::Printable(Answer(window, variant, password_given));
                (void)uiauto::WaitClosed(window, 2000);
            }
            PROCESS_MEMORY_COUNTERS memory = {};
            memory.cb = sizeof memory;
            if (GetProcessMemoryInfo(program.Handle(), &memory, sizeof memory) && memory.PeakWorkingSetSize > peak_bytes)
                peak_bytes = memory.PeakWorkingSetSize;
            Sleep(uiauto::POLL_INTERVAL_MS);
        }
        const DWORD left_ms = static_cast<LONG>(deadline - GetTickCount()) > 0 ? deadline - GetTickCount() : 1;
        const uiauto::ExitResult result = program.WaitExit(left_ms);
        if (result.status == uiauto::ExitStatus::Killed)
            status = "killed";
        exit_code = result.exit_code;
    }
    const DWORD elapsed_ms = GetTickCount() - started;

    Snapshot left_folders;
    ListTree(temp, left_folders);
    const std::vector<std::string> changes = Differences(before, TakeSnapshot(roots));
    std::ostringstream line;
    line << variant.name << '\t' << status << '\t' << exit_code << '\t' << boxes << '\t' << left_folders.size() << '\t';
    for (size_t i = 0; i < changes.size(); i++)
        line << (i ? " " : "") << changes[i];
    line << '\t' << elapsed_ms << '\t' << peak_bytes / 1024;
    stub_test::RemoveTree(temp);
    return line.str();
}

}  // namespace

int main(int argc, char **argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: matrix_driver LIST RESULTS WATCHED...\n");
        return 2;
    }
    std::vector<std::string> watched(argv + 3, argv + argc);
    std::ifstream list(argv[1]);
    std::ofstream results(argv[2], std::ios::binary);
    std::printf("matrix_driver: watching %zu entries\n", TakeSnapshot(watched).size());
    std::string text;
    int count = 0;
    while (std::getline(list, text)) {
        if (!text.empty() && text.back() == '\r')
            text.pop_back();
        std::istringstream fields(text);
        Variant variant;
        std::string limit;
        if (!std::getline(fields, variant.name, '\t') || !std::getline(fields, variant.installer, '\t') ||
            !std::getline(fields, variant.password, '\t') || !std::getline(fields, limit, '\t'))
            continue;
        variant.limit_ms = static_cast<DWORD>(std::stoul(limit));
        std::getline(fields, variant.temp, '\t');
        results << Run(variant, watched) << "\n" << std::flush;
        count++;
    }
    std::printf("matrix_driver: %d variants run\n", count);
    return 0;
}
