// Table-driven CRC-32. CrcTable is the byte-at-a-time table the cipher's
// CrcStep uses; UpdateCrc and Crc32Of go eight bytes at a time through seven
// more tables ("slicing by eight"), which fold eight bytes with eight
// independent lookups instead of a chain of eight dependent ones: several
// times the speed of the byte loop, which was as slow as the decoder. Every
// table is built at start-up in zero-filled data, so the program's file
// carries none of them. Lengths under eight bytes and the tail of a range
// take the byte loop, the simple path kept beside the fast one.
#include "extract/crc32.h"

#include "portable/byte_order.h"

uint32_t CrcTable[256];
uint32_t RunningCrc;

// CrcSlices[k][n]: the register after the byte n followed by k zero bytes,
// starting from 0. Slice 0 is a copy of CrcTable, so that the step reads one
// array.
constexpr int CRC_SLICE_BYTES = 8;
static uint32_t CrcSlices[CRC_SLICE_BYTES][256];

void BuildCrcTable()
{
    for (uint32_t n = 0; n < 256; n++) {
        uint32_t reg = n;
        for (int bit = 0; bit < 8; bit++)
            reg = (reg & 1) ? (reg >> 1) ^ CRC32_POLYNOMIAL : reg >> 1;
        CrcTable[n] = reg;
        CrcSlices[0][n] = reg;
    }
    for (uint32_t n = 0; n < 256; n++)
        for (int slice = 1; slice < CRC_SLICE_BYTES; slice++)
            CrcSlices[slice][n] = CrcStep(CrcSlices[slice - 1][n], 0);
}

static uint32_t FoldBytes(uint32_t reg, const uint8_t *next, const uint8_t *end)
{
    while (next != end)
        reg = CrcStep(reg, *next++);
    return reg;
}

// Eight bytes per step: the register taken in with the first four, each byte
// looked up in the slice for the number of bytes that follow it.
static uint32_t FoldSliced(uint32_t reg, const uint8_t *next, const uint8_t *end)
{
    while (end - next >= CRC_SLICE_BYTES) {
        const uint32_t low = ReadLe32(next) ^ reg, high = ReadLe32(next + 4);
        reg = CrcSlices[7][low & 0xFF] ^ CrcSlices[6][(low >> 8) & 0xFF] ^ CrcSlices[5][(low >> 16) & 0xFF] ^
              CrcSlices[4][low >> 24] ^ CrcSlices[3][high & 0xFF] ^ CrcSlices[2][(high >> 8) & 0xFF] ^
              CrcSlices[1][(high >> 16) & 0xFF] ^ CrcSlices[0][high >> 24];
        next += CRC_SLICE_BYTES;
    }
    return FoldBytes(reg, next, end);
}

void UpdateCrc(const void *data, size_t length_bytes)
{
    const uint8_t *next = static_cast<const uint8_t *>(data);
    RunningCrc = FoldSliced(RunningCrc, next, next + length_bytes);
}

uint32_t Crc32Of(const void *data, size_t length_bytes)
{
    const uint8_t *next = static_cast<const uint8_t *>(data);
    return ~FoldSliced(CRC32_INITIAL, next, next + length_bytes);
}
