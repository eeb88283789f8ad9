// An AES member (AE-1 or AE-2) on its way through the member input: the
// password check against its salt and verifier, the decryption of its data
// refill by refill, and the check of its authentication code at its end.
#pragma once

#include <cstdint>

// For an AES member positioned at its data, with its member input begun:
// reads the salt and verifier, derives the keys from the password and returns
// when the verifier matches, the member input then bounded to the encrypted
// data and decrypting it. Otherwise ends the run with StringId 5 (no password
// held) or 6 (wrong, or longer than PASSWORD_MAX_CHARS); a member too short
// for its salt, verifier and code, or a short read, with read-error code 14.
// Loads CNG the first time (see cng_crypto.h).
void AcceptAesPassword();

// RefillInput's step for an AES member: the chunk just read counts for the
// authentication code as it is, then is decrypted in place.
void DecryptAesInput(uint8_t *data, uint32_t count_bytes);

// After the member's output file is closed: reads what the decoder left of
// the encrypted data, then the authentication code. A code that does not
// match removes the file and ends the run with StringId 40 naming it, with
// RunningCrc and the member's stored CRC (0 for AE-2).
void FinishAesMember();
