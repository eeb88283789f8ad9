// screenshots: runs the installers a person meets in four states and saves
// the screen in each, for a person to look at (make screenshots, under Xvfb
// with Wine's X11 driver; the null driver paints nothing):
//   screenshots INSTALLERS_DIR OUT_DIR
// INSTALLERS_DIR holds the installer-mode test installers (run.exe,
// large.exe, encrypted.exe, no-command.exe); OUT_DIR gets main-dialog.bmp,
// meter.bmp, password.bmp and error.bmp. Exit code 0 when all four were taken.
#include <windows.h>

#include <cstdio>
#include <functional>
#include <string>

#include "uiauto.h"

namespace {

constexpr int ID_MESSAGE = 101;
constexpr int ID_METER = 201;
constexpr UINT METER_GETPOS = 0x403;

// The whole screen as a 24-bit bottom-up BMP.
bool SaveScreen(const std::string &path)
{
    const int width = GetSystemMetrics(SM_CXSCREEN), height = GetSystemMetrics(SM_CYSCREEN);
    HDC screen = GetDC(nullptr), memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
    HGDIOBJ previous = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width, height, screen, 0, 0, SRCCOPY);
    SelectObject(memory, previous);

    BITMAPINFOHEADER info = {};
    info.biSize = sizeof info;
    info.biWidth = width;
    info.biHeight = height;
    info.biPlanes = 1;
    info.biBitCount = 24;
    const DWORD row_bytes = (width * 3 + 3) & ~3u, image_bytes = row_bytes * height;
    std::string pixels(image_bytes, '\0');
    GetDIBits(memory, bitmap, 0, height, &pixels[0], reinterpret_cast<BITMAPINFO *>(&info), DIB_RGB_COLORS);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);

    BITMAPFILEHEADER file = {};
    file.bfType = 0x4D42;
    file.bfOffBits = sizeof file + sizeof info;
    file.bfSize = file.bfOffBits + image_bytes;
    FILE *out = fopen(path.c_str(), "wb");
    if (!out)
        return false;
    fwrite(&file, sizeof file, 1, out);
    fwrite(&info, sizeof info, 1, out);
    fwrite(pixels.data(), 1, pixels.size(), out);
    return fclose(out) == 0;
}

bool WaitUntil(const std::function<bool()> &condition, DWORD timeout_ms = 15000)
{
    const DWORD deadline = GetTickCount() + timeout_ms;
    while (!condition() && static_cast<LONG>(deadline - GetTickCount()) > 0)
        Sleep(5);
    return condition();
}

HWND MainDialog(uiauto::Process &program)
{
    HWND dialog = nullptr;
    WaitUntil([&] {
        for (HWND window : program.Windows())
            if (GetDlgItem(window, ID_MESSAGE))
                dialog = window;
        return dialog != nullptr;
    });
    return dialog;
}

HWND OtherDialog(uiauto::Process &program, HWND main_dialog)
{
    HWND other = nullptr;
    WaitUntil([&] {
        for (HWND window : program.Windows())
            if (window != main_dialog && uiauto::ClassName(window) == "#32770")
                other = window;
        return other != nullptr;
    });
    return other;
}

// Paints settle before the screen is taken.
bool Shoot(const std::string &path)
{
    Sleep(700);
    const bool saved = SaveScreen(path);
    printf("%s %s\n", saved ? "saved" : "could not save", path.c_str());
    return saved;
}

bool Start(uiauto::Process &program, const std::string &installer)
{
    uiauto::LaunchOptions launch;
    launch.command_line = "\"" + installer + "\"";
    return program.Start(launch);
}

bool MainDialogShot(const std::string &installers, const std::string &out)
{
    uiauto::Process program;
    HWND dialog = Start(program, installers + "\\run.exe") ? MainDialog(program) : nullptr;
    const bool shot = dialog && Shoot(out + "\\main-dialog.bmp");
    if (dialog && uiauto::PressButtonId(dialog, IDCANCEL))
        program.WaitExit();
    return shot;
}

// The meter part way: a key on the dialog during the run brings up the
// cancel question, which holds the run (and the meter) where it is.
bool MeterShot(const std::string &installers, const std::string &out)
{
    uiauto::Process program;
    HWND dialog = Start(program, installers + "\\large.exe") ? MainDialog(program) : nullptr;
    if (!dialog || !uiauto::PressButtonId(dialog, IDOK))
        return false;
    HWND meter = GetDlgItem(dialog, ID_METER);
    WaitUntil([&] {
        DWORD_PTR position = 0;
        return IsWindowVisible(meter) &&
               SendMessageTimeoutA(meter, METER_GETPOS, 0, 0, SMTO_NORMAL, 1000, &position) && position >= 30;
    });
    PostMessageA(dialog, WM_KEYDOWN, VK_SPACE, 0);
    HWND question = OtherDialog(program, dialog);
    // The question opens over the dialog; below it, the meter shows whole.
    RECT frame;
    if (question && GetWindowRect(dialog, &frame))
        SetWindowPos(question, nullptr, frame.left, frame.bottom + 20, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    const bool shot = question && Shoot(out + "\\meter.bmp");
    if (question && uiauto::PressButtonId(question, IDYES))
        program.WaitExit();
    return shot;
}

bool PasswordShot(const std::string &installers, const std::string &out)
{
    uiauto::Process program;
    HWND dialog = Start(program, installers + "\\encrypted.exe") ? MainDialog(program) : nullptr;
    if (!dialog || !uiauto::PressButtonId(dialog, IDOK))
        return false;
    HWND prompt = OtherDialog(program, dialog);
    bool shot = false;
    if (prompt && uiauto::TypeText(uiauto::FindControl(prompt, 402), "clave")) {
        shot = Shoot(out + "\\password.bmp");
        if (uiauto::PressButtonId(prompt, IDCANCEL) && uiauto::WaitClosed(prompt) &&
            uiauto::PressButtonId(dialog, IDCANCEL))
            program.WaitExit();
    }
    return shot;
}

bool ErrorShot(const std::string &installers, const std::string &out)
{
    uiauto::Process program;
    HWND dialog = Start(program, installers + "\\no-command.exe") ? MainDialog(program) : nullptr;
    if (!dialog || !uiauto::PressButtonId(dialog, IDOK))
        return false;
    HWND box = OtherDialog(program, dialog);
    const bool shot = box && Shoot(out + "\\error.bmp");
    if (box && uiauto::PressButtonId(box, IDOK))
        program.WaitExit();
    return shot;
}

}  // namespace

int main(int argc, char **argv)
{
    if (argc != 3) {
        fprintf(stderr, "usage: screenshots INSTALLERS_DIR OUT_DIR\n");
        return 2;
    }
    const std::string installers = argv[1], out = argv[2];
    int taken = MainDialogShot(installers, out);
    taken += MeterShot(installers, out);
    taken += PasswordShot(installers, out);
    taken += ErrorShot(installers, out);
    return taken == 4 ? 0 : 1;
}
