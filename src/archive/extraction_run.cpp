// The extraction run (see extraction_run.h). The run saves its own abort
// point: any failure of the member Parts below jumps back here with its code,
// and the one resource the run itself owns across that jump, the output
// file, is closed here. The caller's abort point is put back on the way out.
#include "archive/extraction_run.h"

#include <windows.h>

#include "archive/member_header.h"
#include "archive/output_path.h"
#include "archive/read_error_codes.h"
#include "extract/crypt/member_input.h"
#include "extract/extract_member.h"
#include "extract/inflate/stream_buffers.h"
#include "extract/output_writer.h"
#include "portable/parameter_block.h"
#include "startup/abort.h"
#include "startup/byte_helpers.h"
#include "startup/error_abort.h"
#include "startup/message_table.h"
#include "startup/own_file.h"
#include "startup/parameter_block_data.h"
#include "startup/run_state.h"

int RunActive;

enum class RecordKind { LocalHeader, CentralHeader, EndRecord, SpanningMarker, Unknown };

static RecordKind Classify(const char *signature)
{
    if (!CompareBytes(signature, SignatureLocalHeader, 4))
        return RecordKind::LocalHeader;
    if (!CompareBytes(signature, SignatureDescriptor, 4))
        return RecordKind::Unknown;  // "PK\x07\x08" between records of a single file: not where one belongs
    if (!CompareBytes(signature, SignatureCentralHeader, 4))
        return RecordKind::CentralHeader;
    if (!CompareBytes(signature, SignatureEndRecord, 4) || !CompareBytes(signature, SignatureDigital, 4))
        return RecordKind::EndRecord;
    if (!CompareBytes(signature, SignatureSpanning, 4))
        return RecordKind::SpanningMarker;  // "PK00": stepped over
    return RecordKind::Unknown;
}

// Reads records until the end record (single-file archives).
static void WalkDirectory()
{
    for (;;) {
        char signature[4];
        if (_lread(ArchiveFile, signature, sizeof signature) != sizeof signature)
            ReportReadError(READ_ERROR_SIGNATURE);
        switch (Classify(signature)) {
        case RecordKind::LocalHeader:
            ProcessMember();
            break;
        case RecordKind::CentralHeader:
            SkipCentralEntry();
            break;
        case RecordKind::EndRecord:
            SkipEndRecord();
            return;
        case RecordKind::SpanningMarker:
            break;
        case RecordKind::Unknown:
            ErrorAbort(Message(MSG_BAD_ZIP_HEADER));
        }
    }
}

int ExtractionRun()
{
    AbortPoint *outer = AbortContext;
    static AbortPoint run;
    int result = 0;
    RunActive = 1;
    if (SAVE_ABORT_CONTEXT(run)) {
        CloseOutputFile();
        result = AbortCode;
    } else {
        SetCursor(BusyCursor);
        ForgetKnownFolders();
        SetMemberIoHooks(RefillInput, WriteOutputBuffer);
        const LONG first = static_cast<LONG>(ParameterField32(PB_FIRST_LOCAL_HEADER));
        if (_llseek(ArchiveFile, first, FILE_BEGIN) != first)
            ErrorAbort(Message(MSG_IO_ERROR));
        WalkDirectory();
    }
    SetCursor(ArrowCursor);
    RunActive = 0;
    AbortContext = outer;
    return result;
}
