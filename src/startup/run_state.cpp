#include "startup/run_state.h"

#include "portable/message_buffers.h"
#include "portable/message_table_layout.h"

const uint16_t BufferSizes[BUFFER_SIZE_COUNT] = {
    257,   // DialogText
    FORMAT_BUFFER_BYTES,  // FormatBuffer
    MESSAGE_TABLE_BYTES,  // MessageTable
    257,   // RunCommand
    257,   // RunParameters
    516,   // AboutText
    514,   // IntroText
    65,    // Title
    512,   // InfoText
};

char *DialogText;
char *Title;
char *RunCommand;
char *RunParameters;
char *InfoText;
char *AboutText;
char *FormatBuffer;
char *IntroText;
char *MessageTable;
char OwnPath[PATH_BUFFER_BYTES];

HINSTANCE AppInstance;
HWND MainWindow;
HICON AppIcon;
HCURSOR BusyCursor;
HCURSOR ArrowCursor;
int AutoFlag;
int WaitFlag;
int CommandFailed;
DWORD WindowsVersion;

void ResetRunState()
{
    DialogText = Title = RunCommand = RunParameters = nullptr;
    InfoText = AboutText = FormatBuffer = IntroText = MessageTable = nullptr;
    OwnPath[0] = '\0';
    AppInstance = nullptr;
    MainWindow = nullptr;
    AppIcon = nullptr;
    BusyCursor = ArrowCursor = nullptr;
    AutoFlag = WaitFlag = CommandFailed = 0;
    WindowsVersion = 0;
}

char *AllocateLockedBlock(size_t size_bytes)
{
    HGLOBAL handle = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, size_bytes);
    if (!handle)
        return nullptr;
    char *block = static_cast<char *>(GlobalLock(handle));
    if (!block)
        GlobalFree(handle);
    return block;
}

void FreeLockedBlock(void *block)
{
    if (!block)
        return;
    HGLOBAL handle = GlobalHandle(block);
    GlobalUnlock(handle);
    GlobalFree(handle);
}

int AllocateRunBuffers()
{
    // Allocation order is the program's: DialogText, Title, RunCommand,
    // RunParameters, InfoText, AboutText, FormatBuffer.
    struct { char **buffer; BufferSizeIndex size; } const order[] = {
        {&DialogText, SIZE_DIALOG_TEXT},   {&Title, SIZE_TITLE},
        {&RunCommand, SIZE_RUN_COMMAND},   {&RunParameters, SIZE_RUN_PARAMETERS},
        {&InfoText, SIZE_INFO_TEXT},       {&AboutText, SIZE_ABOUT_TEXT},
        {&FormatBuffer, SIZE_FORMAT_BUFFER},
    };
    for (const auto &entry : order) {
        *entry.buffer = AllocateLockedBlock(BufferSizes[entry.size]);
        if (!*entry.buffer)
            return 1;
    }
    return 0;
}

void ReleaseRunBuffers()
{
    char **const buffers[] = {&DialogText, &Title, &RunCommand, &RunParameters,
                              &InfoText, &AboutText, &FormatBuffer, &MessageTable};
    for (char **buffer : buffers) {
        FreeLockedBlock(*buffer);
        *buffer = nullptr;
    }
}
