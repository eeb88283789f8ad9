// Start-up end to end, on installers the builder made: what a person sees
// for each choice the author made and each option the user typed, and how a
// damaged or altered file is refused. Every case checks texts byte for byte
// and the exit code.
#include <gtest/gtest.h>
#include <windows.h>

#include "startup/installer_support.h"
#include "portable/parameter_block.h"
#include "startup/stub_support.h"
#include "uiauto.h"

namespace {

using namespace stub_test;

const char HEADER_CORRUPT[] =
    "Talvok Self-Extractor header corrupt.  Possible cause:  bad disk or file transfer error";
const char DAMAGED_ARCHIVE[] =
    "El archivo Zip está dañado o truncado o se modificó desde su creación.   "
    "Si descargó este archivo, vuelva a descargarlo de nuevo.";
const char INCOMPLETE[] =
    "Esta aplicación de extracción automática está incompleta.\nVuelva a crear el archivo e "
    "inténtelo de nuevo.";

// Starts path, expects exactly one message box with text, presses OK and
// expects exit code 0 with no other window on the way.
void ExpectOnlyMessage(const std::string &path, const std::string &arguments, const std::string &text)
{
    uiauto::Process program;
    ASSERT_TRUE(StartInstaller(program, path, arguments)) << uiauto::LastFailure();
    HWND box = WaitAnyWindow(program);
    ASSERT_NE(nullptr, box) << uiauto::LastFailure();
    EXPECT_EQ("#32770", uiauto::ClassName(box));
    EXPECT_EQ("Talvok Self-Extractor", uiauto::WindowText(box));
    EXPECT_EQ(uiauto::Printable(text), uiauto::Printable(uiauto::MessageBoxText(box)))
        << path << " " << arguments;
    EXPECT_EQ(nullptr, GetDlgItem(box, 101)) << "a message box, not the main dialog";
    EXPECT_EQ(0u, PressAndWaitExit(program, box, IDOK)) << uiauto::LastFailure();
}

// A visible message box of the program (a dialog without control 101).
HWND WaitMessageBox(uiauto::Process &program)
{
    HWND box = nullptr;
    const bool found = WaitUntil([&] {
        for (HWND window : program.Windows())
            if (uiauto::ClassName(window) == "#32770" && !GetDlgItem(window, 101))
                box = window;
        return box != nullptr;
    });
    return found ? box : nullptr;
}

// Starts path, expects the main dialog (and nothing before it), checks it
// with check, then cancels and expects exit code 0. A dialog that started by
// itself runs on: the test installers' command (setup.exe) is not in their
// payload, so the run ends in the system's box for a missing file, after
// which the dialog closes by itself.
void ExpectMainDialog(const std::string &path, const std::string &arguments,
                      const std::function<void(HWND)> &check = nullptr)
{
    uiauto::Process program;
    ASSERT_TRUE(StartInstaller(program, path, arguments)) << uiauto::LastFailure();
    HWND dialog = WaitMainDialog(program);
    ASSERT_NE(nullptr, dialog) << "no main dialog for " << path << " " << arguments << "\n"
                               << program.Dump();
    if (check)
        check(dialog);
    if (IsWindowEnabled(GetDlgItem(dialog, IDOK))) {
        EXPECT_EQ(0u, PressAndWaitExit(program, dialog, IDCANCEL)) << uiauto::LastFailure();
        return;
    }
    HWND box = WaitMessageBox(program);
    ASSERT_NE(nullptr, box) << "a started run ends in the missing command's box\n" << program.Dump();
    EXPECT_EQ(0u, PressAndWaitExit(program, box, IDOK)) << uiauto::LastFailure();
}

TEST(StartUp, MainDialogShowsTheAuthorsTexts)
{
    ExpectMainDialog(Installer("base"), "", [](HWND dialog) {
        // Install still enabled means no start only once nothing is pending.
        ASSERT_TRUE(WaitPostedMessagesHandled(dialog)) << "the dialog handles no posted messages";
        uiauto::WindowInfo info = uiauto::Describe(dialog);
        EXPECT_EQ("Talvok Self-Extractor - base.exe", info.caption);
        EXPECT_EQ(Ansi("Texto del diálogo de prueba"), uiauto::WindowText(GetDlgItem(dialog, 101)));
        EXPECT_EQ("&Instalar", uiauto::WindowText(GetDlgItem(dialog, IDOK)));
        EXPECT_EQ("Cancelar", uiauto::WindowText(GetDlgItem(dialog, IDCANCEL)));
        EXPECT_EQ("&Acerca de", uiauto::WindowText(GetDlgItem(dialog, 112)));
        EXPECT_TRUE(IsWindowEnabled(GetDlgItem(dialog, IDOK)));
        EXPECT_FALSE(IsWindowVisible(GetDlgItem(dialog, 201))) << "the meter waits for the run";
        EXPECT_NE(0, SendMessageA(GetDlgItem(dialog, 120), STM_GETICON, 0, 0)) << "the program's icon";
    });
    ExpectMainDialog(Installer("caption"), "", [](HWND dialog) {
        EXPECT_EQ(Ansi("Título de prueba"), uiauto::WindowText(dialog));
    });
}

TEST(StartUp, InfoOptionShowsOnlyTheInfoText)
{
    const std::string info = Ansi("Información: -t* -sta");
    struct Case { const char *arguments; bool shows_info; } const cases[] = {
        {"-info", true},
        {"uno -info dos", true},
        {"x-infoy", true},      // inside a longer word too
        {"-INFO", false},       // case matters, and it is no keyword either
        {"-Info", false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.arguments);
        if (c.shows_info)
            ExpectOnlyMessage(Installer("intro-yes-no"), c.arguments, info);
        else
            ExpectMainDialog(Installer("base"), c.arguments);
    }
}

TEST(StartUp, IntroQuestionButtonsAndAnswers)
{
    struct Case {
        const char *variant;
        int buttons[2];  // ids of the box's buttons, 0 for none
        int press;
        bool continues;
    } const cases[] = {
        {"intro-ok", {IDOK, 0}, IDOK, true},
        {"intro-yes-no", {IDYES, IDNO}, IDYES, true},
        {"intro-yes-no", {IDYES, IDNO}, IDNO, false},
        {"intro-ok-cancel", {IDOK, IDCANCEL}, IDOK, true},
        {"intro-ok-cancel", {IDOK, IDCANCEL}, IDCANCEL, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(std::string(c.variant) + " pressing " + std::to_string(c.press));
        uiauto::Process program;
        ASSERT_TRUE(StartInstaller(program, Installer(c.variant))) << uiauto::LastFailure();
        HWND box = WaitAnyWindow(program);
        ASSERT_NE(nullptr, box) << uiauto::LastFailure();
        EXPECT_EQ(Ansi("Título de prueba"), uiauto::WindowText(box)) << "the title is the caption";
        EXPECT_EQ(Ansi("¿Seguimos?"), uiauto::MessageBoxText(box));
        for (int id : {IDOK, IDCANCEL, IDYES, IDNO}) {
            bool expected = id == c.buttons[0] || id == c.buttons[1];
            EXPECT_EQ(expected, GetDlgItem(box, id) != nullptr) << "button " << id;
        }
        ASSERT_TRUE(uiauto::PressButtonId(box, c.press)) << uiauto::LastFailure();
        if (c.continues) {
            HWND dialog = WaitMainDialog(program);
            ASSERT_NE(nullptr, dialog) << program.Dump();
            EXPECT_EQ(0u, PressAndWaitExit(program, dialog, IDCANCEL)) << uiauto::LastFailure();
        } else {
            uiauto::ExitResult exit = program.WaitExit();
            EXPECT_EQ(uiauto::ExitStatus::Exited, exit.status) << uiauto::LastFailure();
            EXPECT_EQ(0u, exit.exit_code);
        }
    }
}

TEST(StartUp, NoIntroQuestionWhenItsTextIsEmptyOrTheRunIsUnattended)
{
    ExpectMainDialog(Installer("no-intro-buttons"), "");

    // Unattended: no question and no visible window; the hidden dialog
    // exists and has started by itself (its Install button is off). Message
    // boxes still appear: the missing command's is the only window shown.
    uiauto::Process program;
    ASSERT_TRUE(StartInstaller(program, Installer("intro-hidden"))) << uiauto::LastFailure();
    HWND dialog = nullptr;
    auto hidden_dialog = [&] {
        for (HWND window : uiauto::TopLevelWindows(program.Id(), false))
            if (GetDlgItem(window, 101))
                dialog = window;
        return dialog != nullptr;
    };
    ASSERT_TRUE(WaitUntil(hidden_dialog)) << "no dialog, hidden or not\n" << program.Dump();
    HWND install = GetDlgItem(dialog, IDOK);
    EXPECT_TRUE(WaitUntil([&] { return !IsWindowEnabled(install); })) << "Install stays enabled: no start";
    HWND box = WaitMessageBox(program);
    ASSERT_NE(nullptr, box) << program.Dump();
    EXPECT_EQ(std::vector<HWND>{box}, program.Windows()) << program.Dump();
    EXPECT_EQ(0u, PressAndWaitExit(program, box, IDOK)) << uiauto::LastFailure();
}

// AUTO, NOAUTO and WAIT: only the first switch counts. Their effect shows
// when the dialog starts: an automatic start disables Install and, unless
// the user is to confirm the end (WAIT), makes Cancel the default button.
TEST(StartUp, CommandLineSwitches)
{
    struct Case {
        const char *variant;
        const char *arguments;
        bool started;       // Install disabled: extraction began by itself
        bool cancel_default;
    } const cases[] = {
        {"base", "", false, false},
        {"auto", "", true, true},               // the author's choice
        {"auto", "/noauto", false, false},
        {"auto", "-NoAuto", false, false},
        {"base", "-auto", true, true},
        {"base", "/AUTOSTART", true, true},     // a word that begins with a keyword
        {"base", "-auto -wait", true, true},    // only the first switch counts
        {"auto", "/wait", true, false},         // WAIT keeps Install the default
        {"auto", "-waitnow", true, false},
        {"base", "/wa", false, false},          // shorter than every keyword
        {"base", "setup-autox", true, true},    // a "-" inside a word starts a switch
        {"auto", "-x -noauto", true, true},     // -x is the first switch: no keyword
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(std::string(c.variant) + " \"" + c.arguments + "\"");
        ExpectMainDialog(Installer(c.variant), c.arguments, [&](HWND dialog) {
            // The start is posted from WM_INITDIALOG: whether it came or not
            // shows once the dialog has handled what was posted before now.
            ASSERT_TRUE(WaitPostedMessagesHandled(dialog)) << "the dialog handles no posted messages";
            HWND install = GetDlgItem(dialog, IDOK);
            EXPECT_EQ(c.started, !IsWindowEnabled(install));
            LONG cancel_style = GetWindowLongA(GetDlgItem(dialog, IDCANCEL), GWL_STYLE) & 0x0F;
            EXPECT_EQ(c.cancel_default ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON, cancel_style);
        });
    }
}

// One byte of the DOS stub's text: covered by the self-check unless the
// sign-friendly option leaves the headers out, and harmless to run.
void FlipDosStubByte(std::vector<uint8_t> &bytes, size_t)
{
    bytes[0x60] ^= 0x20;
}

// The last byte of the code section in the file: covered by the self-check,
// and never run before it (the code before the check lies at the start).
size_t LastCodeByte(const std::vector<uint8_t> &bytes)
{
    const uint8_t *image = bytes.data();
    const uint32_t nt = ReadLe32(image + DOS_E_LFANEW);
    const uint16_t sections = ReadLe16(image + nt + 6);
    const uint8_t *section = image + nt + 24 + ReadLe16(image + nt + 20);
    for (uint16_t i = 0; i < sections; i++, section += 40)
        if (std::string(reinterpret_cast<const char *>(section), 5) == ".text")
            return ReadLe32(section + 20) + ReadLe32(section + 16) - 1;
    return 0x500;
}

TEST(StartUp, AlteredOrIncompleteFilesAreRefused)
{
    using Patch = std::function<void(std::vector<uint8_t> &, size_t)>;
    auto field32 = [](size_t offset, int32_t delta) -> Patch {
        return [=](std::vector<uint8_t> &bytes, size_t block) {
            uint8_t *field = bytes.data() + block + offset;
            WriteLe32(field, ReadLe32(field) + delta);
        };
    };
    struct Case {
        const char *name;
        Patch patch;
        bool recompute_crc;
        const char *message;  // nullptr: the main dialog opens
    } const cases[] = {
        {"flipped", FlipDosStubByte, false, HEADER_CORRUPT},
        {"flipped-code", [](std::vector<uint8_t> &bytes, size_t) { bytes[LastCodeByte(bytes)] ^= 1; }, false,
         HEADER_CORRUPT},
        {"crc-off", [](std::vector<uint8_t> &bytes, size_t block) {
             FlipDosStubByte(bytes, block);
             WriteLe32(bytes.data() + block + PB_CRC, 0);
         }, false, nullptr},
        {"entry-point", field32(PB_ENTRY_POINT, 0x10), true, DAMAGED_ARCHIVE},
        {"end-record", field32(PB_END_RECORD, 1), true, DAMAGED_ARCHIVE},
        {"end-record-off", [](std::vector<uint8_t> &bytes, size_t block) {
             WriteLe32(bytes.data() + block + PB_END_RECORD, 0);
         }, true, nullptr},
        // A header longer than the reader's 1500-byte area, and one cut to a
        // single byte, are both corrupt.
        {"header-too-long", [](std::vector<uint8_t> &bytes, size_t block) {
             uint8_t *fields = bytes.data() + block;
             WriteLe32(fields + PB_HEADER, ReadLe32(fields + PB_FIRST_LOCAL_HEADER) - 1501);
         }, true, HEADER_CORRUPT},
        {"header-cut", [](std::vector<uint8_t> &bytes, size_t block) {
             uint8_t *fields = bytes.data() + block;
             WriteLe32(fields + PB_HEADER, ReadLe32(fields + PB_FIRST_LOCAL_HEADER) - 1);
         }, true, HEADER_CORRUPT},
        {"incomplete", [](std::vector<uint8_t> &bytes, size_t block) {
             WriteLe16(bytes.data() + block + PB_COMPLETION, 0);
         }, true, INCOMPLETE},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        std::string path = PatchedInstaller("base", c.name, c.patch, c.recompute_crc);
        if (c.message)
            ExpectOnlyMessage(path, "", Ansi(c.message));
        else
            ExpectMainDialog(path, "");
        DeleteFileA(path.c_str());
    }
}

TEST(StartUp, WithoutAHeaderTheDialogOpensEmpty)
{
    std::string path = PatchedInstaller("base", "no-header", [](std::vector<uint8_t> &bytes, size_t block) {
        WriteLe32(bytes.data() + block + PB_HEADER, 0);
    }, true);
    ExpectMainDialog(path, "", [](HWND dialog) {
        EXPECT_EQ("", uiauto::WindowText(GetDlgItem(dialog, 101)));
        EXPECT_EQ(0, SendMessageA(GetDlgItem(dialog, 120), STM_GETICON, 0, 0)) << "no header, no icon";
    });
    ExpectOnlyMessage(path, "-info", "");
    DeleteFileA(path.c_str());
}

TEST(StartUp, SignedAfterBuildingPassesOnlyWithTheSignFriendlyCheck)
{
    ExpectMainDialog(Installer("unsigned-friendly"), "");
    ExpectMainDialog(Installer("signed-friendly"), "");
    ExpectMainDialog(Installer("unsigned-plain"), "");
    ExpectOnlyMessage(Installer("signed-plain"), "", HEADER_CORRUPT);
    // Bit 11 skips the headers but not the rest: a changed DOS stub passes,
    // a changed byte of code does not.
    std::string stub_changed = PatchedInstaller("unsigned-friendly", "dos-stub", FlipDosStubByte, false);
    ExpectMainDialog(stub_changed, "");
    std::string code_changed = PatchedInstaller("unsigned-friendly", "code", [](std::vector<uint8_t> &bytes, size_t) {
        bytes[LastCodeByte(bytes)] ^= 1;
    }, false);
    ExpectOnlyMessage(code_changed, "", HEADER_CORRUPT);
    DeleteFileA(stub_changed.c_str());
    DeleteFileA(code_changed.c_str());
}

TEST(StartUp, HeaderFieldAtItsBoundFitsAndOneMoreIsAnInternalError)
{
    ExpectMainDialog(Installer("exact"), "", [](HWND dialog) {
        EXPECT_EQ(std::string(256, 'y'), uiauto::WindowText(GetDlgItem(dialog, 101)));
    });

    // The report goes to the current directory: the program's own folder.
    std::string report = std::string(TALVOK_INSTALLERS_DIR) + "\\TVSFX32.RPT";
    HANDLE old = CreateFileA(report.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, old) << "cannot write " << report << ", error " << GetLastError();
    DWORD written = 0;
    const BOOL wrote = WriteFile(old, "an older report, longer than the new one will be ........................"
                                      "..........................................................................."
                                      "..........................................................................."
                                      "..........................................................................."
                                      "...........................................................................",
                                 375, &written, nullptr);
    CloseHandle(old);
    ASSERT_TRUE(wrote && written == 375) << "the older report is not there to be replaced";

    uiauto::Process program;
    ASSERT_TRUE(StartInstaller(program, Installer("oversize"))) << uiauto::LastFailure();
    HWND box = WaitAnyWindow(program);
    ASSERT_NE(nullptr, box) << uiauto::LastFailure();
    EXPECT_EQ("Talvok internal error in file sfxhead line 3125", uiauto::MessageBoxText(box));
    ASSERT_TRUE(uiauto::PressButtonId(box, IDOK)) << uiauto::LastFailure();
    ASSERT_TRUE(uiauto::WaitClosed(box, 5000)) << "the error box stays after OK\n" << uiauto::LastFailure();
    HWND notice = WaitAnyWindow(program);
    ASSERT_NE(nullptr, notice) << uiauto::LastFailure();
    EXPECT_NE(std::string::npos, uiauto::MessageBoxText(notice).find("TVSFX32.RPT"));
    EXPECT_EQ(1u, PressAndWaitExit(program, notice, IDOK)) << uiauto::LastFailure();

    std::string text = ReadWholeFile(report);
    const std::string first = "Talvok internal error in file sfxhead line 3125\r\n\nCurrent date/time: ";
    EXPECT_EQ(first, text.substr(0, first.size())) << uiauto::Printable(text);
    for (const char *line : {"\r\nModule name = ", "\r\n\nOperating System Version ", "Windows NT\r\n Version ",
                             "\r\nMemory in use = ", "%\r\nTotal physical memory = ",
                             " Kbytes\r\nPhysical memory available = ", " Kbytes\r\nTotal virtual memory = ",
                             " Kbytes\r\nVirtual memory available = "})
        EXPECT_NE(std::string::npos, text.find(line)) << "missing \"" << uiauto::Printable(line) << "\" in\n"
                                                      << uiauto::Printable(text);
    EXPECT_EQ(" Kbytes\r\n", text.substr(text.size() - 9));
    EXPECT_EQ(std::string::npos, text.find("older report")) << "the old report is replaced, not appended to";
    EXPECT_NE(std::string::npos, text.find("oversize.exe\r\n"));
    DeleteFileA(report.c_str());
}

TEST(StartUp, WindowsOlderThan95IsRefused)
{
    // Wine reports the version named under AppDefaults for one program name.
    const std::string name = "talvok-oldwin.exe";
    HKEY key;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_CURRENT_USER,
                                             ("Software\\Wine\\AppDefaults\\" + name).c_str(), 0, nullptr,
                                             0, KEY_WRITE, nullptr, &key, nullptr));
    RegSetValueExA(key, "Version", 0, REG_SZ, reinterpret_cast<const BYTE *>("win31"), 6);
    RegCloseKey(key);
    std::string path = FullPath(name);
    ASSERT_TRUE(CopyTo(Installer("base"), path));
    ExpectOnlyMessage(path, "", Ansi("Este archivo Zip autoextraíble de 32 bits requiere Windows 95, 98, NT o 2000."));
    DeleteFileA(path.c_str());
}

}  // namespace
