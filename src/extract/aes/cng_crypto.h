// The system's cryptography (CNG, bcrypt.dll) as the AES members need it:
// PBKDF2-HMAC-SHA1, AES in ECB for the counter blocks, HMAC-SHA1. bcrypt.dll
// is loaded from the system folder the first time an AES member is met, never
// before: an installer without one never touches it.
#pragma once

#include <cstddef>
#include <cstdint>

// Loads bcrypt.dll and opens the SHA-1 (HMAC) and AES providers, once per
// run. A system without them (bcrypt.dll arrived with Windows Vista) ends the
// run with a message box (MB_ICONERROR).
void LoadCng();

// PBKDF2 with HMAC-SHA1: output_bytes derived from password and salt.
// Returns 0, or 1 when CNG refuses.
[[nodiscard]] int DerivePbkdf2Sha1(const uint8_t *password, size_t password_bytes, const uint8_t *salt,
                                   size_t salt_bytes, uint32_t iterations, uint8_t *output, size_t output_bytes);

// The AES key of the current member (16, 24 or 32 bytes) for AesEncryptBlocks;
// replaces the previous member's. Returns 0, or 1 when CNG refuses.
[[nodiscard]] int SetAesKey(const uint8_t *key, size_t key_bytes);

// Encrypts count_bytes (a multiple of 16) in place with the current key, in
// ECB. Returns 0, or 1 when CNG refuses.
[[nodiscard]] int AesEncryptBlocks(uint8_t *blocks, size_t count_bytes);

// An HMAC-SHA1 over the current member's data, keyed with key: begun, fed,
// finished into a 20-byte digest. Each returns 0, or 1 when CNG refuses.
[[nodiscard]] int BeginHmacSha1(const uint8_t *key, size_t key_bytes);
[[nodiscard]] int AddHmacData(const uint8_t *data, size_t count_bytes);
[[nodiscard]] int FinishHmacSha1(uint8_t digest[20]);
