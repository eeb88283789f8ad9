// AES-member cryptography with CNG, for tvsfx.exe (see ae_crypto.h).
#include "ae_crypto.h"

#include "build_error.h"
#include "extract/aes/ae_format.h"

#include <windows.h>

#include <bcrypt.h>

namespace {

BCRYPT_ALG_HANDLE Provider(const wchar_t *algorithm, ULONG flags)
{
    BCRYPT_ALG_HANDLE handle = nullptr;
    if (BCryptOpenAlgorithmProvider(&handle, algorithm, nullptr, flags) != 0)
        Refuse("the system's cryptography (bcrypt.dll) has no %ls", algorithm);
    return handle;
}

BCRYPT_ALG_HANDLE HmacProvider()
{
    static BCRYPT_ALG_HANDLE handle = Provider(BCRYPT_SHA1_ALGORITHM, BCRYPT_ALG_HANDLE_HMAC_FLAG);
    return handle;
}

BCRYPT_ALG_HANDLE AesProvider()
{
    static BCRYPT_ALG_HANDLE handle = [] {
        BCRYPT_ALG_HANDLE aes = Provider(BCRYPT_AES_ALGORITHM, 0);
        BCryptSetProperty(aes, BCRYPT_CHAINING_MODE, reinterpret_cast<PUCHAR>(const_cast<wchar_t *>(BCRYPT_CHAIN_MODE_ECB)),
                          sizeof BCRYPT_CHAIN_MODE_ECB, 0);
        return aes;
    }();
    return handle;
}

BCRYPT_KEY_HANDLE current_key;

}  // namespace

void DeriveAeKeys(const std::string &password, const uint8_t *salt, size_t salt_bytes, uint8_t *output,
                  size_t output_bytes)
{
    uint8_t none = 0;
    if (BCryptDeriveKeyPBKDF2(HmacProvider(),
                              password.empty() ? &none : reinterpret_cast<PUCHAR>(const_cast<char *>(password.data())),
                              ULONG(password.size()), const_cast<PUCHAR>(salt), ULONG(salt_bytes), AE_ITERATIONS,
                              output, ULONG(output_bytes), 0) != 0)
        Refuse("the system's cryptography refused PBKDF2");
}

void SetAeKey(const uint8_t *key, size_t key_bytes)
{
    if (current_key)
        BCryptDestroyKey(current_key);
    current_key = nullptr;
    if (BCryptGenerateSymmetricKey(AesProvider(), &current_key, nullptr, 0, const_cast<PUCHAR>(key), ULONG(key_bytes),
                                   0) != 0)
        Refuse("the system's cryptography refused an AES key");
}

int AeEncryptBlocks(uint8_t *blocks, size_t count_bytes)
{
    ULONG written = 0;
    return BCryptEncrypt(current_key, blocks, ULONG(count_bytes), nullptr, nullptr, 0, blocks, ULONG(count_bytes),
                         &written, 0) == 0 && written == count_bytes
               ? 0
               : 1;
}

std::array<uint8_t, 20> HmacSha1(const uint8_t *key, size_t key_bytes, const uint8_t *data, size_t count_bytes)
{
    std::array<uint8_t, 20> digest{};
    BCRYPT_HASH_HANDLE hash = nullptr;
    if (BCryptCreateHash(HmacProvider(), &hash, nullptr, 0, const_cast<PUCHAR>(key), ULONG(key_bytes), 0) != 0 ||
        BCryptHashData(hash, const_cast<PUCHAR>(data), ULONG(count_bytes), 0) != 0 ||
        BCryptFinishHash(hash, digest.data(), ULONG(digest.size()), 0) != 0)
        Refuse("the system's cryptography refused HMAC-SHA1");
    BCryptDestroyHash(hash);
    return digest;
}
