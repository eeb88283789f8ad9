// Member extraction (see extract_member.h).
#include "extract/extract_member.h"

#include "archive/member_header.h"
#include "archive/zip_records.h"
#include "extract/aes/ae_format.h"
#include "extract/aes/ae_member.h"
#include "extract/crc32.h"
#include "extract/dos_time.h"
#include "extract/inflate/inflate.h"
#include "extract/inflate/stream_buffers.h"
#include "extract/lzma/lzma_decoder.h"
#include "extract/output_writer.h"
#include "portable/message_buffers.h"
#include "portable/parameter_block.h"
#include "startup/byte_helpers.h"
#include "startup/error_abort.h"
#include "startup/internal_error.h"
#include "startup/internal_error_places.h"
#include "startup/message_table.h"
#include "startup/parameter_block_data.h"
#include "startup/path_helpers.h"
#include "ui/main_dialog.h"

char OutputPath[PATH_BUFFER_BYTES];
HFILE OutputFile;

void CloseOutputFile()
{
    if (OutputFile) {
        _lclose(OutputFile);
        OutputFile = 0;
    }
}

static void CreateOutputFile()
{
    if (CopyString(OutputPath, sizeof OutputPath, MemberPath))
        InternalError("sfxhead", PLACE_OUTPUT_PATH);
    OutputFile = _lcreat(OutputPath, 0);
    if (OutputFile == HFILE_ERROR) {
        OutputFile = 0;
        ErrorAbortFormatted(PLACE_CREATE_ERROR_TEXT, PLACE_CREATE_ERROR_FULL, Message(MSG_CANNOT_CREATE_FILE),
                            OutputPath);
    }
}

static void ShowStatusLine()
{
    char line[STATUS_LINE_BYTES];
    if (FormatString(line, sizeof line, Message(MSG_UNZIPPING), FileNamePart(OutputPath)))
        InternalError("sfxhead", PLACE_STATUS_LINE);
    if (!MeterInUse && !(ParameterFlags() & FLAG_UNATTENDED) && MainWindow) {
        SetDlgItemTextA(MainWindow, ID_STATUS, line);
        InvalidateRect(GetDlgItem(MainWindow, ID_STATUS), nullptr, FALSE);
    }
}

static void SetOutputFileTime()
{
    uint16_t date = CurrentMember.Date, time = CurrentMember.Time;
    ClampDosTime(&date, &time);
    SetFileTimes(reinterpret_cast<HANDLE>(static_cast<intptr_t>(OutputFile)), date, time);
}

// Stored data: every byte of the member's input, in runs as long as the
// input buffer and the output chunk allow, written a full chunk at a time.
static void CopyStored()
{
    while (uint32_t taken_bytes = TakeInputBytes(Stream.OutputPointer, IO_CHUNK_BYTES - Stream.OutputFill)) {
        Stream.OutputPointer += taken_bytes;
        Stream.OutputFill += taken_bytes;
        if (Stream.OutputFill == IO_CHUNK_BYTES)
            WriteOutputBuffer();
    }
}

// Steps over what an LZMA member holds after the end of its stream, so that
// the archive is left at the member's end. The deflate window, idle during
// an LZMA member, takes the bytes.
static void SkipUnusedInput()
{
    while (InputRemaining > 0 && TakeInputBytes(Stream.Window, WINDOW_BYTES) > 0) {
    }
}

uint32_t ExtractMember()
{
    RunningCrc = CRC32_INITIAL;
    Stream.OutputFill = 0;
    Stream.OutputPointer = Stream.OutputBuffer;
    CreateOutputFile();
    if (CurrentMember.CompressedBytes > 0) {
        switch (CurrentMember.Method) {
        case ZIP_METHOD_STORED:
            ShowStatusLine();
            CopyStored();
            break;
        case ZIP_METHOD_DEFLATE:
        case ZIP_METHOD_DEFLATE64:
            ShowStatusLine();
            // Damage shows as a CRC mismatch below.
            (void)InflateStream(CurrentMember.Method == ZIP_METHOD_DEFLATE64 ? 1 : 0);
            break;
        case ZIP_METHOD_LZMA:
            ShowStatusLine();
            // Damage shows as a CRC mismatch below; a header this decoder
            // does not take (properties, a dictionary over its limit) is an
            // unsupported method, with nothing written.
            if (DecodeLzmaMember(CurrentMember.UncompressedBytes,
                                 (CurrentMember.Flags & ZIP_FLAG_LZMA_END_MARKER) ? 1 : 0) == LzmaResult::Refused) {
                // Altered AES data says so before it is called unsupported.
                if (CurrentMember.AesStrength) {
                    CloseOutputFile();
                    FinishAesMember();
                }
                ErrorAbort(Message(MSG_UNSUPPORTED_METHOD));
            }
            SkipUnusedInput();
            break;
        default:
            ErrorAbort(Message(MSG_UNSUPPORTED_METHOD));
        }
    }
    if (Stream.OutputFill > 0)
        WriteOutputChunk();  // the last, partial chunk: not counted for progress
    SetOutputFileTime();
    CloseOutputFile();
    RunningCrc = ~RunningCrc;
    if (CurrentMember.AesStrength)
        FinishAesMember();
    // AE-2 stores no CRC (0): its authentication code stands for it.
    if (CurrentMember.AesVersion != AE_VERSION_2 && RunningCrc != CurrentMember.Crc)
        ErrorAbortFormatted(PLACE_CRC_ERROR_TEXT, PLACE_CRC_ERROR_FULL, Message(MSG_BAD_CRC), OutputPath,
                            static_cast<unsigned long>(RunningCrc), static_cast<unsigned long>(CurrentMember.Crc));
    return RunningCrc;
}
