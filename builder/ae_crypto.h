// The cryptography of AES members (AE-1/AE-2, extract/aes/ae_format.h) for
// the builder's writer and its verify: nettle on Linux, CNG in tvsfx.exe.
// One AES key at a time, like the stub's: the counter mode takes a plain
// function (AeEncryptBlocks) that uses the key set last.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

// PBKDF2-HMAC-SHA1 with AE_ITERATIONS iterations.
void DeriveAeKeys(const std::string &password, const uint8_t *salt, size_t salt_bytes, uint8_t *output,
                  size_t output_bytes);

// Sets the key (16, 24 or 32 bytes) that AeEncryptBlocks uses.
void SetAeKey(const uint8_t *key, size_t key_bytes);

// AES-ECB encryption in place of count_bytes (a multiple of 16); 0.
int AeEncryptBlocks(uint8_t *blocks, size_t count_bytes);

// HMAC-SHA1 of count_bytes at data under key.
std::array<uint8_t, 20> HmacSha1(const uint8_t *key, size_t key_bytes, const uint8_t *data, size_t count_bytes);
