// Member data on its way from the archive to the decoder or the stored copy:
// the refill of the input buffer, the decryption of encrypted members, and
// the check of a member's 12-byte encryption header against the password.
#pragma once

#include <cstdint>

extern char *Password;  // GlobalAlloc'd, NUL-terminated; null until the user gave one

constexpr int PASSWORD_MAX_CHARS = 99;  // a longer password fails every member

// The decoder's input hook: reads the member's next chunk (at most
// IO_CHUNK_BYTES, never past InputRemaining) into the input buffer,
// decrypting it when the member is encrypted. The buffer is not cleared
// first: no byte past the count is ever taken. Returns the count and leaves
// InputAvailable at count - 1; 0 when the member has no bytes left. On a
// spanned archive a read that comes up short at the end of a disk's file
// asks for the next disk (OpenDisk) and the chunk is what was read, or what
// the next disk gives when this one gave nothing; a read that fails, a short
// read of a single file, and a disk change after which neither disk gave a
// byte end the run with read-error code 2.
int32_t RefillInput();

// Forgets what the input buffer holds of the current member and not yet
// consumed: InputRemaining then counts only the member's bytes still unread
// in the archive.
void DropBufferedInput();

// For an encrypted member positioned at its data: 0 when the password
// accepts its encryption header (consumed, keys ready for the data), 1 when
// no password is held or the check byte differs. Reads the header even when
// the check fails; a short read ends the run with read-error code 14.
[[nodiscard]] int CheckMemberPassword();

// The password step for an encrypted member: returns when the password is
// accepted; otherwise ends the run with StringId 5 (none held) or 6 (wrong,
// or longer than PASSWORD_MAX_CHARS).
void AcceptMemberPassword();
