// The traditional zip cipher (see zip_cipher.h).
#include "extract/crypt/zip_cipher.h"

#include "extract/crc32.h"

CipherKeys Keys;

void UpdateKeys(uint8_t plain)
{
    Keys.Key0 = CrcStep(Keys.Key0, plain);
    Keys.Key1 = (Keys.Key1 + (Keys.Key0 & 0xFF)) * 134775813u + 1;
    Keys.Key2 = CrcStep(Keys.Key2, static_cast<uint8_t>(Keys.Key1 >> 24));
}

void InitKeys(const char *password)
{
    Keys.Key0 = 0x12345678u;
    Keys.Key1 = 0x23456789u;
    Keys.Key2 = 0x34567890u;
    for (const unsigned char *p = reinterpret_cast<const unsigned char *>(password); *p; p++)
        UpdateKeys(*p);
}

void DecryptBytes(uint8_t *data, size_t count_bytes)
{
    for (size_t at = 0; at < count_bytes; at++) {
        data[at] = static_cast<uint8_t>(data[at] ^ KeystreamByte());
        UpdateKeys(data[at]);
    }
}
