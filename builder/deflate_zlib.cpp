// DeflateCompressor on zlib, for the Windows build (see deflate_compressor.h).
#include "deflate_compressor.h"

#include "build_error.h"

#include <zlib.h>

namespace {
constexpr int COMPRESSION_LEVEL = 9;
constexpr int RAW_DEFLATE_WINDOW_BITS = -15;  // negative: no zlib wrapper
constexpr int MEMORY_LEVEL = 9;               // the largest hash table
}

struct DeflateCompressor::Engine {
    z_stream stream;
};

DeflateCompressor::DeflateCompressor() : engine_(new Engine{})
{
    if (deflateInit2(&engine_->stream, COMPRESSION_LEVEL, Z_DEFLATED, RAW_DEFLATE_WINDOW_BITS, MEMORY_LEVEL,
                     Z_DEFAULT_STRATEGY) != Z_OK)
        Refuse("out of memory for the compressor");
}

DeflateCompressor::~DeflateCompressor() { deflateEnd(&engine_->stream); }

std::vector<uint8_t> DeflateCompressor::Compress(const uint8_t *input, size_t input_bytes, size_t limit_bytes)
{
    if (limit_bytes <= 1)
        return {};
    z_stream &stream = engine_->stream;
    if (deflateReset(&stream) != Z_OK)
        return {};
    std::vector<uint8_t> output(limit_bytes - 1);
    // zlib counts in 32-bit units; the builder's members stay under 2 GiB.
    stream.next_in = const_cast<Bytef *>(input);
    stream.avail_in = static_cast<uInt>(input_bytes);
    stream.next_out = output.data();
    stream.avail_out = static_cast<uInt>(output.size());
    if (deflate(&stream, Z_FINISH) != Z_STREAM_END)
        return {};  // did not fit: not smaller
    output.resize(stream.total_out);
    return output;
}

const char *DeflateCompressor::Description() { return "zlib level 9"; }
