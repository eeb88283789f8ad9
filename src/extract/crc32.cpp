// Table-driven CRC-32, one lookup per byte. The byte-at-a-time loop keeps the
// stub small; the extractor is bound by the decoder, not by this.
#include "extract/crc32.h"

uint32_t CrcTable[256];
uint32_t RunningCrc;

void BuildCrcTable()
{
    for (uint32_t n = 0; n < 256; n++) {
        uint32_t reg = n;
        for (int bit = 0; bit < 8; bit++)
            reg = (reg & 1) ? (reg >> 1) ^ CRC32_POLYNOMIAL : reg >> 1;
        CrcTable[n] = reg;
    }
}

static uint32_t FoldBytes(uint32_t reg, const uint8_t *next, const uint8_t *end)
{
    while (next != end)
        reg = CrcStep(reg, *next++);
    return reg;
}

void UpdateCrc(const void *data, size_t length_bytes)
{
    const uint8_t *next = static_cast<const uint8_t *>(data);
    RunningCrc = FoldBytes(RunningCrc, next, next + length_bytes);
}

uint32_t Crc32Of(const void *data, size_t length_bytes)
{
    const uint8_t *next = static_cast<const uint8_t *>(data);
    return ~FoldBytes(CRC32_INITIAL, next, next + length_bytes);
}
