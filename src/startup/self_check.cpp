// The self-check reads the whole covered region in one read and checks it in
// one pass: about the size of the stub and the header, never the archive.
// The marker is searched with the bytes of the program's own block, so that
// no second copy of it exists in the file to be found first.
#include "startup/self_check.h"

#include <windows.h>

#include "extract/crc32.h"
#include "startup/byte_helpers.h"
#include "startup/error_abort.h"
#include "startup/message_table.h"
#include "startup/own_file.h"
#include "startup/parameter_block_data.h"
#include "startup/run_state.h"

// The stub's own PE form: its NT headers' size, which the sign-friendly
// self-check skips, and the machine its PE check accepts. The 64-bit stub
// is a PE32+ image for x86-64; nothing else differs between the two.
#ifdef _WIN64
constexpr uint32_t OWN_NT_HEADERS_BYTES = PE32PLUS_NT_HEADERS_BYTES;
constexpr uint16_t OWN_MACHINE = PE_MACHINE_AMD64;
#else
constexpr uint32_t OWN_NT_HEADERS_BYTES = PE32_NT_HEADERS_BYTES;
constexpr uint16_t OWN_MACHINE = PE_MACHINE_I386;
#endif
static_assert(OWN_NT_HEADERS_BYTES == sizeof(IMAGE_NT_HEADERS), "the NT headers as this build's compiler sees them");

// First start position of the marker in region, or -1.
static int32_t FindMarker(const uint8_t *region, uint32_t region_bytes)
{
    const uint8_t *marker = ParameterBlock + PB_MARKER;
    if (region_bytes < PARAMETER_MARKER_BYTES)
        return -1;
    for (uint32_t start = 0; start <= region_bytes - PARAMETER_MARKER_BYTES; start++)
        if (region[start] == marker[0] && !CompareBytes(region + start, marker, PARAMETER_MARKER_BYTES))
            return static_cast<int32_t>(start);
    return -1;
}

void SelfCheck(uint32_t region_bytes, uint32_t expected_crc)
{
    // Offsets are signed 32-bit values throughout; a region past 2 GiB is
    // as corrupt as a missing one.
    if (region_bytes == 0 || region_bytes > 0x7FFFFFFFu)
        HeaderCorruptAbort();
    uint8_t *region = reinterpret_cast<uint8_t *>(AllocateLockedBlock(region_bytes));
    if (!region)
        HeaderCorruptAbort();
    if (_llseek(ArchiveFile, 0, FILE_BEGIN) != 0 ||
        _lread(ArchiveFile, region, region_bytes) != region_bytes)
        HeaderCorruptAbort();

    int32_t marker = FindMarker(region, region_bytes);
    if (marker < 0 || static_cast<uint32_t>(marker) + PB_CRC + 4 > region_bytes)
        HeaderCorruptAbort();
    FillBytes(region + marker + PB_CRC, 0, 4);

    uint32_t start = 0;
    if (ParameterFlags() & FLAG_SIGN_FRIENDLY) {
        if (region_bytes < DOS_E_LFANEW + 4)
            HeaderCorruptAbort();
        start = ReadLe32(region + DOS_E_LFANEW) + OWN_NT_HEADERS_BYTES;
        if (start > region_bytes)
            HeaderCorruptAbort();
    }
    RunningCrc = CRC32_INITIAL;
    UpdateCrc(region + start, region_bytes - start);
    if (~RunningCrc != expected_crc)
        HeaderCorruptAbort();
    FreeLockedBlock(region);
}

bool PeCheck()
{
    uint8_t *headers = reinterpret_cast<uint8_t *>(AllocateLockedBlock(OWN_NT_HEADERS_BYTES));
    if (!headers)
        return false;
    HFILE file = _lopen(OwnPath, OF_SHARE_DENY_NONE);
    if (file == HFILE_ERROR) {
        FreeLockedBlock(headers);
        return false;
    }
    bool matches = false;
    uint8_t dos_header[64];
    if (_lread(file, dos_header, sizeof dos_header) == sizeof dos_header) {
        LONG nt_headers = static_cast<LONG>(ReadLe32(dos_header + DOS_E_LFANEW));
        if (_llseek(file, nt_headers, FILE_BEGIN) == nt_headers &&
            _lread(file, headers, OWN_NT_HEADERS_BYTES) == OWN_NT_HEADERS_BYTES)
            matches = ReadLe16(headers + PE_MACHINE) == OWN_MACHINE &&
                      ReadLe32(headers + PE_ENTRY_POINT) == ParameterField32(PB_ENTRY_POINT);
    }
    _lclose(file);
    FreeLockedBlock(headers);
    return matches;
}

void EndRecordCheck()
{
    LONG offset = static_cast<LONG>(ParameterField32(PB_END_RECORD));
    uint8_t signature[4];
    if (_llseek(ArchiveFile, offset, FILE_BEGIN) != offset ||
        _lread(ArchiveFile, signature, sizeof signature) != sizeof signature ||
        (CompareBytes(signature, SignatureEndRecord, 4) &&
         CompareBytes(signature, SignatureDigital, 4)))
        ErrorAbort(Message(MSG_DAMAGED_ARCHIVE));
}
