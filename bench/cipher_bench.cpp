// Decryption throughput of the installer's two ciphers, as it runs them:
// the traditional zip cipher (extract/crypt) and AES-256 in the AE counter
// mode with its HMAC-SHA1 (extract/aes, through the system's CNG), one
// 32 KiB refill at a time over the same buffer. Prints figures; not a test.
//   cipher_bench.exe [MEGABYTES] [REPETITIONS]
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <vector>

#include "extract/aes/ae_format.h"
#include "extract/aes/cng_crypto.h"
#include "extract/crc32.h"
#include "extract/crypt/zip_cipher.h"
#include "extract/inflate/stream_buffers.h"

namespace {

double Seconds(LARGE_INTEGER from, LARGE_INTEGER to)
{
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return double(to.QuadPart - from.QuadPart) / double(frequency.QuadPart);
}

AeCounterState counter;

template <typename Step> double BestMegabytesPerSecond(std::vector<uint8_t> &data, int repetitions, Step step)
{
    double best = 0;
    for (int run = 0; run < repetitions; run++) {
        LARGE_INTEGER start, end;
        QueryPerformanceCounter(&start);
        for (size_t at = 0; at < data.size(); at += IO_CHUNK_BYTES)
            step(data.data() + at, data.size() - at < IO_CHUNK_BYTES ? data.size() - at : IO_CHUNK_BYTES);
        QueryPerformanceCounter(&end);
        const double rate = double(data.size()) / 1e6 / Seconds(start, end);
        best = rate > best ? rate : best;
    }
    return best;
}

}  // namespace

int main(int argc, char **argv)
{
    const size_t megabytes = argc > 1 ? size_t(std::atoi(argv[1])) : 64;
    const int repetitions = argc > 2 ? std::atoi(argv[2]) : 5;
    std::vector<uint8_t> data(megabytes << 20);
    for (size_t at = 0; at < data.size(); at++)
        data[at] = uint8_t(at * 2654435761u >> 13);

    BuildCrcTable();
    InitKeys("clave secreta");
    const double traditional = BestMegabytesPerSecond(data, repetitions, [](uint8_t *chunk, size_t bytes) {
        DecryptBytes(chunk, bytes);
    });

    LoadCng();
    const uint8_t salt[16] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
    uint8_t keys[AE_DERIVED_MAX_BYTES];
    LARGE_INTEGER start, end;
    QueryPerformanceCounter(&start);
    if (DerivePbkdf2Sha1(reinterpret_cast<const uint8_t *>("clave secreta"), 13, salt, sizeof salt, AE_ITERATIONS,
                         keys, 66) ||
        SetAesKey(keys, 32) || BeginHmacSha1(keys + 32, 32)) {
        std::printf("CNG refused the keys\n");
        return 1;
    }
    QueryPerformanceCounter(&end);
    const double derivation_ms = Seconds(start, end) * 1000;
    ResetAeCounter(counter);
    const double aes = BestMegabytesPerSecond(data, repetitions, [](uint8_t *chunk, size_t bytes) {
        (void)AddHmacData(chunk, bytes);
        (void)ApplyAeCounter(counter, chunk, bytes, AesEncryptBlocks);
    });
    uint8_t digest[20];
    (void)FinishHmacSha1(digest);

    std::printf("decryption over %zu MiB, best of %d, 32 KiB refills\n", megabytes, repetitions);
    std::printf("  traditional zip cipher      %8.1f MB/s\n", traditional);
    std::printf("  AES-256 (AE counter + HMAC) %8.1f MB/s, key derivation %.1f ms per member\n", aes,
                derivation_ms);
    std::printf("aes vs traditional: %.2fx\n", aes / traditional);
    return 0;
}
