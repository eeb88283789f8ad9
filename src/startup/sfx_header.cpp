// The header's eight fields follow each other, each ended by its NUL. The
// unpacked area keeps a few zero bytes past the decoder's bound, so that the
// walk over the fields always meets a NUL, even in a header with none.
#include "startup/sfx_header.h"

#include <windows.h>

#include "extract/inflate/inflate.h"
#include "startup/byte_helpers.h"
#include "startup/error_abort.h"
#include "startup/internal_error.h"
#include "startup/internal_error_places.h"
#include "startup/own_file.h"
#include "startup/parameter_block_data.h"
#include "startup/run_state.h"
#include "portable/sfx_header_layout.h"

constexpr uint32_t UNPACKED_AREA_BYTES = HEADER_UNPACKED_MAX_BYTES + HEADER_FIELD_COUNT;

// Copies the field at *next into destination (bound with its NUL) and moves
// *next past the field's NUL; a field over its bound is an internal error.
static void TakeField(const char **next, char *destination, size_t bound, InternalErrorPlace failure_place)
{
    if (CopyString(destination, bound, *next))
        InternalError("sfxhead", failure_place);
    *next += lstrlenA(*next) + 1;
}

static void SplitFields(const char *unpacked)
{
    char reserved[100];
    const char *next = unpacked;
    TakeField(&next, AboutText, HeaderFieldBounds[HEADER_ABOUT_TEXT], PLACE_HEADER_ABOUT_TEXT);
    TakeField(&next, RunCommand, HeaderFieldBounds[HEADER_RUN_COMMAND], PLACE_HEADER_RUN_COMMAND);
    TakeField(&next, RunParameters, HeaderFieldBounds[HEADER_RUN_PARAMETERS], PLACE_HEADER_RUN_PARAMETERS);
    TakeField(&next, reserved, sizeof reserved, PLACE_HEADER_RESERVED);
    TakeField(&next, DialogText, HeaderFieldBounds[HEADER_DIALOG_TEXT], PLACE_HEADER_DIALOG_TEXT);
    if (ParameterFlags() & FLAG_HAS_TITLE)
        TakeField(&next, Title, HeaderFieldBounds[HEADER_TITLE], PLACE_HEADER_TITLE);
    else
        next++;  // a header without a title carries one empty field
    if (*next) {
        IntroText = static_cast<char *>(LocalAlloc(LMEM_ZEROINIT, BufferSizes[SIZE_INTRO_TEXT]));
        if (!IntroText)
            HeaderCorruptAbort();
        TakeField(&next, IntroText, HeaderFieldBounds[HEADER_INTRO_TEXT], PLACE_HEADER_INTRO_TEXT);
    } else {
        next++;
    }
    TakeField(&next, InfoText, HeaderFieldBounds[HEADER_INFO_TEXT], PLACE_HEADER_INFO_TEXT);
}

static void AppendArgv0()
{
    char module_name[MODULE_NAME_BYTES];
    if (!GetModuleFileNameA(nullptr, module_name, sizeof module_name))
        return;
    if (AppendString(RunParameters, BufferSizes[SIZE_RUN_PARAMETERS], ARGV0_SWITCH))
        InternalError("sfxhead", PLACE_ARGV0_SWITCH);
    if (AppendString(RunParameters, BufferSizes[SIZE_RUN_PARAMETERS], module_name))
        InternalError("sfxhead", PLACE_ARGV0_PATH);
}

void ReadHeader()
{
    const LONG header_offset = static_cast<LONG>(ParameterField32(PB_HEADER));
    if (header_offset == 0)
        return;
    const LONG compressed_bytes = static_cast<LONG>(ParameterField32(PB_FIRST_LOCAL_HEADER)) - header_offset;
    if (compressed_bytes <= 0 || compressed_bytes > static_cast<LONG>(HEADER_COMPRESSED_MAX_BYTES))
        HeaderCorruptAbort();

    uint8_t *compressed = static_cast<uint8_t *>(LocalAlloc(LMEM_ZEROINIT, HEADER_COMPRESSED_MAX_BYTES));
    uint8_t *unpacked = static_cast<uint8_t *>(LocalAlloc(LMEM_ZEROINIT, UNPACKED_AREA_BYTES));
    if (!compressed || !unpacked)
        HeaderCorruptAbort();
    if (_llseek(ArchiveFile, header_offset, FILE_BEGIN) != header_offset ||
        _lread(ArchiveFile, compressed, compressed_bytes) != static_cast<UINT>(compressed_bytes))
        HeaderCorruptAbort();
    if (DecodeBlob(compressed, compressed_bytes, unpacked, HEADER_UNPACKED_MAX_BYTES) != BlobResult::Decoded)
        HeaderCorruptAbort();

    SplitFields(reinterpret_cast<const char *>(unpacked));
    LocalFree(compressed);
    LocalFree(unpacked);

    AppIcon = LoadIconA(AppInstance, MAKEINTRESOURCEA(1));
    if (ParameterFlags() & FLAG_ARGV0)
        AppendArgv0();
}
