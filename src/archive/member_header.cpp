// Member headers (see member_header.h). Each fixed part is read with one
// _lread; names are read into MemberPath; extra fields, comments and data
// that are not extracted are stepped over with a seek, never read.
#include "archive/member_header.h"

#include <windows.h>

#include "archive/disk_volume.h"
#include "archive/member_record.h"
#include "archive/output_path.h"
#include "archive/read_error_codes.h"
#include "archive/zip_records.h"
#include "extract/aes/ae_format.h"
#include "extract/aes/ae_member.h"
#include "extract/crypt/member_input.h"
#include "extract/extract_member.h"
#include "extract/inflate/stream_buffers.h"
#include "portable/byte_order.h"
#include "startup/byte_helpers.h"
#include "startup/error_abort.h"
#include "startup/internal_error.h"
#include "startup/internal_error_places.h"
#include "startup/message_table.h"
#include "startup/own_file.h"

CurrentMemberFields CurrentMember;
char MemberPath[PATH_BUFFER_BYTES];

// The fixed parts after their signatures.
constexpr size_t LOCAL_FIXED_BYTES = LOCAL_HEADER_BYTES - ZIP_SIGNATURE_BYTES;    // 26
constexpr size_t CENTRAL_FIXED_BYTES = CENTRAL_HEADER_BYTES - ZIP_SIGNATURE_BYTES;  // 42
constexpr size_t END_FIXED_BYTES = END_RECORD_BYTES - ZIP_SIGNATURE_BYTES;  // 18
static_assert(LOCAL_FIXED_BYTES == 26 && CENTRAL_FIXED_BYTES == 42 && END_FIXED_BYTES == 18,
              "fixed parts as the records define them");


static void ReadFixed(uint8_t *buffer, size_t count_bytes, int read_error)
{
    if (_lread(ArchiveFile, buffer, static_cast<UINT>(count_bytes)) != count_bytes)
        ReportReadError(read_error);
}

// Steps forward only: a member size of 2 GiB or more is negative as a LONG,
// and a step back would send the walk over records it has already met, as
// often as the archive likes. Such a step stays where it is; the next
// signature is then read from the member's data and refused.
static void SkipBytes(LONG count_bytes)
{
    if (count_bytes > 0)
        _llseek(ArchiveFile, count_bytes, FILE_CURRENT);
}

// Reads a name of name_bytes into MemberPath; over the limit ends the run
// with StringId 61 before anything is read.
static void ReadName(uint32_t name_bytes)
{
    if (name_bytes > ZIP_NAME_MAX_BYTES)
        ErrorAbort(Message(MSG_NAME_TOO_LONG));
    if (_lread(ArchiveFile, MemberPath, name_bytes) != name_bytes)
        ReportReadError(READ_ERROR_NAME);
    MemberPath[name_bytes] = '\0';
}

// The AE field (0x9901) of a method-99 member: version 1 or 2, vendor "AE",
// strength 1..3, then the real method, which takes the method's place. A
// member without a valid one keeps method 99 and is refused as unsupported.
static void TakeAesField(const uint8_t *field)
{
    const uint16_t version = ReadLe16(field);
    if ((version != AE_VERSION_1 && version != AE_VERSION_2) || field[2] != 'A' || field[3] != 'E' ||
        AeKeyBytes(field[4]) == 0 || CurrentMember.AesStrength != 0)
        return;
    CurrentMember.AesVersion = version;
    CurrentMember.AesStrength = field[4];
    CurrentMember.Method = ReadLe16(field + 5);
    MemberRecord.aes_method = CurrentMember.Method;
}

// Other members' extra fields are stepped over unread; a method-99 member's
// is walked block by block for its AE field, each block with one _lread.
static void ReadExtraField(uint32_t extra_bytes)
{
    if (CurrentMember.Method != ZIP_METHOD_AES) {
        SkipBytes(static_cast<LONG>(extra_bytes));
        return;
    }
    while (extra_bytes >= 4) {
        uint8_t block[4];
        ReadFixed(block, sizeof block, READ_ERROR_EXTRA_FIELD);
        extra_bytes -= 4;
        uint32_t block_bytes = ReadLe16(block + 2);
        if (block_bytes > extra_bytes)
            block_bytes = extra_bytes;
        if (ReadLe16(block) == AE_EXTRA_ID && block_bytes == AE_EXTRA_DATA_BYTES) {
            uint8_t field[AE_EXTRA_DATA_BYTES];
            ReadFixed(field, sizeof field, READ_ERROR_EXTRA_FIELD);
            TakeAesField(field);
        } else {
            SkipBytes(static_cast<LONG>(block_bytes));
        }
        extra_bytes -= block_bytes;
    }
    SkipBytes(static_cast<LONG>(extra_bytes));
}

static void DecodeLocalHeader(const uint8_t *fixed)
{
    // Offsets in the record count its signature; the fixed part starts after it.
    const uint8_t *record = fixed - ZIP_SIGNATURE_BYTES;
    CurrentMember.VersionLow = record[LH_VERSION_NEEDED];
    CurrentMember.VersionHigh = record[LH_VERSION_NEEDED + 1];
    CurrentMember.Flags = ReadLe16(record + LH_FLAGS);
    CurrentMember.Method = ReadLe16(record + LH_METHOD);
    CurrentMember.Time = ReadLe16(record + LH_TIME);
    CurrentMember.Date = ReadLe16(record + LH_DATE);
    CurrentMember.Crc = ReadLe32(record + LH_CRC);
    CurrentMember.CompressedBytes = ReadLe32(record + LH_COMPRESSED_SIZE);
    CurrentMember.UncompressedBytes = ReadLe32(record + LH_UNCOMPRESSED_SIZE);
    CurrentMember.NameBytes = ReadLe16(record + LH_NAME_LENGTH);
    CurrentMember.ExtraBytes = ReadLe16(record + LH_EXTRA_LENGTH);
    CurrentMember.DescriptorFollows = (CurrentMember.Flags & ZIP_FLAG_DESCRIPTOR) ? 1 : 0;
    CurrentMember.AesStrength = 0;
    CurrentMember.AesVersion = 0;

    ResetMemberRecord((CurrentMember.Flags & ZIP_FLAG_ENCRYPTED) != 0);
    MemberRecord.compressed_bytes = CurrentMember.CompressedBytes;
    MemberRecord.uncompressed_bytes = CurrentMember.UncompressedBytes;
    MemberRecord.crc32 = CurrentMember.Crc;
    // Signed, like every offset: a size of 2 GiB or more reads nothing.
    BeginMemberInput(static_cast<int32_t>(CurrentMember.CompressedBytes));
}

// Reads a local header's fixed part. On a spanned archive a file that ends
// first sends the read to the start of the next disk's file; the bytes read
// here are not joined to those, so a header is never split between disks.
static void ReadLocalFixed(uint8_t *fixed)
{
    if (!SpannedFlag) {
        ReadFixed(fixed, LOCAL_FIXED_BYTES, READ_ERROR_LOCAL_HEADER);
        return;
    }
    if (_lread(ArchiveFile, fixed, LOCAL_FIXED_BYTES) == LOCAL_FIXED_BYTES)
        return;
    OpenDisk(static_cast<uint16_t>(CurrentDisk + 1), VolumeNaming());
    ReadFixed(fixed, LOCAL_FIXED_BYTES, READ_ERROR_LOCAL_HEADER_NEXT_DISK);
}

// Steps over what the member input has not read of the current member's
// data: all of it for a member not extracted, what follows the end of a
// deflate stream for one that was. From disk to disk on a spanned archive.
static void SkipMemberData()
{
    DropBufferedInput();
    if (!SpannedFlag) {
        SkipBytes(InputRemaining);
        return;
    }
    while (SkipSpannedData() != 0) {
    }
}

static void CopyNameToOutputPath()
{
    if (CopyString(OutputPath, sizeof OutputPath, MemberPath))
        InternalError("sfxhead", PLACE_OUTPUT_PATH);
}

// A directory entry makes its folders whatever its method: only file data
// is ever decoded.
static void ProcessDirectoryEntry()
{
    CopyNameToOutputPath();
    CreateFolders(MemberKind::Directory);
    // An empty directory entry may still carry an empty deflate stream.
    if (CurrentMember.UncompressedBytes == 0 && static_cast<int32_t>(CurrentMember.CompressedBytes) > 0)
        SkipBytes(static_cast<LONG>(CurrentMember.CompressedBytes));
}

static void ProcessFileEntry()
{
    // An AES member without its AE field, or without the encryption bit that
    // goes with it, is refused rather than copied out as ciphertext.
    if (CurrentMember.Method == ZIP_METHOD_AES ||
        (CurrentMember.AesStrength && !(CurrentMember.Flags & ZIP_FLAG_ENCRYPTED)))
        ErrorAbort(Message(MSG_UNSUPPORTED_METHOD));
    CopyNameToOutputPath();
    BuildOutputPath();
    CreateFolders(MemberKind::File);
    if (DecideOverwrite() == OverwriteDecision::StepOver) {
        SkipMemberData();
        return;
    }
    if (CurrentMember.AesStrength)
        AcceptAesPassword();
    else if (CurrentMember.Flags & ZIP_FLAG_ENCRYPTED)
        AcceptMemberPassword();
    ExtractMember();
    // A deflate stream may end before the member's data does: the next
    // record begins where the compressed size says, not where the decoder
    // stopped.
    SkipMemberData();
}

void ProcessMember()
{
    uint8_t record[LOCAL_HEADER_BYTES];
    ReadLocalFixed(record + ZIP_SIGNATURE_BYTES);
    DecodeLocalHeader(record + ZIP_SIGNATURE_BYTES);
    ReadName(CurrentMember.NameBytes);
    ReadExtraField(CurrentMember.ExtraBytes);

    // Names that would write outside the target folder are refused before
    // anything is created for them.
    if (IsUnsafeMemberName(MemberPath, CurrentMember.NameBytes))
        ErrorAbortFormatted(PLACE_NAME_TEXT, PLACE_NAME_FULL, Message(MSG_CANNOT_CREATE_FILE), MemberPath);

    if (ClassifyMember(MemberPath) == MemberKind::Directory)
        ProcessDirectoryEntry();
    else
        ProcessFileEntry();
    if (CurrentMember.DescriptorFollows)
        SkipBytes(DATA_DESCRIPTOR_BYTES);
}

void SkipCentralEntry()
{
    uint8_t record[CENTRAL_HEADER_BYTES];
    ReadFixed(record + ZIP_SIGNATURE_BYTES, CENTRAL_FIXED_BYTES, READ_ERROR_CENTRAL_HEADER);
    ReadName(ReadLe16(record + CH_NAME_LENGTH));
    SkipBytes(static_cast<LONG>(ReadLe16(record + CH_EXTRA_LENGTH)) + ReadLe16(record + CH_COMMENT_LENGTH));
}

void SkipEndRecord()
{
    uint8_t record[END_RECORD_BYTES];
    ReadFixed(record + ZIP_SIGNATURE_BYTES, END_FIXED_BYTES, READ_ERROR_END_RECORD);
    SkipBytes(ReadLe16(record + ER_COMMENT_LENGTH));
}
