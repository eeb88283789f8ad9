// Output writing, progress and cancellation (see output_writer.h). The last,
// partial chunk of each member is written by ExtractMember itself and is not
// counted in BytesWritten: progress counts bytes of full chunks only.
#include "extract/output_writer.h"

#include "extract/crc32.h"
#include "extract/extract_member.h"
#include "extract/inflate/stream_buffers.h"
#include "fixed_texts.h"
#include "portable/parameter_block.h"
#include "startup/abort.h"
#include "startup/error_abort.h"
#include "startup/internal_error_places.h"
#include "startup/exit_code.h"
#include "startup/message_box.h"
#include "startup/message_table.h"
#include "startup/parameter_block_data.h"
#include "startup/run_state.h"
#include "ui/main_dialog.h"
#include "ui/meter/meter.h"

uint32_t BytesWritten;
uint32_t LastProgressMark;
int MeterInUse;

constexpr uint32_t PROGRESS_STEP_BYTES = 0x10000;

void ResetProgress()
{
    BytesWritten = 0;
    LastProgressMark = 0;
}

uint32_t ProgressPercent(uint32_t bytes_written, uint32_t total_bytes)
{
    if (total_bytes == 0)
        return 0;
    if (total_bytes < 100)
        return bytes_written * 100 / total_bytes;
    return bytes_written / (total_bytes / 100);
}

void UpdateMeter()
{
    if (ParameterFlags() & FLAG_UNATTENDED)
        return;
    const uint32_t total_bytes = ParameterField32(PB_TOTAL_SIZE);
    if (MeterInUse && total_bytes != 0)
        SendDlgItemMessageA(MainWindow, ID_METER, METER_SETPOS,
                            static_cast<WORD>(ProgressPercent(BytesWritten, total_bytes)), 0);
    if (MainWindow) {
        InvalidateRect(GetDlgItem(MainWindow, ID_METER), nullptr, FALSE);
        UpdateWindow(MainWindow);
    }
}

// Counts a full chunk; the meter moves at most once per PROGRESS_STEP_BYTES.
static void AdvanceProgress()
{
    BytesWritten += Stream.OutputFill;
    if (BytesWritten < LastProgressMark + PROGRESS_STEP_BYTES)
        return;
    LastProgressMark = BytesWritten;
    UpdateMeter();
}

void WriteOutputChunk()
{
    UpdateCrc(Stream.OutputBuffer, Stream.OutputFill);
    CheckWrite(_lwrite(OutputFile, reinterpret_cast<LPCCH>(Stream.OutputBuffer), Stream.OutputFill));
}

void WriteOutputBuffer()
{
    if (Stream.MemoryOutput) {
        Stream.OutputFill = 0;
        return;
    }
    AdvanceProgress();
    WriteOutputChunk();
    Stream.OutputPointer = Stream.OutputBuffer;
    Stream.OutputFill = 0;
}

void CheckWrite(UINT written_bytes)
{
    if (written_bytes != static_cast<UINT>(HFILE_ERROR) && written_bytes == Stream.OutputFill) {
        if (PollCancel()) {
            NoteOutcome(EXIT_USER_CANCELLED);
            AbortRun(2);
        }
        return;
    }
    ErrorAbortFormatted(PLACE_WRITE_ERROR_TEXT, PLACE_WRITE_ERROR_FULL, Message(MSG_WRITE_ERROR), OutputPath);
}

// User input that may mean "stop": keys and clicks.
static bool IsUserInput(const MSG &message)
{
    switch (message.message) {
    case WM_KEYDOWN:
    case WM_VKEYTOITEM:
    case WM_NCLBUTTONDOWN:
    case WM_NCLBUTTONDBLCLK:
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
        return true;
    case WM_CHAR:
        return (message.lParam & 0x80000000) != 0;
    default:
        return false;
    }
}

bool ConfirmStopExtraction()
{
    // One question at a time: its box dispatches the Cancels that follow.
    static bool asking;
    if (asking)
        return CancelFlag != 0;
    asking = true;
    const bool yes = ShowMessage(MainWindow, Message(MSG_CANCEL_QUESTION),
                                 MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2) == IDYES;
    asking = false;
    return yes || CancelFlag;
}

// A handler that the dispatch reaches may stop the run too, through
// CancelFlag: a Cancel command that is not user input, or the end of the
// session (which a sent message brings inside PeekMessageA itself).
bool PollCancel()
{
    MSG message;
    while (!CancelFlag && PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        switch (message.message) {
        case WM_SETCURSOR:
        case WM_NCMOUSEMOVE:
        case WM_MOUSEMOVE:
            SetCursor(BusyCursor);
            continue;
        case WM_CHAR:
            if (!IsUserInput(message))
                continue;
            break;
        default:
            break;
        }
        if (IsUserInput(message)) {
            if (MainWindow && (message.hwnd == MainWindow || GetParent(message.hwnd) == MainWindow))
                return ConfirmStopExtraction();
            continue;
        }
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    return CancelFlag != 0;
}
