// AES members (see ae_member.h). One member at a time: the counter and the
// HMAC belong to the member being extracted.
#include "extract/aes/ae_member.h"

#include <windows.h>

#include "archive/member_header.h"
#include "archive/member_record.h"
#include "archive/read_error_codes.h"
#include "extract/aes/ae_format.h"
#include "extract/aes/cng_crypto.h"
#include "extract/crc32.h"
#include "extract/crypt/member_input.h"
#include "extract/extract_member.h"
#include "extract/inflate/stream_buffers.h"
#include "startup/byte_helpers.h"
#include "startup/error_abort.h"
#include "startup/internal_error_places.h"
#include "startup/message_table.h"

static AeCounterState Counter;

// Bytes the member input gives without decryption (the salt, verifier and
// code lie outside the encrypted data); the input is bounded to them first,
// so nothing past them is buffered.
static void ReadPlainBytes(uint8_t *destination, uint32_t count_bytes)
{
    InputRemaining = static_cast<int32_t>(count_bytes);
    while (count_bytes > 0) {
        const uint32_t taken_bytes = TakeInputBytes(destination, count_bytes);
        if (taken_bytes == 0)
            ReportReadError(READ_ERROR_ENCRYPTION_HEADER);
        destination += taken_bytes;
        count_bytes -= taken_bytes;
    }
}

// CNG failing after it loaded is not the user's doing: the same message as a
// system without it.
static void CheckCng(int failed)
{
    if (failed)
        ErrorAbort(Message(MSG_UNSUPPORTED_METHOD));
}

void AcceptAesPassword()
{
    if (!Password)
        ErrorAbort(Message(MSG_NO_PASSWORD));
    const int password_chars = lstrlenA(Password);
    if (password_chars > PASSWORD_MAX_CHARS)
        ErrorAbort(Message(MSG_WRONG_PASSWORD));
    LoadCng();

    const size_t key_bytes = AeKeyBytes(CurrentMember.AesStrength);
    const size_t salt_bytes = AeSaltBytes(CurrentMember.AesStrength);
    const int32_t data_bytes =
        InputRemaining - static_cast<int32_t>(salt_bytes + AE_VERIFIER_BYTES + AE_CODE_BYTES);
    if (data_bytes < 0)
        ReportReadError(READ_ERROR_ENCRYPTION_HEADER);
    // The traditional cipher must not touch these bytes.
    MemberRecord.flags &= ~MEMBER_ENCRYPTED;
    uint8_t header[AE_MAX_SALT_BYTES + AE_VERIFIER_BYTES];
    ReadPlainBytes(header, static_cast<uint32_t>(salt_bytes + AE_VERIFIER_BYTES));

    uint8_t derived[AE_DERIVED_MAX_BYTES];
    const size_t derived_bytes = 2 * key_bytes + AE_VERIFIER_BYTES;
    CheckCng(DerivePbkdf2Sha1(reinterpret_cast<const uint8_t *>(Password), static_cast<size_t>(password_chars),
                              header, salt_bytes, AE_ITERATIONS, derived, derived_bytes));
    if (CompareBytes(derived + 2 * key_bytes, header + salt_bytes, AE_VERIFIER_BYTES))
        ErrorAbort(Message(MSG_WRONG_PASSWORD));
    CheckCng(SetAesKey(derived, key_bytes));
    CheckCng(BeginHmacSha1(derived + key_bytes, key_bytes));
    FillBytes(derived, 0, sizeof derived);
    ResetAeCounter(Counter);
    InputRemaining = data_bytes;
    MemberRecord.flags |= MEMBER_AES;
}

void DecryptAesInput(uint8_t *data, uint32_t count_bytes)
{
    CheckCng(AddHmacData(data, count_bytes));
    CheckCng(ApplyAeCounter(Counter, data, count_bytes, AesEncryptBlocks));
}

void FinishAesMember()
{
    // A deflate stream may end before the member's data does; the code
    // covers all of it. The deflate window, done with, takes the bytes.
    while (InputRemaining > 0) {
        if (TakeInputBytes(Stream.Window, WINDOW_BYTES) == 0)
            ReportReadError(READ_ERROR_MEMBER_DATA);
    }
    MemberRecord.flags &= ~MEMBER_AES;
    DropBufferedInput();
    uint8_t code[AE_CODE_BYTES];
    ReadPlainBytes(code, sizeof code);
    uint8_t digest[20];
    CheckCng(FinishHmacSha1(digest));
    if (CompareBytes(digest, code, sizeof code) == 0)
        return;
    // Damaged or altered data: nothing that looks complete stays behind.
    DeleteFileA(OutputPath);
    ErrorAbortFormatted(PLACE_CRC_ERROR_TEXT, PLACE_CRC_ERROR_FULL, Message(MSG_BAD_CRC), OutputPath,
                        static_cast<unsigned long>(RunningCrc), static_cast<unsigned long>(CurrentMember.Crc));
}
