// DeflateCompressor on libdeflate (see deflate_compressor.h).
#include "deflate_compressor.h"

#include "build_error.h"

#include <libdeflate.h>

namespace {
constexpr int COMPRESSION_LEVEL = 12;  // libdeflate's best: near-optimal parsing
}

struct DeflateCompressor::Engine {
    libdeflate_compressor *compressor;
};

DeflateCompressor::DeflateCompressor() : engine_(new Engine{libdeflate_alloc_compressor(COMPRESSION_LEVEL)})
{
    if (!engine_->compressor)
        Refuse("out of memory for the compressor");
}

DeflateCompressor::~DeflateCompressor() { libdeflate_free_compressor(engine_->compressor); }

std::vector<uint8_t> DeflateCompressor::Compress(const uint8_t *input, size_t input_bytes, size_t limit_bytes)
{
    if (limit_bytes <= 1)
        return {};
    std::vector<uint8_t> output(limit_bytes - 1);
    const size_t written =
        libdeflate_deflate_compress(engine_->compressor, input, input_bytes, output.data(), output.size());
    output.resize(written);
    return output;
}

const char *DeflateCompressor::Description() { return "libdeflate level 12"; }
