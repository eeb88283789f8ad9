// Raw deflate compression for the members and the header. On Linux this is
// libdeflate at its highest level (12), whose near-optimal parsing makes the
// smallest streams of the deflate writers we know. Debian has no libdeflate
// for MinGW, so tvsfx.exe uses zlib (level 9, the largest hash chains)
// instead: its streams are a little larger, and an installer made by one
// builder is a different but equally valid file from the other's.
//
// One compressor per thread: an instance keeps its own work memory.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

class DeflateCompressor {
public:
    DeflateCompressor();  // refuses (BuildError) when out of memory
    ~DeflateCompressor();
    DeflateCompressor(const DeflateCompressor &) = delete;
    DeflateCompressor &operator=(const DeflateCompressor &) = delete;

    // Compresses input into a stream of fewer than limit_bytes; returns it,
    // or an empty vector when it would not be that small (store it then).
    std::vector<uint8_t> Compress(const uint8_t *input, size_t input_bytes, size_t limit_bytes);

    // The engine's name and level, for the summary.
    static const char *Description();

private:
    struct Engine;
    std::unique_ptr<Engine> engine_;
};
