#include "startup/own_file.h"

#include "archive/disk_volume.h"
#include "archive/zip_records.h"
#include "extract/crc32.h"
#include "extract/inflate/stream_buffers.h"
#include "fixed_texts.h"
#include "startup/byte_helpers.h"
#include "startup/error_abort.h"
#include "startup/message_table.h"
#include "startup/parameter_block_data.h"
#include "startup/run_state.h"
#include "startup/self_check.h"
#include "startup/sfx_header.h"

HFILE ArchiveFile = HFILE_ERROR;
int SpannedFlag;
int ExeVolumeFlag;

char SignatureLocalHeader[5];
char SignatureCentralHeader[5];
char SignatureEndRecord[5];
char SignatureDigital[5];
char SignatureSpanning[5];
char SignatureDescriptor[5];

// The lead letter, the 3-byte tail and a NUL. The tails come from the zip
// record layouts; that they fit is proven here, so the copy cannot fail.
static_assert(1 + ZIP_SIGNATURE_TAIL_BYTES + 1 == sizeof SignatureLocalHeader,
              "a signature buffer holds the lead, the tail and a NUL");

static void AssembleSignature(char *signature, const uint8_t *tail)
{
    signature[0] = static_cast<char>(ZIP_SIGNATURE_LEAD);
    CopyBytes(signature + 1, tail, ZIP_SIGNATURE_TAIL_BYTES);
    signature[1 + ZIP_SIGNATURE_TAIL_BYTES] = '\0';
}

void AssembleSignatures()
{
    AssembleSignature(SignatureLocalHeader, ZIP_LOCAL_HEADER_TAIL);
    AssembleSignature(SignatureCentralHeader, ZIP_CENTRAL_HEADER_TAIL);
    AssembleSignature(SignatureEndRecord, ZIP_END_RECORD_TAIL);
    AssembleSignature(SignatureDigital, ZIP_DIGITAL_SIGNATURE_TAIL);
    AssembleSignature(SignatureSpanning, ZIP_SPANNING_MARK_TAIL);
    AssembleSignature(SignatureDescriptor, ZIP_DATA_DESCRIPTOR_TAIL);
}

// The decoder's work buffers, owned here: PrepareDecoder allocates them and
// lends them to the decoder, ReleaseOwnFile takes them back and frees them.
static uint8_t *WindowBlock;
static uint8_t *InputBlock;
static uint8_t *OutputBlock;

// The window and the input and output buffers, zero-filled; 0 when all exist.
// What was allocated is kept for ReleaseOwnFile either way.
static int AllocateWorkBuffers()
{
    WindowBlock = static_cast<uint8_t *>(LocalAlloc(LMEM_ZEROINIT, WINDOW_BYTES));
    InputBlock = static_cast<uint8_t *>(LocalAlloc(LMEM_ZEROINIT, IO_BUFFER_BYTES));
    OutputBlock = static_cast<uint8_t *>(LocalAlloc(LMEM_ZEROINIT, IO_BUFFER_BYTES));
    return WindowBlock && InputBlock && OutputBlock ? 0 : 1;
}

static void *AllocateTable(uint32_t size_bytes)
{
    return LocalAlloc(LMEM_ZEROINIT, size_bytes);
}

static void ReleaseTable(void *block)
{
    LocalFree(block);
}

[[noreturn]] static void TableMemoryExhausted()
{
    ErrorAbort(TEXT_NOT_ENOUGH_MEMORY);
}

static const TableMemoryHooks LOCAL_HEAP_TABLES = {AllocateTable, ReleaseTable, TableMemoryExhausted};

void PrepareDecoder()
{
    if (AllocateWorkBuffers())
        HeaderCorruptAbort();
    InitialiseStreams(LOCAL_HEAP_TABLES, WindowBlock, InputBlock, OutputBlock);
}

void ReadArchiveFlags()
{
    SpannedFlag = (ParameterFlags() & FLAG_SPANNED) != 0;
    ExeVolumeFlag = (ParameterFlags() & FLAG_EXE_VOLUMES) != 0;
}

void Initialise()
{
    AssembleSignatures();
    BuildCrcTable();
    ArchiveFile = _lopen(OwnPath, OF_SHARE_DENY_WRITE);
    if (ArchiveFile == HFILE_ERROR)
        HeaderCorruptAbort();
    uint32_t expected_crc = ParameterField32(PB_CRC);
    if (expected_crc != 0)
        SelfCheck(ParameterField32(PB_FIRST_LOCAL_HEADER), expected_crc);
    ReadArchiveFlags();
    PrepareDecoder();
    UnpackMessageTable();
    // A spanned archive's header is read from disk 1, which holds the
    // program itself: asked for here when another disk is in the drive.
    if (SpannedFlag)
        OpenDisk(1, DiskNaming::Exe);
    ReadHeader();
    if (!SpannedFlag && ParameterField32(PB_END_RECORD) != 0)
        EndRecordCheck();
}

void ReleaseOwnFile()
{
    DetachStreams();
    uint8_t **const buffers[] = {&WindowBlock, &InputBlock, &OutputBlock};
    for (uint8_t **buffer : buffers) {
        if (*buffer)
            LocalFree(*buffer);
        *buffer = nullptr;
    }
    if (ArchiveFile != HFILE_ERROR)
        _lclose(ArchiveFile);
    ArchiveFile = HFILE_ERROR;
}
