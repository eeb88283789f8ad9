// CNG glue (see cng_crypto.h). Every entry point is looked up at run time:
// the stub imports nothing from bcrypt.dll, and a system without it gets a
// message rather than a loader error before the dialog.
#include "extract/aes/cng_crypto.h"

#include <windows.h>

#include <bcrypt.h>

#include "startup/byte_helpers.h"
#include "startup/error_abort.h"

namespace {

using OpenAlgorithmProviderFunction = NTSTATUS(WINAPI *)(BCRYPT_ALG_HANDLE *, LPCWSTR, LPCWSTR, ULONG);
using SetPropertyFunction = NTSTATUS(WINAPI *)(BCRYPT_HANDLE, LPCWSTR, PUCHAR, ULONG, ULONG);
using GenerateSymmetricKeyFunction = NTSTATUS(WINAPI *)(BCRYPT_ALG_HANDLE, BCRYPT_KEY_HANDLE *, PUCHAR, ULONG,
                                                        PUCHAR, ULONG, ULONG);
using DestroyKeyFunction = NTSTATUS(WINAPI *)(BCRYPT_KEY_HANDLE);
using EncryptFunction = NTSTATUS(WINAPI *)(BCRYPT_KEY_HANDLE, PUCHAR, ULONG, void *, PUCHAR, ULONG, PUCHAR, ULONG,
                                           ULONG *, ULONG);
using DeriveKeyPbkdf2Function = NTSTATUS(WINAPI *)(BCRYPT_ALG_HANDLE, PUCHAR, ULONG, PUCHAR, ULONG, ULONGLONG,
                                                   PUCHAR, ULONG, ULONG);
using CreateHashFunction = NTSTATUS(WINAPI *)(BCRYPT_ALG_HANDLE, BCRYPT_HASH_HANDLE *, PUCHAR, ULONG, PUCHAR, ULONG,
                                              ULONG);
using HashDataFunction = NTSTATUS(WINAPI *)(BCRYPT_HASH_HANDLE, PUCHAR, ULONG, ULONG);
using FinishHashFunction = NTSTATUS(WINAPI *)(BCRYPT_HASH_HANDLE, PUCHAR, ULONG, ULONG);
using DestroyHashFunction = NTSTATUS(WINAPI *)(BCRYPT_HASH_HANDLE);

struct CngCalls {
    OpenAlgorithmProviderFunction OpenAlgorithmProvider;
    SetPropertyFunction SetProperty;
    GenerateSymmetricKeyFunction GenerateSymmetricKey;
    DestroyKeyFunction DestroyKey;
    EncryptFunction Encrypt;
    DeriveKeyPbkdf2Function DeriveKeyPbkdf2;
    CreateHashFunction CreateHash;
    HashDataFunction HashData;
    FinishHashFunction FinishHash;
    DestroyHashFunction DestroyHash;
};

// In the order of CngCalls, NUL-separated.
const char CNG_NAMES[] =
    "BCryptOpenAlgorithmProvider\0BCryptSetProperty\0BCryptGenerateSymmetricKey\0BCryptDestroyKey\0"
    "BCryptEncrypt\0BCryptDeriveKeyPBKDF2\0BCryptCreateHash\0BCryptHashData\0BCryptFinishHash\0"
    "BCryptDestroyHash\0";

// Shown in the system's language-neutral way: the message table has no text
// for a system this old.
const char TEXT_NO_CNG[] =
    "This installer's files are protected with AES, and this system has no AES "
    "(the cryptography of bcrypt.dll, Windows Vista and later).";

CngCalls Cng;
BCRYPT_ALG_HANDLE HmacSha1Provider;
BCRYPT_ALG_HANDLE AesProvider;
BCRYPT_KEY_HANDLE AesKey;
BCRYPT_HASH_HANDLE Hmac;

bool LoadCalls()
{
    // A full path: the DLL is the system folder's whatever the search order.
    char path[MAX_PATH + 16];
    const UINT folder_chars = GetSystemDirectoryA(path, MAX_PATH);
    if (folder_chars == 0 || folder_chars >= MAX_PATH || AppendString(path, sizeof path, "\\bcrypt.dll"))
        return false;
    const HMODULE module = LoadLibraryA(path);
    if (!module)
        return false;
    auto *slot = reinterpret_cast<FARPROC *>(&Cng);
    for (const char *name = CNG_NAMES; *name; name += lstrlenA(name) + 1, slot++) {
        *slot = GetProcAddress(module, name);
        if (!*slot)
            return false;
    }
    return true;
}

}  // namespace

void LoadCng()
{
    if (AesProvider)
        return;
    if (!LoadCalls() ||
        Cng.OpenAlgorithmProvider(&HmacSha1Provider, BCRYPT_SHA1_ALGORITHM, nullptr, BCRYPT_ALG_HANDLE_HMAC_FLAG) !=
            0 ||
        Cng.OpenAlgorithmProvider(&AesProvider, BCRYPT_AES_ALGORITHM, nullptr, 0) != 0 ||
        Cng.SetProperty(AesProvider, BCRYPT_CHAINING_MODE,
                        reinterpret_cast<PUCHAR>(const_cast<wchar_t *>(BCRYPT_CHAIN_MODE_ECB)),
                        sizeof BCRYPT_CHAIN_MODE_ECB, 0) != 0) {
        AesProvider = nullptr;
        ErrorAbort(TEXT_NO_CNG);
    }
}

int DerivePbkdf2Sha1(const uint8_t *password, size_t password_bytes, const uint8_t *salt, size_t salt_bytes,
                     uint32_t iterations, uint8_t *output, size_t output_bytes)
{
    // CNG takes no null password, even an empty one.
    uint8_t none = 0;
    return Cng.DeriveKeyPbkdf2(HmacSha1Provider, password_bytes ? const_cast<PUCHAR>(password) : &none,
                               static_cast<ULONG>(password_bytes), const_cast<PUCHAR>(salt),
                               static_cast<ULONG>(salt_bytes), iterations, output, static_cast<ULONG>(output_bytes),
                               0) == 0
               ? 0
               : 1;
}

int SetAesKey(const uint8_t *key, size_t key_bytes)
{
    if (AesKey) {
        Cng.DestroyKey(AesKey);
        AesKey = nullptr;
    }
    return Cng.GenerateSymmetricKey(AesProvider, &AesKey, nullptr, 0, const_cast<PUCHAR>(key),
                                    static_cast<ULONG>(key_bytes), 0) == 0
               ? 0
               : 1;
}

int AesEncryptBlocks(uint8_t *blocks, size_t count_bytes)
{
    ULONG written = 0;
    return Cng.Encrypt(AesKey, blocks, static_cast<ULONG>(count_bytes), nullptr, nullptr, 0, blocks,
                       static_cast<ULONG>(count_bytes), &written, 0) == 0 &&
                   written == count_bytes
               ? 0
               : 1;
}

int BeginHmacSha1(const uint8_t *key, size_t key_bytes)
{
    if (Hmac) {
        Cng.DestroyHash(Hmac);
        Hmac = nullptr;
    }
    return Cng.CreateHash(HmacSha1Provider, &Hmac, nullptr, 0, const_cast<PUCHAR>(key), static_cast<ULONG>(key_bytes),
                          0) == 0
               ? 0
               : 1;
}

int AddHmacData(const uint8_t *data, size_t count_bytes)
{
    return Cng.HashData(Hmac, const_cast<PUCHAR>(data), static_cast<ULONG>(count_bytes), 0) == 0 ? 0 : 1;
}

int FinishHmacSha1(uint8_t digest[20])
{
    const int failed = Cng.FinishHash(Hmac, digest, 20, 0) == 0 ? 0 : 1;
    Cng.DestroyHash(Hmac);
    Hmac = nullptr;
    return failed;
}
