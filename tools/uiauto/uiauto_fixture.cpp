// uiauto_fixture: a small GUI program for proving the uiauto helper and the
// uidriver command. One mode per run, chosen by the first argument:
//
//   msgbox         a Yes/No question box captioned "uiauto fixture"; its text
//                  is "Proceed?" or the variable UIAUTO_FIXTURE_TEXT; exits
//                  with the box's answer (IDYES 6, IDNO 7)
//   dialog FILE    the dialog "uiauto fixture dialog" built from an in-memory
//                  template (ids below); OK writes the edit control's text to
//                  FILE, byte for byte, and exits 1; Cancel exits 2
//   sleep          shows nothing and sleeps ten minutes: a hung program
//   exit N         shows nothing and exits with N at once
//
// Exit code 100 means the arguments made no sense.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

constexpr int IDC_NAME_LABEL = 100;  // static "&Name:"
constexpr int IDC_NAME_EDIT = 101;   // edit, starts as "draft"
constexpr int IDC_LATER = 102;       // button "&Later", always disabled
constexpr int USAGE_EXIT_CODE = 100;
constexpr DWORD SLEEP_MS = 10 * 60 * 1000;

static const char *output_path;  // dialog mode: where OK writes the text

//---------------------------------------------------------------- template

// Writes a DLGTEMPLATE and its items into WORDs: the layout that
// DialogBoxIndirectParam reads, with UTF-16 strings (ASCII here) and each
// item aligned on a DWORD.
struct TemplateWriter {
    std::vector<WORD> words;

    void Word(WORD value) { words.push_back(value); }
    void Dword(DWORD value)
    {
        Word(LOWORD(value));
        Word(HIWORD(value));
    }
    void Text(const char *text)
    {
        while (*text)
            Word((unsigned char)*text++);
        Word(0);
    }
    void AlignDword()
    {
        if (words.size() % 2)
            Word(0);
    }
    void Header(DWORD style, WORD item_count, short cx, short cy, const char *caption)
    {
        Dword(style | DS_SETFONT);
        Dword(0);  // extended style
        Word(item_count);
        Word(0);   // x
        Word(0);   // y
        Word(cx);
        Word(cy);
        Word(0);   // no menu
        Word(0);   // the dialog class
        Text(caption);
        Word(8);   // font size in points
        Text("MS Shell Dlg");
    }
    // class_atom: 0x0080 Button, 0x0081 Edit, 0x0082 Static.
    void Item(DWORD style, short x, short y, short cx, short cy, WORD id, WORD class_atom,
              const char *text)
    {
        AlignDword();
        Dword(style | WS_CHILD | WS_VISIBLE);
        Dword(0);  // extended style
        Word(x);
        Word(y);
        Word(cx);
        Word(cy);
        Word(id);
        Word(0xFFFF);
        Word(class_atom);
        Text(text);
        Word(0);   // no creation data
    }
};

static std::vector<WORD> NameDialogTemplate()
{
    TemplateWriter writer;
    writer.Header(DS_MODALFRAME | DS_CENTER | WS_POPUP | WS_CAPTION | WS_SYSMENU, 5, 200, 60,
                  "uiauto fixture dialog");
    writer.Item(SS_LEFT, 7, 9, 30, 8, IDC_NAME_LABEL, 0x0082, "&Name:");
    writer.Item(ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP, 40, 7, 150, 12, IDC_NAME_EDIT, 0x0081,
                "draft");
    writer.Item(BS_DEFPUSHBUTTON | WS_TABSTOP, 7, 38, 50, 14, IDOK, 0x0080, "&OK");
    writer.Item(BS_PUSHBUTTON | WS_TABSTOP, 62, 38, 50, 14, IDCANCEL, 0x0080, "&Cancel");
    writer.Item(BS_PUSHBUTTON | WS_TABSTOP | WS_DISABLED, 117, 38, 50, 14, IDC_LATER, 0x0080,
                "&Later");
    return writer.words;
}

//---------------------------------------------------------------- dialog

// Writes the edit control's text to output_path. 0: written; 1: failed.
static int SaveName(HWND dialog)
{
    char name[1024];
    int name_bytes = GetDlgItemTextA(dialog, IDC_NAME_EDIT, name, sizeof name);
    FILE *file = std::fopen(output_path, "wb");
    if (!file)
        return 1;
    size_t written_bytes = std::fwrite(name, 1, name_bytes, file);
    return (std::fclose(file) != 0 || written_bytes != (size_t)name_bytes) ? 1 : 0;
}

static INT_PTR OnCommand(HWND dialog, WORD id)
{
    switch (id) {
    case IDOK:
        EndDialog(dialog, SaveName(dialog) ? USAGE_EXIT_CODE : IDOK);
        return TRUE;
    case IDCANCEL:
        EndDialog(dialog, IDCANCEL);
        return TRUE;
    }
    return FALSE;
}

static INT_PTR CALLBACK NameDialogProc(HWND dialog, UINT message, WPARAM wparam, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG: return TRUE;  // focus to the first tab stop, the edit
    case WM_COMMAND: return OnCommand(dialog, LOWORD(wparam));
    }
    return FALSE;
}

//---------------------------------------------------------------- modes

static int RunMessageBox()
{
    const char *text = std::getenv("UIAUTO_FIXTURE_TEXT");
    return MessageBoxA(nullptr, text ? text : "Proceed?", "uiauto fixture",
                       MB_YESNO | MB_ICONQUESTION);
}

static int RunDialog(const char *path)
{
    output_path = path;
    std::vector<WORD> dialog_template = NameDialogTemplate();
    INT_PTR result = DialogBoxIndirectParamA(
        GetModuleHandleA(nullptr), reinterpret_cast<DLGTEMPLATE *>(dialog_template.data()),
        nullptr, NameDialogProc, 0);
    return result > 0 ? (int)result : USAGE_EXIT_CODE;
}

int main(int argc, char **argv)
{
    if (argc == 2 && std::strcmp(argv[1], "msgbox") == 0)
        return RunMessageBox();
    if (argc == 3 && std::strcmp(argv[1], "dialog") == 0)
        return RunDialog(argv[2]);
    if (argc == 2 && std::strcmp(argv[1], "sleep") == 0) {
        Sleep(SLEEP_MS);
        return 0;
    }
    if (argc == 3 && std::strcmp(argv[1], "exit") == 0)
        return std::atoi(argv[2]);
    return USAGE_EXIT_CODE;
}
