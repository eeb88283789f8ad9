// The traditional zip cipher: three 32-bit keys driven by the password and
// then by each plaintext byte, and a keystream byte drawn from the third key.
// A key's CRC step is the single-byte step of extract/crc32.h on CrcTable,
// which must be built first. One cipher state per process: the stub decrypts
// one member at a time.
//
// Portable: no Windows headers; the stub and the native tests share it.
#pragma once

#include <cstddef>
#include <cstdint>


struct CipherKeys {
    uint32_t Key0, Key1, Key2;
};
extern CipherKeys Keys;

// Sets the keys to their initial values and feeds every byte of password
// (NUL-terminated, taken as unsigned bytes) through UpdateKeys.
void InitKeys(const char *password);

// Advances the keys by one plaintext byte.
void UpdateKeys(uint8_t plain);

// The byte the next ciphertext byte is XORed with.
inline uint8_t KeystreamByte()
{
    uint32_t t = (Keys.Key2 | 2) & 0xFFFF;
    return static_cast<uint8_t>((t * (t ^ 1)) >> 8);
}

// Decrypts count_bytes at data in place, advancing the keys.
void DecryptBytes(uint8_t *data, size_t count_bytes);
