// Running the installers that make_installers.sh built, and patched copies
// of them, the way a person would: through uiauto.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "support/test_files.h"
#include "support/window_answerer.h"
#include "uiauto.h"

namespace stub_test {

// Path of a built installer by its variant name ("base" -> .../base.exe).
std::string Installer(const std::string &variant);

// Starts an installer with a command line (after the program name).
[[nodiscard]] bool StartInstaller(uiauto::Process &program, const std::string &path,
                                  const std::string &arguments = "");

// A copy of the installer at from, changed by patch before it is written to
// <variant>-<name>.exe. patch gets the file's bytes and the offset of its
// ParameterBlock. With recompute_crc the block's CRC is computed afresh
// afterwards, as the builder would have, so only the patched field differs.
std::string PatchedInstaller(const std::string &variant, const std::string &name,
                             const std::function<void(std::vector<uint8_t> &, size_t)> &patch,
                             bool recompute_crc);

// The first visible window of the program, waited for; nullptr on timeout.
HWND WaitAnyWindow(uiauto::Process &program);

// The program's main dialog: the visible dialog with control 101; nullptr
// when the limit passes or the program ends first.
HWND WaitMainDialog(uiauto::Process &program);

// Presses the button with id in window, then waits for the program to exit;
// returns its exit code, or 0xDEAD when it had to be killed.
DWORD PressAndWaitExit(uiauto::Process &program, HWND window, int id);

// Waits until the main dialog has handled every message its thread had been
// posted before this call, such as the command that starts a run by itself
// from WM_INITDIALOG. Call it once the dialog is visible, which is after its
// WM_INITDIALOG. A message sent to the dialog cannot prove this, as sent
// messages overtake posted ones; instead a marker is posted behind them
// (BM_SETSTATE on the About button, a highlight and nothing else), and posted
// messages are handled in the order they came. 1: the marker was handled;
// 0: it was not within the limit. The highlight is taken back afterwards.
[[nodiscard]] bool WaitPostedMessagesHandled(HWND dialog);

}  // namespace stub_test
