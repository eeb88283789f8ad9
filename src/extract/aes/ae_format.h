// The AE-1/AE-2 layout of an AES member (zip method 99): extra field 0x9901
// (version, vendor "AE", strength, real method); data = salt, 2-byte password
// verifier, encrypted data, 10-byte authentication code (HMAC-SHA1 over the
// encrypted data, cut). Keys: PBKDF2-HMAC-SHA1, 1000 iterations, giving the
// AES key, the HMAC key (same length) and the verifier, in that order.
//
// Portable: no Windows headers; the stub, the builder and the tests share it.
#pragma once

#include <cstddef>
#include <cstdint>

constexpr uint16_t ZIP_METHOD_AES = 99;
constexpr uint16_t AE_EXTRA_ID = 0x9901;
constexpr uint16_t AE_EXTRA_DATA_BYTES = 7;
constexpr uint16_t AE_VERSION_1 = 1;  // CRC stored and checked
constexpr uint16_t AE_VERSION_2 = 2;  // CRC field 0: the authentication code alone
constexpr uint32_t AE_ITERATIONS = 1000;
constexpr size_t AE_VERIFIER_BYTES = 2;
constexpr size_t AE_CODE_BYTES = 10;
constexpr size_t AE_MAX_KEY_BYTES = 32;
constexpr size_t AE_MAX_SALT_BYTES = 16;
constexpr size_t AE_DERIVED_MAX_BYTES = 2 * AE_MAX_KEY_BYTES + AE_VERIFIER_BYTES;

// Key bytes of strength 1, 2, 3 (AES-128, -192, -256); 0 for any other.
inline size_t AeKeyBytes(uint8_t strength)
{
    return strength >= 1 && strength <= 3 ? size_t(8) + 8 * strength : 0;
}

// The salt is half the key.
inline size_t AeSaltBytes(uint8_t strength)
{
    return AeKeyBytes(strength) / 2;
}

// AES in the AE counter mode: keystream block n (from 1) is the AES of n as a
// 16-byte little-endian number. The keystream is made a buffer of blocks at a
// time through the caller's ECB encryption.
using EncryptBlocksFunction = int (*)(uint8_t *blocks, size_t count_bytes);

constexpr size_t AE_KEYSTREAM_BYTES = 4096;

struct AeCounterState {
    uint8_t Counter[16];
    uint32_t Used;  // keystream bytes already applied; AE_KEYSTREAM_BYTES: none left
    uint8_t Keystream[AE_KEYSTREAM_BYTES];
};

// A member's counter starts again at block 1.
void ResetAeCounter(AeCounterState &state);

// XORs count_bytes at data with the next keystream bytes (encrypting and
// decrypting alike). Returns 0, or 1 when encrypt_blocks fails.
[[nodiscard]] int ApplyAeCounter(AeCounterState &state, uint8_t *data, size_t count_bytes,
                                 EncryptBlocksFunction encrypt_blocks);

// The AE field's contents.
struct AeField {
    uint16_t Version;   // AE_VERSION_1 or AE_VERSION_2
    uint8_t Strength;   // 1..3
    uint16_t Method;    // the real method
};

// Finds a valid AE field (version 1 or 2, vendor "AE", strength 1..3) among
// the blocks of an extra field. Returns 1 and fills field, or 0.
[[nodiscard]] int FindAeField(const uint8_t *extra, size_t extra_bytes, AeField &field);
