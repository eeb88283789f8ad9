// Member input and the password check (see member_input.h). The keys are set
// up by the check and run on through the member's data, refill by refill.
#include "extract/crypt/member_input.h"

#include <windows.h>

#include "archive/disk_volume.h"
#include "archive/member_header.h"
#include "archive/member_record.h"
#include "archive/read_error_codes.h"
#include "archive/zip_records.h"
#include "extract/aes/ae_member.h"
#include "extract/crypt/zip_cipher.h"
#include "extract/inflate/stream_buffers.h"
#include "startup/error_abort.h"
#include "startup/message_table.h"
#include "startup/own_file.h"

char *Password;

int32_t RefillInput()
{
    if (InputRemaining <= 0) {
        Stream.InputAvailable = 0;
        return 0;
    }
    const UINT wanted_bytes = InputRemaining < static_cast<int32_t>(IO_CHUNK_BYTES)
                                  ? static_cast<UINT>(InputRemaining)
                                  : IO_CHUNK_BYTES;
    UINT count = _lread(ArchiveFile, Stream.InputBuffer, wanted_bytes);
    // On a spanned archive a disk's file that ends first continues on the
    // next disk: what this one gave is the chunk, or, when it gave nothing,
    // whatever the next one gives (the next refill reads on from there).
    if (SpannedFlag && count != HFILE_ERROR && count != wanted_bytes) {
        OpenDisk(static_cast<uint16_t>(CurrentDisk + 1), VolumeNaming());
        if (count == 0)
            count = _lread(ArchiveFile, Stream.InputBuffer, wanted_bytes);
        if (count == 0)
            ReportReadError(READ_ERROR_MEMBER_DATA);
    }
    // A member whose data would end past the archive's end is a short read
    // here, never a read past the buffer.
    if (count == HFILE_ERROR || (!SpannedFlag && count != wanted_bytes))
        ReportReadError(READ_ERROR_MEMBER_DATA);
    Stream.InputCursor = Stream.InputBuffer;
    if (MemberRecord.flags & MEMBER_AES)
        DecryptAesInput(Stream.InputBuffer, count);
    else if (MemberRecord.flags & MEMBER_ENCRYPTED)
        DecryptBytes(Stream.InputBuffer, count);
    Stream.InputAvailable = static_cast<int32_t>(count) - 1;
    return static_cast<int32_t>(count);
}

void DropBufferedInput()
{
    // A refill never reads past InputRemaining, so what the buffer holds is
    // counted in it.
    if (Stream.InputAvailable > 0)
        InputRemaining -= Stream.InputAvailable;
    Stream.InputAvailable = 0;
}

int CheckMemberPassword()
{
    if (!Password)
        return 1;
    uint8_t header[ZIP_ENCRYPTION_HEADER_BYTES];
    if (_lread(ArchiveFile, header, sizeof header) != sizeof header)
        ReportReadError(READ_ERROR_ENCRYPTION_HEADER);
    // A size of 2 GiB or more is negative and reads nothing: it stays so.
    if (InputRemaining >= 0)
        InputRemaining -= static_cast<int32_t>(sizeof header);
    InitKeys(Password);
    DecryptBytes(header, sizeof header);
    // With a data descriptor the archiver knew no CRC when it wrote the
    // header, so the check byte is the DOS time's high byte.
    const uint8_t expected = CurrentMember.DescriptorFollows ? static_cast<uint8_t>(CurrentMember.Time >> 8)
                                                             : static_cast<uint8_t>(CurrentMember.Crc >> 24);
    return header[sizeof header - 1] == expected ? 0 : 1;
}

void AcceptMemberPassword()
{
    if (Password && lstrlenA(Password) > PASSWORD_MAX_CHARS)
        ErrorAbort(Message(MSG_WRONG_PASSWORD));
    if (CheckMemberPassword() == 0)
        return;
    ErrorAbort(Message(Password ? MSG_WRONG_PASSWORD : MSG_NO_PASSWORD));
}
