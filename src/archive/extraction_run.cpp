// The extraction run (see extraction_run.h). The run saves its own abort
// point: any failure of the member Parts below jumps back here with its code,
// and the one resource the run itself owns across that jump, the output
// file, is closed here. The caller's abort point is put back on the way out.
#include "archive/extraction_run.h"

#include <windows.h>

#include "archive/directory_walk.h"
#include "archive/disk_volume.h"
#include "archive/output_path.h"
#include "extract/crypt/member_input.h"
#include "extract/extract_member.h"
#include "extract/inflate/stream_buffers.h"
#include "extract/lzma/lzma_decoder.h"
#include "extract/output_writer.h"
#include "portable/parameter_block.h"
#include "startup/abort.h"
#include "startup/error_abort.h"
#include "startup/message_table.h"
#include "startup/own_file.h"
#include "startup/parameter_block_data.h"
#include "startup/run_state.h"

int RunActive;

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
        ReleaseLzmaBuffers();  // a member abandoned inside its stream
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
