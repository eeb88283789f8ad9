// CRC-32 of the zip format (reflected polynomial 0xEDB88320), table driven.
//
// One accumulator, RunningCrc, serves whichever stream is being checked: the
// program's own bytes at start-up, then each extracted member in turn. Callers
// set it to 0xFFFFFFFF before a stream and complement it at the end. The
// cipher keeps its own registers and uses only CrcStep.
//
// Portable: no Windows headers, so the same code runs in the stub and in the
// native tests and tools.
#pragma once

#include <cstddef>
#include <cstdint>

constexpr uint32_t CRC32_POLYNOMIAL = 0xEDB88320u;  // reflected IEEE 802.3
constexpr uint32_t CRC32_INITIAL = 0xFFFFFFFFu;

extern uint32_t CrcTable[256];  // built once by BuildCrcTable, read-only after
extern uint32_t RunningCrc;     // accumulator of the stream being checked

// Fills CrcTable and the tables UpdateCrc and Crc32Of fold eight bytes at a
// time with (zero-filled data, not in the program's file). Must run before
// any other call here.
void BuildCrcTable();

// One byte through a CRC register: the step the cipher's key schedule uses.
inline uint32_t CrcStep(uint32_t crc, uint8_t byte)
{
    return (crc >> 8) ^ CrcTable[(crc ^ byte) & 0xFF];
}

// Folds length_bytes bytes at data into RunningCrc; 0 bytes leave it as is.
// The result is the byte-by-byte CrcStep's, at any length, start and split.
void UpdateCrc(const void *data, size_t length_bytes);

// Convenience for tools and tests: the finished CRC-32 of one whole buffer.
// Uses its own register and leaves RunningCrc alone.
uint32_t Crc32Of(const void *data, size_t length_bytes);
