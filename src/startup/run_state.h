// Run-wide state of the program: the text buffers and handles that live from
// start-up to teardown. Declared here once, defined in run_state.cpp.
//
// The text buffers are zero-filled GlobalAlloc blocks locked for the whole run;
// every copy into one of them is bounded by its constant in BufferSizes.
#pragma once

#include <windows.h>
#include <cstdint>

// Sizes of the run-wide buffers, in bytes, in the order the program keeps them.
enum BufferSizeIndex {
    SIZE_DIALOG_TEXT,
    SIZE_FORMAT_BUFFER,
    SIZE_MESSAGE_TABLE,
    SIZE_RUN_COMMAND,
    SIZE_RUN_PARAMETERS,
    SIZE_ABOUT_TEXT,
    SIZE_INTRO_TEXT,
    SIZE_TITLE,
    SIZE_INFO_TEXT,
    BUFFER_SIZE_COUNT
};
extern const uint16_t BufferSizes[BUFFER_SIZE_COUNT];

constexpr int PATH_BUFFER_BYTES = 261;   // MAX_PATH plus its NUL
constexpr int MODULE_NAME_BYTES = 512;   // start-up's scratch copy of the module name
static_assert(PATH_BUFFER_BYTES == MAX_PATH + 1, "paths are MAX_PATH bytes and a NUL");

extern char *DialogText;     // main dialog's message text (header)
extern char *Title;          // author's caption text (header)
extern char *RunCommand;     // command run after extraction (header)
extern char *RunParameters;  // its parameters (header)
extern char *InfoText;       // text of the "-info" box (header)
extern char *AboutText;      // author's about text (header)
extern char *FormatBuffer;   // scratch for messages with placeholders
extern char *IntroText;      // intro question (header), LocalAlloc'd, or nullptr
extern char *MessageTable;   // unpacked message table, or nullptr
extern char OwnPath[PATH_BUFFER_BYTES];  // full path of the program's own file

extern HINSTANCE AppInstance;  // instance handle given to WinMain
extern HWND MainWindow;        // main dialog, owner of every box; nullptr before it exists
extern HICON AppIcon;          // the program's icon, group 1
extern HCURSOR BusyCursor;     // IDC_WAIT, shown during an extraction run
extern HCURSOR ArrowCursor;    // IDC_ARROW, shown after it
extern int AutoFlag;           // start extraction without the user's click
extern int WaitFlag;           // after the command, wait for the user's "done"
extern int CommandFailed;      // the command did not start (or none): the temporary files stay
extern DWORD WindowsVersion;   // GetVersion() as taken at start-up

// Sets every field above to its empty value (no memory is released).
void ResetRunState();

// Allocates the seven text buffers of start-up in the program's order. Returns
// 0 on success, 1 when one could not be had (those allocated stay allocated).
[[nodiscard]] int AllocateRunBuffers();

// Releases the text buffers that exist and clears their pointers.
void ReleaseRunBuffers();

// A zero-filled, locked GlobalAlloc block of size_bytes, or nullptr.
char *AllocateLockedBlock(size_t size_bytes);

// Unlocks and frees a block from AllocateLockedBlock; nullptr is ignored.
void FreeLockedBlock(void *block);
