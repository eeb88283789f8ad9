// The extraction run (see extraction_run.h). The run saves its own abort
// point: any failure of the member Parts below jumps back here with its code,
// and the one resource the run itself owns across that jump, the output
// file, is closed here. The caller's abort point is put back on the way out.
#include "archive/extraction_run.h"

#include <windows.h>

#include "archive/disk_volume.h"
#include "archive/member_header.h"
#include "archive/output_path.h"
#include "archive/read_error_codes.h"
#include "archive/zip_records.h"
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
    // "PK\x07\x08" between records: a spanning marker on a spanned archive,
    // where a disk's file may start with one; out of place in a single file.
    if (!CompareBytes(signature, SignatureDescriptor, 4))
        return SpannedFlag ? RecordKind::SpanningMarker : RecordKind::Unknown;
    if (!CompareBytes(signature, SignatureCentralHeader, 4))
        return RecordKind::CentralHeader;
    if (!CompareBytes(signature, SignatureEndRecord, 4) || !CompareBytes(signature, SignatureDigital, 4))
        return RecordKind::EndRecord;
    if (!CompareBytes(signature, SignatureSpanning, 4))
        return RecordKind::SpanningMarker;  // "PK00": stepped over
    return RecordKind::Unknown;
}

// Reads the next record's signature; on a spanned archive a file that ends
// first sends the read to the start of the next disk's file.
static void ReadSignature(char *signature)
{
    if (_lread(ArchiveFile, signature, ZIP_SIGNATURE_BYTES) == ZIP_SIGNATURE_BYTES)
        return;
    if (!SpannedFlag)
        ReportReadError(READ_ERROR_SIGNATURE);
    OpenDisk(static_cast<uint16_t>(CurrentDisk + 1), VolumeNaming());
    if (_lread(ArchiveFile, signature, ZIP_SIGNATURE_BYTES) != ZIP_SIGNATURE_BYTES)
        ReportReadError(READ_ERROR_SIGNATURE_NEXT_DISK);
}

// Reads records until the end record. A spanned archive ends at its first
// central header (its directory is of no use without the disks it names),
// and passes over what it does not know 4 bytes at a time, as a set whose
// disks end between records may put anything there.
static void WalkDirectory()
{
    for (;;) {
        char signature[ZIP_SIGNATURE_BYTES];
        ReadSignature(signature);
        switch (Classify(signature)) {
        case RecordKind::LocalHeader:
            ProcessMember();
            break;
        case RecordKind::CentralHeader:
            if (SpannedFlag)
                return;
            SkipCentralEntry();
            break;
        case RecordKind::EndRecord:
            SkipEndRecord();
            return;
        case RecordKind::SpanningMarker:
            break;
        case RecordKind::Unknown:
            if (!SpannedFlag)
                ErrorAbort(Message(MSG_BAD_ZIP_HEADER));
            break;
        }
    }
}

// Seeks ArchiveFile to the first local header; a seek that lands elsewhere
// ends the run with StringId 47.
static void SeekFirstLocalHeader()
{
    const LONG first = static_cast<LONG>(ParameterField32(PB_FIRST_LOCAL_HEADER));
    if (_llseek(ArchiveFile, first, FILE_BEGIN) != first)
        ErrorAbort(Message(MSG_IO_ERROR));
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
        if (SpannedFlag) {
            // Disk 1 holds the program itself (".EXE"), its archive after
            // the header, or only archive data from offset 0 (".ZIP").
            OpenDisk(1, VolumeNaming());
            if (ExeVolumeFlag)
                SeekFirstLocalHeader();
        } else {
            SeekFirstLocalHeader();
        }
        WalkDirectory();
    }
    SetCursor(ArrowCursor);
    RunActive = 0;
    AbortContext = outer;
    return result;
}
