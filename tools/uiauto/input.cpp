// Acting on another process's windows: pressing buttons, setting and typing
// text, pressing keys, and waiting for a window to close.
//
// Button presses and keys are posted, never sent: a press whose handler
// opens a message box would otherwise keep the driver waiting inside
// SendMessage until someone answered that box, which only the driver can
// do. Keys go to the focused control because the dialog's loop hands only
// the messages it retrieves itself to IsDialogMessage, and that routine
// turns Enter, Escape, Tab and accelerators into commands only for messages
// addressed to the dialog or one of its controls. Characters for an edit
// control are sent, one WM_CHAR at a time, so TypeText knows when they are
// all in.
//
// A cross-process program cannot fake the Shift or Alt state that the
// target thread would read with GetKeyState, so Shift+Tab is not offered;
// Alt+letter is a WM_SYSCHAR with the Alt bit set in its flags, which is
// all the dialog's accelerator search looks at.
#include "uiauto.h"
#include "uiauto_internal.h"

namespace uiauto {

constexpr UINT SEND_FLAGS = SMTO_BLOCK | SMTO_ABORTIFHUNG;
constexpr LPARAM KEY_UP_FLAGS = (LPARAM)0xC0000000;  // previous state down, releasing
constexpr LPARAM ALT_DOWN_FLAG = 0x20000000;          // the context code: Alt held

static std::string Named(HWND hwnd)
{
    return HexHandle(hwnd) + " \"" + Printable(WindowText(hwnd)) + "\"";
}

bool PressButton(HWND button)
{
    if (!IsWindow(button)) {
        RecordFailure("PressButton: " + HexHandle(button) + " is not a window");
        return false;
    }
    if (!IsWindowVisible(button) || !IsWindowEnabled(button)) {
        RecordFailure("PressButton: " + Named(button) + " is hidden or disabled");
        return false;
    }
    if (!PostMessageA(button, BM_CLICK, 0, 0)) {
        RecordFailure("PressButton: cannot post to " + Named(button) + " (error " +
                      std::to_string(GetLastError()) + ")");
        return false;
    }
    return true;
}

bool PressButton(HWND top, const std::string &label, TextMatch match)
{
    HWND button = FindButton(top, label, match);
    return button && PressButton(button);
}

bool PressButtonId(HWND top, int id)
{
    HWND button = FindControl(top, id);
    return button && PressButton(button);
}

bool SetText(HWND control, const std::string &text)
{
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutA(control, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()),
                             SEND_FLAGS, MESSAGE_TIMEOUT_MS, &result) ||
        !result) {
        RecordFailure("SetText: " + Named(control) + " did not take the text");
        return false;
    }
    return true;
}

bool TypeText(HWND edit, const std::string &text)
{
    if (!IsWindowEnabled(edit)) {
        RecordFailure("TypeText: " + Named(edit) + " is disabled or not a window");
        return false;
    }
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutA(edit, EM_SETSEL, 0, -1, SEND_FLAGS, MESSAGE_TIMEOUT_MS, &result)) {
        RecordFailure("TypeText: " + Named(edit) + " does not answer");
        return false;
    }
    // Backspace removes the selection, so an empty text empties the control.
    std::string keys = "\b" + text;
    for (unsigned char c : keys)
        if (!SendMessageTimeoutA(edit, WM_CHAR, c, 1, SEND_FLAGS, MESSAGE_TIMEOUT_MS, &result)) {
            RecordFailure("TypeText: " + Named(edit) + " stopped answering");
            return false;
        }
    return true;
}

// Where a key goes: the focused control if it belongs to top, else top.
// The focused control of top, waited for briefly: a window that has just
// appeared may not have set its focus yet, and a key posted to the window
// itself then bypasses the dialog's own key handling.
static HWND KeyTarget(HWND top)
{
    const DWORD deadline = GetTickCount() + MESSAGE_TIMEOUT_MS;
    for (;;) {
        HWND focus = FocusedControl(top);
        if (focus && (focus == top || IsChild(top, focus)))
            return focus;
        if (static_cast<LONG>(deadline - GetTickCount()) <= 0)
            return top;
        Sleep(POLL_INTERVAL_MS);
    }
}

static UINT VirtualKey(Key key)
{
    switch (key) {
    case Key::Enter: return VK_RETURN;
    case Key::Escape: return VK_ESCAPE;
    case Key::Tab: return VK_TAB;
    case Key::Space: return VK_SPACE;
    }
    return 0;
}

// Polls until the focus in top's thread leaves from, up to the limit.
[[nodiscard]] static bool WaitFocusMoved(HWND top, HWND from)
{
    DWORD start_tick = GetTickCount();
    while (GetTickCount() - start_tick < DEFAULT_TIMEOUT_MS) {
        if (KeyTarget(top) != from)
            return true;
        Sleep(POLL_INTERVAL_MS);
    }
    return false;
}

bool PressKey(HWND top, Key key)
{
    UINT vk = VirtualKey(key);
    LPARAM key_data = 1 | (LPARAM)MapVirtualKeyA(vk, MAPVK_VK_TO_VSC) << 16;
    // The focused control can be gone by the time the key is posted (a
    // window still setting itself up moves its focus): then the key goes to
    // wherever the focus is now.
    HWND target = KeyTarget(top);
    const DWORD deadline = GetTickCount() + MESSAGE_TIMEOUT_MS;
    while (!PostMessageA(target, WM_KEYDOWN, vk, key_data)) {
        if (!IsWindow(top) || static_cast<LONG>(deadline - GetTickCount()) <= 0) {
            RecordFailure("PressKey: cannot post to " + Named(target));
            return false;
        }
        Sleep(POLL_INTERVAL_MS);
        target = KeyTarget(top);
    }
    if (!PostMessageA(target, WM_KEYUP, vk, key_data | KEY_UP_FLAGS)) {
        RecordFailure("PressKey: cannot post the key's release to " + Named(target));
        return false;
    }
    if (key == Key::Tab && !WaitFocusMoved(top, target)) {
        RecordFailure("PressKey: Tab left the focus on " + Named(target) + " in\n" +
                      FormatWindow(Describe(top)));
        return false;
    }
    return true;
}

bool PressAltKey(HWND top, char letter)
{
    HWND target = KeyTarget(top);
    UINT scan_code = MapVirtualKeyA(VkKeyScanA(letter) & 0xFF, MAPVK_VK_TO_VSC);
    LPARAM key_data = 1 | (LPARAM)scan_code << 16 | ALT_DOWN_FLAG;
    if (!PostMessageA(target, WM_SYSCHAR, (unsigned char)letter, key_data)) {
        RecordFailure("PressAltKey: cannot post to " + Named(target));
        return false;
    }
    return true;
}

bool WaitClosed(HWND hwnd, DWORD timeout_ms)
{
    DWORD start_tick = GetTickCount();
    while (IsWindow(hwnd)) {
        if (GetTickCount() - start_tick >= timeout_ms) {
            RecordFailure("WaitClosed: " + Named(hwnd) + " still open after " +
                          std::to_string(timeout_ms) + " ms:\n" + FormatWindow(Describe(hwnd)));
            return false;
        }
        Sleep(POLL_INTERVAL_MS);
    }
    return true;
}

}  // namespace uiauto
