// AES-member cryptography with nettle (see ae_crypto.h).
#include "ae_crypto.h"

#include "extract/aes/ae_format.h"

#include <nettle/aes.h>
#include <nettle/hmac.h>
#include <nettle/pbkdf2.h>

namespace {

struct {
    size_t key_bytes;
    aes128_ctx aes128;
    aes192_ctx aes192;
    aes256_ctx aes256;
} key_state;

}  // namespace

void DeriveAeKeys(const std::string &password, const uint8_t *salt, size_t salt_bytes, uint8_t *output,
                  size_t output_bytes)
{
    pbkdf2_hmac_sha1(password.size(), reinterpret_cast<const uint8_t *>(password.data()), AE_ITERATIONS,
                     salt_bytes, salt, output_bytes, output);
}

void SetAeKey(const uint8_t *key, size_t key_bytes)
{
    key_state.key_bytes = key_bytes;
    if (key_bytes == 16)
        aes128_set_encrypt_key(&key_state.aes128, key);
    else if (key_bytes == 24)
        aes192_set_encrypt_key(&key_state.aes192, key);
    else
        aes256_set_encrypt_key(&key_state.aes256, key);
}

int AeEncryptBlocks(uint8_t *blocks, size_t count_bytes)
{
    if (key_state.key_bytes == 16)
        aes128_encrypt(&key_state.aes128, count_bytes, blocks, blocks);
    else if (key_state.key_bytes == 24)
        aes192_encrypt(&key_state.aes192, count_bytes, blocks, blocks);
    else
        aes256_encrypt(&key_state.aes256, count_bytes, blocks, blocks);
    return 0;
}

std::array<uint8_t, 20> HmacSha1(const uint8_t *key, size_t key_bytes, const uint8_t *data, size_t count_bytes)
{
    hmac_sha1_ctx context;
    hmac_sha1_set_key(&context, key_bytes, key);
    hmac_sha1_update(&context, count_bytes, data);
    std::array<uint8_t, 20> digest;
    hmac_sha1_digest(&context, digest.size(), digest.data());
    return digest;
}
