#include "startup/installer_support.h"

#include "extract/crc32.h"
#include "portable/parameter_block.h"
#include "startup/stub_support.h"

namespace stub_test {

// The main dialog's controls, as its template numbers them.
constexpr int ID_MESSAGE = 101;
constexpr int ID_ABOUT = 112;

std::string Installer(const std::string &variant)
{
    return std::string(TALVOK_INSTALLERS_DIR) + "\\" + variant + ".exe";
}

bool StartInstaller(uiauto::Process &program, const std::string &path, const std::string &arguments)
{
    // Installers that start keep their temporary folders when their command
    // fails: each gets a fresh temporary root, so none fill the prefix's.
    const std::string temp_root = FullPath("installer-temp");
    RemoveTree(temp_root);
    CreateDirectoryA(temp_root.c_str(), nullptr);
    uiauto::LaunchOptions launch;
    launch.command_line = "\"" + path + "\"" + (arguments.empty() ? "" : " " + arguments);
    launch.env = {"TMP=" + temp_root};
    return program.Start(launch);
}

static void RecomputeCrc(std::vector<uint8_t> &bytes, size_t block)
{
    uint8_t *fields = bytes.data() + block;
    WriteLe32(fields + PB_CRC, 0);
    uint32_t start = 0;
    if (ReadLe32(fields + PB_FLAGS) & FLAG_SIGN_FRIENDLY)
        start = ReadLe32(bytes.data() + DOS_E_LFANEW) + sizeof(IMAGE_NT_HEADERS);  // of this build's width
    uint32_t end = ReadLe32(fields + PB_FIRST_LOCAL_HEADER);
    BuildCrcTable();
    WriteLe32(fields + PB_CRC, Crc32Of(bytes.data() + start, end - start));
}

std::string PatchedInstaller(const std::string &variant, const std::string &name,
                             const std::function<void(std::vector<uint8_t> &, size_t)> &patch,
                             bool recompute_crc)
{
    std::string content = ReadWholeFile(Installer(variant));
    std::vector<uint8_t> bytes(content.begin(), content.end());
    size_t block = FindBlock(bytes);
    if (block == std::string::npos)
        return "<no parameter block in " + Installer(variant) + ">";
    patch(bytes, block);
    if (recompute_crc)
        RecomputeCrc(bytes, block);

    std::string path = FullPath(variant + "-" + name + ".exe");
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written = 0;
    WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
    return path;
}

HWND WaitAnyWindow(uiauto::Process &program)
{
    return program.WaitWindow({});
}

HWND WaitMainDialog(uiauto::Process &program)
{
    HWND dialog = nullptr;
    auto found_or_ended = [&] {
        for (HWND window : program.Windows())
            if (GetDlgItem(window, ID_MESSAGE) && uiauto::ClassName(window) == "#32770") {
                dialog = window;
                break;
            }
        return dialog || !program.Running();
    };
    return WaitUntil(found_or_ended) ? dialog : nullptr;
}

DWORD PressAndWaitExit(uiauto::Process &program, HWND window, int id)
{
    if (!uiauto::PressButtonId(window, id))
        return 0xBAD;
    return program.WaitExit().exit_code;
}

bool WaitPostedMessagesHandled(HWND dialog)
{
    HWND about = GetDlgItem(dialog, ID_ABOUT);
    if (!about || !PostMessageA(about, BM_SETSTATE, TRUE, 0))
        return false;
    const bool handled = WaitUntil([&] {
        DWORD_PTR state = 0;
        return SendMessageTimeoutA(about, BM_GETSTATE, 0, 0, SMTO_NORMAL, uiauto::MESSAGE_TIMEOUT_MS, &state) &&
               (state & BST_PUSHED);
    });
    PostMessageA(about, BM_SETSTATE, FALSE, 0);
    return handled;
}

}  // namespace stub_test
