// Installers run as a person runs them: started, Install pressed, the
// boxes read and answered, and what the setup program saw read back from its
// report. Each run gets its own temporary root (TMP), report and release
// file, so what the installer leaves behind is visible.
#include <gtest/gtest.h>
#include <windows.h>

#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "support/removable_drive.h"
#include "support/test_files.h"
#include "support/window_answerer.h"
#include "uiauto.h"

namespace {

using namespace stub_test;

constexpr int ID_MESSAGE = 101, ID_STATUS = 109, ID_ABOUT = 112, ID_METER = 201;
constexpr UINT METER_GETPOS = 0x403;

// The message texts as the program shows them (code page 1252).
const char MSG_NO_COMMAND[] = "Error, no se ha definido ning\xFAn comando.";
const char MSG_STILL_RUNNING[] =
    "setup.exe aun est\xE1 en ejecuci\xF3n; si cancela ahora no se borrar\xE1n los archivos temporales. "
    "\xBF" "Desea cancelar de todos modos?";
const char MSG_CONFIRM_DONE[] =
    "\xBF" "Est\xE1 seguro de que el programa de instalaci\xF3n ha terminado? Haga clic en S\xED para salir, o "
    "en No para continuar esperando a que finalice.";
const char MSG_CONFIRM_CANCEL[] =
    "Si cancela ahora, no se borrar\xE1n los archivos temporales. \xBF" "Est\xE1 seguro de que desea cancelar ahora?";
const char MSG_CANCEL_QUESTION[] = "\xBF" "Desea cancelar la descompresi\xF3n";
const char MSG_NO_TEMP_FOLDER_START[] = "No se pudo crear una carpeta temporal para extraer el archivo.";
const char MSG_CHANGE_FOLDER_ERROR[] = "Error al cambiar a la carpeta de \"Descomprimir en\"";
const char MSG_WRONG_PASSWORD[] = "Se ha especificado una contrase\xF1" "a incorrecta";
const char MSG_PROGRAM_ABOUT[] =
    "Talvok Self-Extractor 1.0\nInstalador autoextra\xED" "ble para Windows de 32 bits.\nSoporte: soporte@talvok.example";

// One installer's run.
class InstallerRun {
public:
    explicit InstallerRun(const std::string &name) : name_(name)
    {
        temp_ = FullPath("temp-" + name);
        report_ = FullPath("report-" + name + ".txt");
        release_ = FullPath("release-" + name);
        RemoveTree(temp_);
        CreateDirectoryA(temp_.c_str(), nullptr);
        DeleteFileA(report_.c_str());
        DeleteFileA(release_.c_str());
    }
    ~InstallerRun()
    {
        Release();
        program.Kill();
    }
    bool Start()
    {
        uiauto::LaunchOptions launch;
        launch.command_line = "\"" + Installer() + "\"";
        launch.env = {"TMP=" + (tmp_.empty() ? temp_ : tmp_), "TALVOK_REPORT=" + report_,
                      "TALVOK_RELEASE=" + release_};
        return program.Start(launch);
    }
    std::string Installer() const
    {
        return installer_.empty() ? std::string(TALVOK_FLOW_DIR) + "\\" + name_ + ".exe" : installer_;
    }
    // Runs the installer from this path instead of the one its name gives.
    void RunFrom(const std::string &installer) { installer_ = installer; }
    // Gives the installer this TMP instead of its own temporary root.
    void SetTmp(const std::string &tmp) { tmp_ = tmp; }
    // Starts the installer and waits for its main dialog; with install,
    // presses Install too. nullptr when any step fails.
    HWND Open(bool install = false)
    {
        HWND dialog = Start() ? Dialog() : nullptr;
        return dialog && (!install || uiauto::PressButtonId(dialog, IDOK)) ? dialog : nullptr;
    }
    // The main dialog (the visible dialog with control 101).
    HWND Dialog()
    {
        HWND dialog = nullptr;
        WaitUntil([&] {
            for (HWND window : program.Windows())
                if (GetDlgItem(window, ID_MESSAGE))
                    dialog = window;
            return dialog != nullptr || !program.Running();
        });
        return dialog;
    }
    // A message box (a dialog without control 101) other than skip.
    HWND Box(HWND skip = nullptr, DWORD timeout_ms = uiauto::DEFAULT_TIMEOUT_MS)
    {
        HWND box = nullptr;
        WaitUntil([&] {
            for (HWND window : program.Windows())
                if (window != skip && uiauto::ClassName(window) == "#32770" && !GetDlgItem(window, ID_MESSAGE))
                    box = window;
            return box != nullptr;
        }, timeout_ms);
        return box;
    }
    // The setup program's report, once it is complete: "folder", "args" and
    // one "file" line per file, in a map of key to lines.
    std::map<std::string, std::vector<std::string>> Report(DWORD timeout_ms = uiauto::DEFAULT_TIMEOUT_MS)
    {
        std::map<std::string, std::vector<std::string>> fields;
        std::string text;
        WaitUntil([&] {
            text = ReadWholeFile(report_);
            return text.find("end\r\n") != std::string::npos;
        }, timeout_ms);
        std::istringstream lines(text);
        std::string line;
        while (std::getline(lines, line)) {
            if (!line.empty() && line.back() == '\r')
                line.pop_back();
            const size_t equals = line.find('=');
            if (equals != std::string::npos)
                fields[line.substr(0, equals)].push_back(line.substr(equals + 1));
        }
        return fields;
    }
    bool Reported() const { return GetFileAttributesA(report_.c_str()) != INVALID_FILE_ATTRIBUTES; }
    void Release() { CloseHandle(CreateFileA(release_.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr)); }
    // Files left under the temporary root.
    std::map<std::string, long> Left()
    {
        std::map<std::string, long> files;
        ListFiles(temp_, "", files);
        return files;
    }
    std::string TempFolder(int number) const { return temp_ + "\\TVSE" + std::to_string(number) + ".TMP"; }
    DWORD Exit() { return program.WaitExit(30000).exit_code; }

    uiauto::Process program;

private:
    std::string name_, temp_, report_, release_, installer_, tmp_;
};

bool Press(HWND window, int id) { return uiauto::PressButtonId(window, id); }

TEST(InstallFlow, CommandRunsFromTheTemporaryFolderWhichIsRemovedAfter)
{
    InstallerRun run("run");
    HWND dialog = run.Open(true);
    ASSERT_NE(nullptr, dialog) << uiauto::LastFailure() << run.program.Dump();
    auto report = run.Report();
    EXPECT_EQ(0u, run.Exit());
    ASSERT_EQ(1u, report["folder"].size());
    EXPECT_EQ(run.TempFolder(0), report["folder"][0]);
    EXPECT_EQ("/modo prueba -argv0 " + FullPath(run.Installer()), report["args"][0]);
    EXPECT_EQ((std::vector<std::string>{"docs\\leame.txt", "holder.exe", "setup.exe"}), report["file"]);
    EXPECT_TRUE(run.Left().empty()) << "the temporary folder is removed";
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(run.TempFolder(0).c_str()));
}

TEST(InstallFlow, LargeArchiveShowsTheMeterAtOnce)
{
    InstallerRun run("large");
    HWND dialog = run.Open();
    ASSERT_NE(nullptr, dialog) << uiauto::LastFailure() << run.program.Dump();
    HWND meter = GetDlgItem(dialog, ID_METER);
    ASSERT_TRUE(Press(dialog, IDOK));
    std::vector<LRESULT> positions;
    while (run.program.Running() && !run.Reported()) {
        DWORD_PTR position = 0;
        if (IsWindowVisible(meter) && SendMessageTimeoutA(meter, METER_GETPOS, 0, 0, SMTO_NORMAL, 1000, &position))
            if (positions.empty() || positions.back() != static_cast<LRESULT>(position))
                positions.push_back(static_cast<LRESULT>(position));
    }
    EXPECT_EQ(0u, run.Exit());
    ASSERT_FALSE(positions.empty()) << "the meter was never seen";
    for (size_t i = 1; i < positions.size(); i++)
        EXPECT_LT(positions[i - 1], positions[i]) << "positions only go up";
    EXPECT_LE(positions.back(), 100);
    EXPECT_TRUE(run.Left().empty());
}

// An archive small in the file (its end record well before 512 KiB) but
// large unpacked: the meter is left to the timer, whose first tick finds
// less than a third written and shows it in place of the status line.
TEST(InstallFlow, SmallArchiveOfMuchDataShowsTheMeterAfterTheFirstTick)
{
    InstallerRun run("zeros");
    HWND dialog = run.Open(true);
    ASSERT_NE(nullptr, dialog) << uiauto::LastFailure() << run.program.Dump();
    HWND meter = GetDlgItem(dialog, ID_METER), status = GetDlgItem(dialog, ID_STATUS);
    bool meter_seen = false, status_hidden_with_it = true;
    while (run.program.Running() && !run.Reported()) {
        if (IsWindowVisible(meter)) {
            meter_seen = true;
            status_hidden_with_it &= !IsWindowVisible(status);
        }
    }
    EXPECT_TRUE(meter_seen);
    EXPECT_TRUE(status_hidden_with_it);
    EXPECT_EQ(0u, run.Exit());
    EXPECT_TRUE(run.Left().empty());
}

// While the command runs, Cancel asks first; No goes on waiting, Yes stops
// the wait and cleans up what the command does not hold.
TEST(InstallFlow, CancelWhileTheCommandRunsAsksFirst)
{
    InstallerRun run("wait");
    HWND dialog = run.Open(true);
    ASSERT_NE(nullptr, dialog) << uiauto::LastFailure() << run.program.Dump();
    ASSERT_EQ(1u, run.Report()["folder"].size()) << "the command did not start";
    // The run is over: the meter was set to its end, then hidden.
    EXPECT_FALSE(IsWindowVisible(GetDlgItem(dialog, ID_METER)));
    DWORD_PTR position = 0;
    EXPECT_TRUE(SendMessageTimeoutA(GetDlgItem(dialog, ID_METER), METER_GETPOS, 0, 0, SMTO_NORMAL, 5000, &position));
    EXPECT_EQ(100u, position);
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(dialog, IDOK)));

    ASSERT_TRUE(Press(dialog, IDCANCEL));
    HWND box = run.Box();
    ASSERT_NE(nullptr, box) << run.program.Dump();
    EXPECT_EQ(uiauto::Printable(MSG_STILL_RUNNING), uiauto::Printable(uiauto::MessageBoxText(box)));
    ASSERT_TRUE(Press(box, IDNO));
    ASSERT_TRUE(uiauto::WaitClosed(box));
    Sleep(300);
    EXPECT_TRUE(run.program.Running()) << "No keeps waiting";

    ASSERT_TRUE(Press(dialog, IDCANCEL));
    box = run.Box();
    ASSERT_NE(nullptr, box) << run.program.Dump();
    ASSERT_TRUE(Press(box, IDYES));
    EXPECT_EQ(0u, run.Exit());
    // What the command did not hold is gone.
    EXPECT_EQ(0u, run.Left().count("TVSE0.TMP\\docs\\leame.txt"));
}

// With WAIT, button 1 becomes Done once the command has ended; Done asks,
// No keeps waiting, Yes cleans up.
TEST(InstallFlow, DoneButtonAfterTheCommandWithWait)
{
    InstallerRun run("done");
    HWND dialog = run.Open(true);
    ASSERT_NE(nullptr, dialog) << uiauto::LastFailure() << run.program.Dump();
    HWND done = GetDlgItem(dialog, IDOK);
    ASSERT_TRUE(WaitUntil([&] { return uiauto::WindowText(done) == "&Terminado" && IsWindowEnabled(done); }))
        << run.program.Dump();
    EXPECT_TRUE(run.Reported());
    for (int answer : {IDNO, IDYES}) {
        ASSERT_TRUE(Press(dialog, IDOK));
        HWND box = run.Box();
        ASSERT_NE(nullptr, box) << run.program.Dump();
        EXPECT_EQ(uiauto::Printable(MSG_CONFIRM_DONE), uiauto::Printable(uiauto::MessageBoxText(box)));
        ASSERT_TRUE(Press(box, answer));
        if (answer == IDNO) {
            ASSERT_TRUE(uiauto::WaitClosed(box));
            Sleep(200);
            EXPECT_TRUE(run.program.Running());
            EXPECT_TRUE(IsWindowEnabled(done));
        }
    }
    EXPECT_EQ(0u, run.Exit());
    EXPECT_TRUE(run.Left().empty());
}

// A command that cannot start, or none: the error, and the temporary files
// stay for the user to look at.
TEST(InstallFlow, CommandThatDoesNotStartKeepsTheFiles)
{
    for (const char *name : {"missing", "no-command"}) {
        InstallerRun run(name);
        HWND dialog = run.Open(true);
        ASSERT_NE(nullptr, dialog) << uiauto::LastFailure() << run.program.Dump();
        HWND box = run.Box();
        ASSERT_NE(nullptr, box) << name << "\n" << run.program.Dump();
        const std::string text = uiauto::MessageBoxText(box);
        if (std::string(name) == "no-command")
            EXPECT_EQ(MSG_NO_COMMAND, text);
        else
            EXPECT_FALSE(text.empty() || text == MSG_NO_COMMAND) << "the system's text for the error: " << text;
        ASSERT_TRUE(Press(box, IDOK));
        EXPECT_EQ(0u, run.Exit()) << name;
        EXPECT_EQ(1u, run.Left().count("TVSE0.TMP\\docs\\leame.txt")) << name << ": the files stay";
        EXPECT_FALSE(run.Reported());
    }
}

// An installer of LZMA members (the command cannot start, so the files stay):
// every file as the builder took it.
TEST(InstallFlow, LzmaInstallerInstallsByteForByte)
{
    InstallerRun run("lzma");
    HWND dialog = run.Open(true);
    ASSERT_NE(nullptr, dialog) << uiauto::LastFailure() << run.program.Dump();
    HWND box = run.Box();
    ASSERT_NE(nullptr, box) << run.program.Dump();
    ASSERT_TRUE(Press(box, IDOK));
    EXPECT_EQ(0u, run.Exit());
    const std::string payload = std::string(TALVOK_FLOW_DIR) + "\\lzma-payload";
    std::map<std::string, long> expected;
    ListFiles(payload, "", expected);
    ASSERT_EQ(4u, expected.size());
    const std::map<std::string, long> left = run.Left();
    EXPECT_EQ(expected.size(), left.size());
    for (const auto &[name, size] : expected) {
        const std::string extracted = run.TempFolder(0) + "\\" + name;
        EXPECT_TRUE(ReadWholeFile(payload + "\\" + name) == ReadWholeFile(extracted)) << name << " differs";
    }
}

// Through the shell the command gets no parameters.
TEST(InstallFlow, ShellLaunchPassesNoParameters)
{
    InstallerRun run("shell");
    HWND dialog = run.Open(true);
    ASSERT_NE(nullptr, dialog) << uiauto::LastFailure() << run.program.Dump();
    auto report = run.Report();
    EXPECT_EQ(0u, run.Exit());
    ASSERT_EQ(1u, report["args"].size()) << "the shell did not start the command";
    EXPECT_EQ("", report["args"][0]);
}

// The command starts holder.exe and ends; the installer pauses, then waits
// until nobody keeps holder.exe open.
TEST(InstallFlow, NamedProgramKeepsTheInstallerWaiting)
{
    InstallerRun run("named");
    HWND dialog = run.Open(true);
    ASSERT_NE(nullptr, dialog) << uiauto::LastFailure() << run.program.Dump();
    ASSERT_EQ(1u, run.Report()["folder"].size());
    Sleep(12000);  // past the 10 s pause, into the wait for holder.exe
    EXPECT_TRUE(run.program.Running()) << "holder.exe still runs";
    run.Release();
    Sleep(300);
    PostMessageA(dialog, WM_NULL, 0, 0);  // the wait tests again at the next message
    EXPECT_EQ(0u, run.Exit());
    EXPECT_TRUE(run.Left().empty());
}

TEST(InstallFlow, EndOfSessionRunsTheCleanUp)
{
    {
        // Before Install there is no folder to remove: the clean-up refuses
        // the empty path and the dialog ends.
        InstallerRun run("run");
        HWND dialog = run.Open();
        ASSERT_NE(nullptr, dialog) << uiauto::LastFailure() << run.program.Dump();
        PostMessageA(dialog, WM_QUERYENDSESSION, 0, 0);
        HWND box = run.Box();
        ASSERT_NE(nullptr, box) << run.program.Dump();
        EXPECT_EQ(MSG_CHANGE_FOLDER_ERROR, uiauto::MessageBoxText(box));
        ASSERT_TRUE(Press(box, IDOK));
        EXPECT_EQ(0u, run.Exit());
    }
    {
        // While the command runs: the files it does not hold go at once.
        InstallerRun run("wait");
        HWND dialog = run.Open(true);
        ASSERT_NE(nullptr, dialog) << uiauto::LastFailure() << run.program.Dump();
        ASSERT_EQ(1u, run.Report()["folder"].size());
        PostMessageA(dialog, WM_QUERYENDSESSION, 0, 0);
        EXPECT_TRUE(WaitUntil([&] { return run.Left().count("TVSE0.TMP\\docs\\leame.txt") == 0; }));
        run.Release();
        EXPECT_EQ(0u, run.Exit());
    }
}

// A copy of installer name in a folder of its own, the test setup program
// planted beside it as planted_name: a Downloads folder where a file of the
// command's name lies. The copy's path, or "" when a copy failed.
std::string PlantBeside(const std::string &name, const std::string &planted_name)
{
    const std::string folder = FullPath("planted-" + name), flow = TALVOK_FLOW_DIR;
    RemoveTree(folder);
    CreateDirectoryA(folder.c_str(), nullptr);
    if (!CopyTo(flow + "\\" + name + ".exe", folder + "\\" + name + ".exe") ||
        !CopyTo(flow + "\\payload\\setup.exe", folder + "\\" + planted_name))
        return "";
    return folder + "\\" + name + ".exe";
}

// A program of the command's name beside the installer never runs in place
// of the extracted one, through the process launch and the shell launch
// alike, nor in place of ".\setup"; a command that is not in the folder
// (cmd.exe, which runs setup.exe from its current folder) is still found
// where the system finds it.
TEST(InstallFlow, PlantedProgramBesideTheInstallerNeverRuns)
{
    for (const char *name : {"run", "shell", "relative", "system"}) {
        InstallerRun run(name);
        const std::string installer = PlantBeside(name, "setup.exe");
        ASSERT_FALSE(installer.empty()) << name;
        run.RunFrom(installer);
        HWND dialog = run.Open(true);
        ASSERT_NE(nullptr, dialog) << name << uiauto::LastFailure() << run.program.Dump();
        auto report = run.Report();
        EXPECT_EQ(0u, run.Exit()) << name;
        ASSERT_EQ(1u, report["program"].size()) << name << ": nothing ran";
        EXPECT_EQ(run.TempFolder(0) + "\\setup.exe", report["program"][0]) << name;
        EXPECT_TRUE(run.Left().empty()) << name;
    }
}

// A stray holder.exe beside the installer neither ends the wait for the
// named program (it is free while the extracted one runs) nor prolongs it
// (it is held once the extracted one has ended).
TEST(InstallFlow, StrayNamedProgramBesideTheInstallerIsNotWaitedFor)
{
    InstallerRun run("named");
    const std::string installer = PlantBeside("named", "holder.exe");
    ASSERT_FALSE(installer.empty());
    run.RunFrom(installer);
    HWND dialog = run.Open(true);
    ASSERT_NE(nullptr, dialog) << uiauto::LastFailure() << run.program.Dump();
    ASSERT_EQ(1u, run.Report()["folder"].size());
    Sleep(12000);  // past the 10 s pause, into the wait for holder.exe
    EXPECT_TRUE(run.program.Running()) << "the extracted holder.exe still runs";
    const std::string stray = FullPath("planted-named\\holder.exe");
    HANDLE held = CreateFileA(stray.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, held);
    run.Release();
    Sleep(300);
    PostMessageA(dialog, WM_NULL, 0, 0);  // the wait tests again at the next message
    EXPECT_EQ(0u, run.Exit()) << "the held stray kept the installer waiting";
    CloseHandle(held);
    EXPECT_TRUE(run.Left().empty());
}

// Cancel confirmed while Done waits ends the program at once; the files stay.
TEST(InstallFlow, CancelWhileDoneWaitsEndsAtOnceAndKeepsTheFiles)
{
    InstallerRun run("done");
    HWND dialog = run.Open(true);
    ASSERT_NE(nullptr, dialog) << uiauto::LastFailure() << run.program.Dump();
    HWND done = GetDlgItem(dialog, IDOK);
    ASSERT_TRUE(WaitUntil([&] { return uiauto::WindowText(done) == "&Terminado" && IsWindowEnabled(done); }))
        << run.program.Dump();
    ASSERT_TRUE(Press(dialog, IDCANCEL));
    HWND box = run.Box();
    ASSERT_NE(nullptr, box) << run.program.Dump();
    EXPECT_EQ(uiauto::Printable(MSG_CONFIRM_CANCEL), uiauto::Printable(uiauto::MessageBoxText(box)));
    ASSERT_TRUE(Press(box, IDYES));
    // Nothing more reaches the program: its own loops must end it.
    const uiauto::ExitResult result = run.program.WaitExit(10000);
    EXPECT_EQ(uiauto::ExitStatus::Exited, result.status) << "still running after Cancel";
    EXPECT_EQ(0u, result.exit_code);
    EXPECT_EQ(1u, run.Left().count("TVSE0.TMP\\docs\\leame.txt")) << "the files stay";
}

// Cancel confirmed during the 10 s pause before the named-program wait ends
// the pause at once.
TEST(InstallFlow, CancelDuringThePauseBeforeTheNamedWaitEndsIt)
{
    InstallerRun run("named");
    HWND dialog = run.Open(true);
    ASSERT_NE(nullptr, dialog) << uiauto::LastFailure() << run.program.Dump();
    ASSERT_EQ(1u, run.Report()["folder"].size());
    Sleep(1000);  // the command has ended and the pause has begun
    ASSERT_TRUE(Press(dialog, IDCANCEL));
    HWND box = run.Box();
    ASSERT_NE(nullptr, box) << run.program.Dump();
    EXPECT_EQ(uiauto::Printable(MSG_STILL_RUNNING), uiauto::Printable(uiauto::MessageBoxText(box)));
    ASSERT_TRUE(Press(box, IDYES));
    // Some 9 s of the pause are left: the clean-up (1 s for the file that
    // holder.exe keeps open) and the end come well before.
    const uiauto::ExitResult result = run.program.WaitExit(6000);
    EXPECT_EQ(uiauto::ExitStatus::Exited, result.status) << "the pause was waited out";
    EXPECT_EQ(0u, result.exit_code);
    EXPECT_EQ(0u, run.Left().count("TVSE0.TMP\\docs\\leame.txt"));
}

// Any program can post Install. While a run is under way it is ignored: in
// the extraction, while the command runs, and in the boxes the run shows
// (here the launch error of a command that is not there). One run, one
// temporary folder.
TEST(InstallFlow, InstallPostedDuringARunIsIgnored)
{
    const struct {
        const char *name;
        bool box;
    } cases[] = {{"zeros", false}, {"missing", true}};
    for (const auto &c : cases) {
        InstallerRun run(c.name);
        HWND dialog = run.Open(true);
        ASSERT_NE(nullptr, dialog) << c.name << uiauto::LastFailure() << run.program.Dump();
        bool second_folder = false;
        int posted_with_box = 0;
        const DWORD deadline = GetTickCount() + 20000;
        while (run.program.Running() && static_cast<LONG>(deadline - GetTickCount()) > 0) {
            PostMessageA(dialog, WM_COMMAND, IDOK, 0);  // 50 a second
            Sleep(20);
            second_folder |= GetFileAttributesA(run.TempFolder(1).c_str()) != INVALID_FILE_ATTRIBUTES;
            if (HWND box = run.Box(nullptr, 0))
                if (++posted_with_box == 25)
                    EXPECT_TRUE(Press(box, IDOK)) << c.name;
        }
        EXPECT_FALSE(second_folder) << c.name << ": a second run started";
        EXPECT_EQ(c.box, posted_with_box >= 25) << c.name;
        EXPECT_EQ(0u, run.Exit()) << c.name;
        EXPECT_EQ(c.box ? 1u : 0u, run.Left().count("TVSE0.TMP\\docs\\leame.txt")) << c.name;
        EXPECT_EQ(!c.box, run.Reported()) << c.name;
    }
}

// A Cancel command that is not user input (a posted BM_CLICK) during the
// extraction asks the cancel question as a click does: Yes stops the run and
// the command never starts; No goes on.
TEST(InstallFlow, CancelCommandDuringTheExtractionAsksFirst)
{
    for (int answer : {IDYES, IDNO}) {
        InstallerRun run("run");
        HWND dialog = run.Open();
        ASSERT_NE(nullptr, dialog) << uiauto::LastFailure() << run.program.Dump();
        // Queued together: the run's first poll finds Cancel's click.
        PostMessageA(GetDlgItem(dialog, IDOK), BM_CLICK, 0, 0);
        PostMessageA(GetDlgItem(dialog, IDCANCEL), BM_CLICK, 0, 0);
        HWND box = run.Box();
        ASSERT_NE(nullptr, box) << answer << run.program.Dump();
        EXPECT_EQ(uiauto::Printable(MSG_CANCEL_QUESTION), uiauto::Printable(uiauto::MessageBoxText(box)));
        // Another Cancel while the question is up asks nothing more.
        PostMessageA(GetDlgItem(dialog, IDCANCEL), BM_CLICK, 0, 0);
        Sleep(500);
        EXPECT_EQ(nullptr, run.Box(box, 0)) << "a second question" << run.program.Dump();
        ASSERT_TRUE(Press(box, answer));
        EXPECT_EQ(0u, run.Exit()) << answer;
        if (answer == IDNO)
            EXPECT_EQ(1u, run.Report()["folder"].size()) << "No goes on to the command";
        else
            EXPECT_FALSE(run.Reported()) << "the command ran after Yes";
        EXPECT_TRUE(run.Left().empty()) << answer;
    }
}

// A hidden installer that cannot make its temporary folder shows message 15
// and ends: nobody can press Cancel on a dialog that is not shown.
TEST(InstallFlow, HiddenInstallerWithoutATemporaryFolderEnds)
{
    InstallerRun run("hidden");
    run.SetTmp(FullPath("temp-hidden\\falta\\tampoco"));
    ASSERT_TRUE(run.Start()) << uiauto::LastFailure();
    HWND box = run.Box();
    ASSERT_NE(nullptr, box) << run.program.Dump();
    EXPECT_EQ(0u, uiauto::MessageBoxText(box).rfind(MSG_NO_TEMP_FOLDER_START, 0)) << uiauto::MessageBoxText(box);
    ASSERT_TRUE(Press(box, IDOK));
    const uiauto::ExitResult result = run.program.WaitExit(10000);
    EXPECT_EQ(uiauto::ExitStatus::Exited, result.status) << "the hidden installer went on waiting";
    EXPECT_EQ(0u, result.exit_code);
    EXPECT_FALSE(run.Reported());
}

// The end of the session ends the run and the program: in the Done wait
// (after its clean-up), and during the extraction, where the folder goes
// once the run has stopped and the command never starts.
TEST(InstallFlow, EndOfSessionEndsTheRunAndTheProgram)
{
    {
        InstallerRun run("done");
        HWND dialog = run.Open(true);
        ASSERT_NE(nullptr, dialog) << uiauto::LastFailure() << run.program.Dump();
        HWND done = GetDlgItem(dialog, IDOK);
        ASSERT_TRUE(WaitUntil([&] { return uiauto::WindowText(done) == "&Terminado" && IsWindowEnabled(done); }))
            << run.program.Dump();
        DWORD_PTR answer = 0;
        EXPECT_TRUE(SendMessageTimeoutA(dialog, WM_QUERYENDSESSION, 0, 0, SMTO_NORMAL, 10000, &answer));
        const uiauto::ExitResult result = run.program.WaitExit(10000);
        EXPECT_EQ(uiauto::ExitStatus::Exited, result.status) << "the Done wait went on";
        EXPECT_EQ(0u, result.exit_code);
        EXPECT_TRUE(run.Left().empty());
    }
    {
        InstallerRun run("run");
        HWND dialog = run.Open();
        ASSERT_NE(nullptr, dialog) << uiauto::LastFailure() << run.program.Dump();
        // Queued behind Install's click: the run's first poll dispatches it.
        ASSERT_TRUE(Press(dialog, IDOK));
        PostMessageA(dialog, WM_QUERYENDSESSION, 0, 0);
        EXPECT_EQ(0u, run.Exit());
        EXPECT_FALSE(run.Reported()) << "the command started after the end of the session";
        EXPECT_TRUE(run.Left().empty());
    }
}

TEST(InstallFlow, AboutBoxWithAndWithoutTheAuthorsText)
{
    const struct {
        const char *name, *label;
        std::string text;
    } cases[] = {
        {"run", "&Acerca de", MSG_PROGRAM_ABOUT},
        {"about", "&Info...", std::string("Acerca de la prueba\n\n") + MSG_PROGRAM_ABOUT + "\n"},
    };
    for (const auto &c : cases) {
        InstallerRun run(c.name);
        HWND dialog = run.Open();
        ASSERT_NE(nullptr, dialog) << uiauto::LastFailure() << run.program.Dump();
        EXPECT_EQ(c.label, uiauto::WindowText(GetDlgItem(dialog, ID_ABOUT))) << c.name;
        ASSERT_TRUE(Press(dialog, ID_ABOUT));
        HWND box = run.Box();
        ASSERT_NE(nullptr, box) << run.program.Dump();
        EXPECT_EQ(uiauto::Printable(c.text), uiauto::Printable(uiauto::MessageBoxText(box))) << c.name;
        ASSERT_TRUE(Press(box, IDOK));
        ASSERT_TRUE(uiauto::WaitClosed(box));
        ASSERT_TRUE(Press(dialog, IDCANCEL));
        EXPECT_EQ(0u, run.Exit()) << c.name;
    }
}

// Hidden: the whole installation with no window shown.
TEST(InstallFlow, HiddenRunShowsNothing)
{
    InstallerRun run("hidden");
    ASSERT_TRUE(run.Start()) << uiauto::LastFailure();
    bool shown = false;
    while (run.program.Running())
        shown |= !run.program.Windows().empty();
    EXPECT_FALSE(shown);
    EXPECT_EQ(0u, run.Exit());
    EXPECT_EQ(1u, run.Report()["folder"].size());
    EXPECT_TRUE(run.Left().empty());
}

// TMP=".." names the parent of the installer's folder, which is current at
// Install; the clean-up runs from elsewhere (the command ran in the
// temporary folder) and must delete the folder this run made, not another
// one that the same relative path names from there.
TEST(InstallFlow, RelativeTmpCleansUpTheFolderItMade)
{
    const std::string root = FullPath("relative-tmp"), base = root + "\\base", decoy = root + "\\TVSE0.TMP";
    RemoveTree(root);
    for (const std::string &folder : {root, base, base + "\\inst", decoy})
        ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr)) << folder;
    ASSERT_TRUE(CopyTo(std::string(TALVOK_FLOW_DIR) + "\\hidden.exe", base + "\\inst\\hidden.exe"));
    HANDLE keep = CreateFileA((decoy + "\\keep.txt").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, keep);
    CloseHandle(keep);

    InstallerRun run("relative-tmp");
    run.RunFrom(base + "\\inst\\hidden.exe");
    run.SetTmp("..");
    ASSERT_TRUE(run.Start()) << uiauto::LastFailure();
    EXPECT_EQ(0u, run.Exit());
    auto report = run.Report();
    ASSERT_EQ(1u, report["folder"].size()) << "the command did not run";
    EXPECT_EQ(base + "\\TVSE0.TMP", report["folder"][0]);
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA((base + "\\TVSE0.TMP").c_str())) << "its own folder stays";
    std::map<std::string, long> left;
    ListFiles(decoy, "", left);
    EXPECT_EQ(1u, left.count("keep.txt")) << "the other TVSE0.TMP was deleted";
    RemoveTree(root);
}

// The clean-up deletes what the run extracted, man pages whose long names
// share a prefix (and whose short names collide under Wine) among them, and
// what the command left, except a tree deeper than any path of 260
// characters: that stays, with no internal error (a box, a report file and
// exit code 1).
TEST(InstallFlow, CleanUpLeavesOnlyATreeTooDeepForItsPaths)
{
    InstallerRun run("cleanup");
    ASSERT_TRUE(run.Start()) << uiauto::LastFailure();
    EXPECT_EQ(0u, run.Exit()) << "1 is the internal error";
    EXPECT_EQ(41u, run.Report()["file"].size()) << "the command did not run, or not in the whole tree";
    const std::string deep = "TVSE0.TMP\\a-level-of-a-tree-too-deep-for-its-paths\\";
    for (const auto &left : run.Left())
        EXPECT_EQ(0u, left.first.rfind(deep, 0)) << "left outside the deep tree: " << left.first;
    const std::string folder = run.TempFolder(0);
    RemoveTree(L"\\\\?\\" + std::wstring(folder.begin(), folder.end()));
}

// The password dialog before the run: the right password extracts and runs
// the command; a wrong one ends the run, and its folder is removed.
TEST(InstallFlow, EncryptedInstallerAsksForThePassword)
{
    for (const std::string password : {"clave secreta", "clave equivocada"}) {
        const bool right = password == "clave secreta";
        InstallerRun run("encrypted");
        HWND dialog = run.Open(true);
        ASSERT_NE(nullptr, dialog) << uiauto::LastFailure() << run.program.Dump();
        HWND prompt = run.Box();
        ASSERT_NE(nullptr, prompt) << run.program.Dump();
        EXPECT_EQ("Talvok Self-Extractor: contrase\xF1" "a", uiauto::WindowText(prompt));
        ASSERT_TRUE(uiauto::TypeText(uiauto::FindControl(prompt, 402), password));
        ASSERT_TRUE(Press(prompt, IDOK));
        if (right) {
            EXPECT_EQ(1u, run.Report()["folder"].size()) << "the command ran";
        } else {
            HWND box = run.Box(prompt);
            ASSERT_NE(nullptr, box) << run.program.Dump();
            EXPECT_EQ(uiauto::Printable(MSG_WRONG_PASSWORD), uiauto::Printable(uiauto::MessageBoxText(box)));
            ASSERT_TRUE(Press(box, IDOK));
            EXPECT_FALSE(run.Reported());
        }
        EXPECT_EQ(0u, run.Exit()) << password;
        EXPECT_TRUE(run.Left().empty()) << password;
    }
}

}  // namespace

// A disk set started from the removable drive A:, disk 1 in it: the run asks
// for disk 2 once disk 1's data ends, the disk is changed in the drive, OK
// goes on, and the command runs with every file extracted.
TEST(InstallFlow, SpannedInstallerAsksForTheNextDisk)
{
    RemovableDrive drive('a');
    const std::string set = std::string(TALVOK_FLOW_DIR) + "\\span\\";
    ASSERT_TRUE(drive.Insert(set + "disk1"));
    InstallerRun run("span");
    run.RunFrom("A:\\INSTALL.EXE");
    HWND dialog = run.Open(true);
    ASSERT_NE(nullptr, dialog) << uiauto::LastFailure() << run.program.Dump();
    HWND box = run.Box(dialog);
    ASSERT_NE(nullptr, box) << run.program.Dump();
    EXPECT_EQ("Introduzca el disco 2 en la unidad A:.", uiauto::MessageBoxText(box));
    ASSERT_TRUE(drive.Insert(set + "disk2"));
    ASSERT_TRUE(Press(box, IDOK));
    auto report = run.Report();
    EXPECT_EQ(0u, run.Exit());
    ASSERT_EQ(1u, report["folder"].size()) << run.program.Dump();
    EXPECT_EQ(run.TempFolder(0), report["folder"][0]);
    EXPECT_EQ((std::vector<std::string>{"docs\\leame.txt", "holder.exe", "setup.exe"}), report["file"]);
    EXPECT_TRUE(run.Left().empty()) << "the temporary folder is removed";
}

// At start-up the program reads its header from disk 1, asking for it by
// its label: a disk 1 without one gives the label prompt before the dialog;
// Ignore takes it as disk 1 and the dialog opens, Abort ends the program.
TEST(InstallFlow, SpannedInstallerChecksDiskOneAtStart)
{
    const std::string unlabelled = FullPath("span-unlabelled-disk1");
    RemoveTree(unlabelled);
    CreateDirectoryA(unlabelled.c_str(), nullptr);
    const std::string disk1 = std::string(TALVOK_FLOW_DIR) + "\\span\\disk1\\";
    ASSERT_TRUE(CopyTo(disk1 + "INSTALL.EXE", unlabelled + "\\INSTALL.EXE"));
    ASSERT_TRUE(CopyTo(disk1 + "INSTALL.ZIP", unlabelled + "\\INSTALL.ZIP"));
    RemovableDrive drive('a');
    ASSERT_TRUE(drive.Insert(unlabelled));
    const struct {
        const char *label;
        int button;
        bool dialog;
    } cases[] = {{"Ignore", IDIGNORE, true}, {"Abort", IDABORT, false}};
    for (const auto &c : cases) {
        InstallerRun run(std::string("span-start-") + c.label);
        run.RunFrom("A:\\INSTALL.EXE");
        ASSERT_TRUE(run.Start()) << c.label << uiauto::LastFailure();
        HWND box = run.Box();
        ASSERT_NE(nullptr, box) << c.label << run.program.Dump();
        EXPECT_EQ("Falta el disco de la unidad\no su etiqueta es incorrecta.\nIntroduzca el disco n\xFAmero 1.",
                  uiauto::MessageBoxText(box)) << c.label;
        ASSERT_TRUE(Press(box, c.button)) << c.label;
        if (c.dialog) {
            HWND dialog = run.Dialog();
            ASSERT_NE(nullptr, dialog) << c.label << run.program.Dump();
            EXPECT_TRUE(Press(dialog, IDCANCEL)) << c.label;
        }
        EXPECT_EQ(0u, run.Exit()) << c.label;
    }
    drive.Eject();
    RemoveTree(unlabelled);
}

// Installers whose resources the builder rewrote (the author's icon, a
// version resource, a manifest asking for elevation and DPI awareness, and
// all of them built sign-friendly) pass their self-check, install and clean
// up like any other. Wine starts a requireAdministrator program as it is.
TEST(InstallFlow, InstallersWithTheAuthorsResourcesInstall)
{
    for (const char *name : {"res-icon", "res-version", "res-manifest", "res-all"}) {
        InstallerRun run(name);
        HWND dialog = run.Open(true);
        ASSERT_NE(nullptr, dialog) << name << uiauto::LastFailure() << run.program.Dump();
        auto report = run.Report();
        EXPECT_EQ(0u, run.Exit()) << name;
        EXPECT_EQ((std::vector<std::string>{"docs\\leame.txt", "holder.exe", "setup.exe"}), report["file"]) << name;
        EXPECT_TRUE(run.Left().empty()) << name << ": the temporary folder is removed";
    }
}

// The version resource as Windows reads it: the fixed info, the translation
// and the strings of table 0C0A04E4, in code page 1252.
TEST(InstallFlow, VersionResourceAsWindowsReadsIt)
{
    const std::string path = std::string(TALVOK_FLOW_DIR) + "\\res-all.exe";
    DWORD ignored = 0;
    const DWORD bytes = GetFileVersionInfoSizeA(path.c_str(), &ignored);
    ASSERT_NE(0u, bytes) << GetLastError();
    std::vector<char> info(bytes);
    ASSERT_TRUE(GetFileVersionInfoA(path.c_str(), 0, bytes, info.data()));
    VS_FIXEDFILEINFO *fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueA(info.data(), "\\", reinterpret_cast<void **>(&fixed), &length));
    ASSERT_EQ(sizeof(VS_FIXEDFILEINFO), length);
    EXPECT_EQ(0xFEEF04BDu, fixed->dwSignature);
    EXPECT_EQ(0x00010002u, fixed->dwFileVersionMS);
    EXPECT_EQ(0x00030004u, fixed->dwFileVersionLS);
    EXPECT_EQ(0x00010002u, fixed->dwProductVersionMS);
    EXPECT_EQ(DWORD(VFT_APP), fixed->dwFileType);
    WORD *translation = nullptr;
    ASSERT_TRUE(VerQueryValueA(info.data(), "\\VarFileInfo\\Translation", reinterpret_cast<void **>(&translation),
                               &length));
    ASSERT_EQ(4u, length);
    EXPECT_EQ(0x0C0A, translation[0]);
    EXPECT_EQ(1252, translation[1]);
    const struct {
        const char *key, *value;
    } strings[] = {
        {"CompanyName", "Compa\xF1\xED" "a \xD1"},
        {"FileDescription", "Instala Mi Aplicaci\xF3n"},
        {"FileVersion", "1.2.3.4"},
        {"InternalName", "res-all"},
        {"LegalCopyright", "\xA9 2026 Compa\xF1\xED" "a \xD1"},
        {"OriginalFilename", "res-all.exe"},
        {"ProductName", "Mi Aplicaci\xF3n"},
        {"ProductVersion", "1.2.3.4"},
    };
    for (const auto &string : strings) {
        char *value = nullptr;
        const std::string query = std::string("\\StringFileInfo\\0C0A04E4\\") + string.key;
        ASSERT_TRUE(VerQueryValueA(info.data(), query.c_str(), reinterpret_cast<void **>(&value), &length))
            << string.key;
        EXPECT_EQ(std::string(string.value), std::string(value)) << string.key;
    }
    const std::string plain = std::string(TALVOK_FLOW_DIR) + "\\res-icon.exe";
    EXPECT_EQ(0u, GetFileVersionInfoSizeA(plain.c_str(), &ignored)) << "no version resource without --version";
}

// The colour at the centre of an icon's colour bitmap, as 0xRRGGBB; its
// width through width_out. 0xFFFFFFFF when the icon cannot be read.
DWORD IconCentre(HICON icon, LONG &width_out)
{
    ICONINFO info = {};
    if (!icon || !GetIconInfo(icon, &info))
        return 0xFFFFFFFF;
    DWORD colour = 0xFFFFFFFF;
    BITMAP bitmap = {};
    if (info.hbmColor && GetObjectA(info.hbmColor, sizeof bitmap, &bitmap)) {
        width_out = bitmap.bmWidth;
        BITMAPINFO format = {};
        format.bmiHeader.biSize = sizeof format.bmiHeader;
        format.bmiHeader.biWidth = bitmap.bmWidth;
        format.bmiHeader.biHeight = -bitmap.bmHeight;  // top-down
        format.bmiHeader.biPlanes = 1;
        format.bmiHeader.biBitCount = 32;
        std::vector<DWORD> pixels(size_t(bitmap.bmWidth) * bitmap.bmHeight);
        HDC screen = GetDC(nullptr);
        if (GetDIBits(screen, info.hbmColor, 0, bitmap.bmHeight, pixels.data(), &format, DIB_RGB_COLORS))
            colour = pixels[size_t(bitmap.bmHeight / 2) * bitmap.bmWidth + bitmap.bmWidth / 2] & 0xFFFFFF;
        ReleaseDC(nullptr, screen);
    }
    DeleteObject(info.hbmColor);
    DeleteObject(info.hbmMask);
    return colour;
}

// The author's icon as Windows loads it from the installer: LoadIconA
// picks the 32x32 image, LoadImageA the size asked for, the 256x256 PNG
// image included. The squares are red (16), green (32), magenta (256).
TEST(InstallFlow, AuthorsIconAsWindowsLoadsIt)
{
    const std::string path = std::string(TALVOK_FLOW_DIR) + "\\res-icon.exe";
    HMODULE module = LoadLibraryExA(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(nullptr, module) << GetLastError();
    LONG width = 0;
    HICON icon = LoadIconA(module, MAKEINTRESOURCEA(1));
    EXPECT_EQ(0x00C800u, IconCentre(icon, width)) << "LoadIconA";
    EXPECT_EQ(GetSystemMetrics(SM_CXICON), width);
    const struct {
        int size;
        DWORD colour;
    } cases[] = {{16, 0xFF0000}, {32, 0x00C800}, {256, 0xFF00FF}};
    for (const auto &c : cases) {
        HICON sized = static_cast<HICON>(LoadImageA(module, MAKEINTRESOURCEA(1), IMAGE_ICON, c.size, c.size, 0));
        width = 0;
        EXPECT_EQ(c.colour, IconCentre(sized, width)) << c.size;
        EXPECT_EQ(c.size, width);
        DestroyIcon(sized);
    }
    FreeLibrary(module);
}
