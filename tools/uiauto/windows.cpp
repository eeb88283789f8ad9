// Reading another process's windows: which top-level windows it has, their
// texts and controls, the readable listing of them, and finding a control by
// id, by class and text, or by a button's label.
//
// Texts go through SendMessageTimeout(WM_GETTEXT): the system copies the
// text across processes for that message, while GetWindowText reads only
// the caption kept by the window manager, never a control's own text. The
// limit keeps a hung program from hanging the reader; such a text reads "".
#include "uiauto.h"
#include "uiauto_internal.h"

#include <cstdio>

namespace uiauto {

//---------------------------------------------------------------- reading

struct TopLevelSearch {
    DWORD process_id;
    bool visible_only;
    std::vector<HWND> found;
};

static BOOL CALLBACK CollectTopLevel(HWND hwnd, LPARAM param)
{
    TopLevelSearch *search = reinterpret_cast<TopLevelSearch *>(param);
    DWORD owner_id = 0;
    GetWindowThreadProcessId(hwnd, &owner_id);
    if (owner_id == search->process_id && (!search->visible_only || IsWindowVisible(hwnd)))
        search->found.push_back(hwnd);
    return TRUE;
}

std::vector<HWND> TopLevelWindows(DWORD process_id, bool visible_only)
{
    // EnumWindows walks the z-order from the top: the newest modal window of
    // a program comes first.
    TopLevelSearch search = {process_id, visible_only, {}};
    EnumWindows(CollectTopLevel, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

std::string WindowText(HWND hwnd)
{
    constexpr UINT flags = SMTO_BLOCK | SMTO_ABORTIFHUNG;
    DWORD_PTR length_bytes = 0;
    if (!SendMessageTimeoutA(hwnd, WM_GETTEXTLENGTH, 0, 0, flags, MESSAGE_TIMEOUT_MS,
                             &length_bytes))
        return "";
    // The length may overstate the ANSI text (it can count UTF-16 units of
    // a text converted later); the copy reports the true length.
    std::vector<char> buffer(length_bytes + 1);
    DWORD_PTR copied_bytes = 0;
    if (!SendMessageTimeoutA(hwnd, WM_GETTEXT, buffer.size(),
                             reinterpret_cast<LPARAM>(buffer.data()), flags,
                             MESSAGE_TIMEOUT_MS, &copied_bytes))
        return "";
    return std::string(buffer.data(), copied_bytes < buffer.size() ? copied_bytes : 0);
}

std::string ClassName(HWND hwnd)
{
    char name[256];
    int length = GetClassNameA(hwnd, name, sizeof name);
    return std::string(name, length > 0 ? length : 0);
}

struct ControlSearch {
    HWND top;
    std::vector<ControlInfo> found;
};

static BOOL CALLBACK CollectControl(HWND hwnd, LPARAM param)
{
    ControlSearch *search = reinterpret_cast<ControlSearch *>(param);
    ControlInfo control;
    control.hwnd = hwnd;
    control.id = GetDlgCtrlID(hwnd);
    control.class_name = ClassName(hwnd);
    control.text = WindowText(hwnd);
    control.style = (DWORD)GetWindowLongA(hwnd, GWL_STYLE);
    control.visible = (control.style & WS_VISIBLE) != 0;
    control.enabled = IsWindowEnabled(hwnd) != FALSE;
    GetWindowRect(hwnd, &control.rect);
    MapWindowPoints(nullptr, search->top, reinterpret_cast<POINT *>(&control.rect), 2);
    search->found.push_back(control);
    return TRUE;
}

WindowInfo Describe(HWND top)
{
    WindowInfo info;
    info.hwnd = top;
    info.process_id = 0;
    GetWindowThreadProcessId(top, &info.process_id);
    info.caption = WindowText(top);
    info.class_name = ClassName(top);
    info.style = (DWORD)GetWindowLongA(top, GWL_STYLE);
    info.visible = IsWindowVisible(top) != FALSE;
    info.enabled = IsWindowEnabled(top) != FALSE;
    GetWindowRect(top, &info.rect);
    ControlSearch search = {top, {}};
    EnumChildWindows(top, CollectControl, reinterpret_cast<LPARAM>(&search));
    info.controls = std::move(search.found);
    return info;
}

//---------------------------------------------------------------- listing

std::string Printable(const std::string &text)
{
    std::string printable;
    for (unsigned char c : text) {
        if (c == '"' || c == '\\') {
            printable += '\\';
            printable += (char)c;
        } else if (c >= 0x20 && c < 0x7F) {
            printable += (char)c;
        } else {
            char escape[5];
            std::snprintf(escape, sizeof escape, "\\x%02X", c);
            printable += escape;
        }
    }
    return printable;
}

// Dialog ids are 16 bits; -1 (IDC_STATIC) reads back as 0xFFFF. Large ids
// read best in hexadecimal.
static std::string FormatId(int id)
{
    char text[16];
    if (id >= 0 && id < 0x8000)
        std::snprintf(text, sizeof text, "%d", id);
    else
        std::snprintf(text, sizeof text, "0x%X", (unsigned)id);
    return text;
}

static std::string FormatDetails(DWORD style, bool visible, bool enabled, const RECT &rect)
{
    char text[128];
    std::snprintf(text, sizeof text, "  style 0x%08lX %s %s at (%ld,%ld) %ldx%ld",
                  (unsigned long)style, visible ? "visible" : "hidden",
                  enabled ? "enabled" : "disabled", rect.left, rect.top,
                  rect.right - rect.left, rect.bottom - rect.top);
    return text;
}

std::string FormatWindow(const WindowInfo &info, bool details)
{
    std::string text = "window " + HexHandle(info.hwnd) + " \"" + Printable(info.caption) +
                       "\" [" + Printable(info.class_name) + "] pid " +
                       std::to_string(info.process_id);
    if (details)
        text += FormatDetails(info.style, info.visible, info.enabled, info.rect);
    text += '\n';
    for (const ControlInfo &control : info.controls) {
        char columns[64];
        std::snprintf(columns, sizeof columns, "  id %-6s %-10s ", FormatId(control.id).c_str(),
                      Printable(control.class_name).c_str());
        text += columns;
        text += "\"" + Printable(control.text) + "\"";
        if (details)
            text += FormatDetails(control.style, control.visible, control.enabled, control.rect);
        else if (!control.enabled)
            text += "  (disabled)";
        text += '\n';
    }
    return text;
}

//---------------------------------------------------------------- finding

std::string StripAccelerators(const std::string &text)
{
    std::string stripped;
    for (size_t i = 0; i < text.size(); i++) {
        if (text[i] == '&') {
            if (i + 1 < text.size() && text[i + 1] == '&') {
                stripped += '&';
                i++;
            }
            continue;
        }
        stripped += text[i];
    }
    return stripped;
}

static bool TextsMatch(const std::string &actual, const std::string &wanted, TextMatch match)
{
    if (match == TextMatch::Exact)
        return actual == wanted;
    return StripAccelerators(actual) == StripAccelerators(wanted);
}

HWND FindControl(HWND top, int id)
{
    for (const ControlInfo &control : Describe(top).controls)
        if (control.id == id)
            return control.hwnd;
    RecordFailure("FindControl: no control with id " + FormatId(id) + " in\n" +
                  FormatWindow(Describe(top)));
    return nullptr;
}

HWND FindControl(HWND top, const std::string &class_name, const std::string &text,
                 TextMatch match)
{
    for (const ControlInfo &control : Describe(top).controls)
        if (lstrcmpiA(control.class_name.c_str(), class_name.c_str()) == 0 &&
            TextsMatch(control.text, text, match))
            return control.hwnd;
    RecordFailure("FindControl: no " + class_name + " \"" + Printable(text) + "\" in\n" +
                  FormatWindow(Describe(top)));
    return nullptr;
}

HWND FindButton(HWND top, const std::string &label, TextMatch match)
{
    return FindControl(top, "Button", label, match);
}

std::string MessageBoxText(HWND box)
{
    WindowInfo info = Describe(box);
    for (const ControlInfo &control : info.controls)
        if (control.id == 0xFFFF && lstrcmpiA(control.class_name.c_str(), "Static") == 0)
            return control.text;
    for (const ControlInfo &control : info.controls)
        if (lstrcmpiA(control.class_name.c_str(), "Static") == 0 && !control.text.empty() &&
            (control.style & SS_TYPEMASK) != SS_ICON)
            return control.text;
    RecordFailure("MessageBoxText: no text in\n" + FormatWindow(info));
    return "";
}

HWND FocusedControl(HWND top)
{
    GUITHREADINFO thread_info = {};
    thread_info.cbSize = sizeof thread_info;
    if (!GetGUIThreadInfo(GetWindowThreadProcessId(top, nullptr), &thread_info))
        return nullptr;
    return thread_info.hwndFocus;
}

}  // namespace uiauto
