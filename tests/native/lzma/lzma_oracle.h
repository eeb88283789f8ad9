// liblzma as the outside reference for the LZMA decoder: raw LZMA1 streams
// in the zip method 14 form (version, properties size, properties, stream),
// with or without the end marker, and liblzma's own decoding of them.
// Shared by the unit tests, the fuzz target and the benchmark.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

struct LzmaEncoding {
    uint32_t preset;           // 0..9, LZMA_PRESET_EXTREME may be or'd in
    uint32_t lc, lp, pb;       // the literal and position context bits
    uint32_t dictionary_bytes; // 0: the preset's
    bool end_marker;           // write the end marker after the last byte
};

// The member's data for zip method 14 as liblzma encodes data; empty on
// failure.
std::vector<uint8_t> LiblzmaZipMember(const std::vector<uint8_t> &data, const LzmaEncoding &encoding);

// liblzma's decoding of a method 14 member of uncompressed_bytes: true when
// it decoded exactly that many bytes without error (the end marker required
// when end_marker, refused otherwise).
bool LiblzmaDecodeZipMember(const uint8_t *member, size_t member_bytes, uint32_t uncompressed_bytes,
                            bool end_marker, std::vector<uint8_t> &output);
