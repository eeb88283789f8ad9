// DeflateCompressor on libdeflate (see deflate_compressor.h).
#include "deflate_compressor.h"

#include "build_error.h"

#include <libdeflate.h>

namespace {
constexpr int COMPRESSION_LEVEL = 12;  // libdeflate's best: near-optimal parsing
// Already compressed data (a .gz, a .png) costs level 12 as much time as
// text and gains nothing. A level-1 pass, a small fraction of that time,
// tells it apart: when even it cannot get below the input's size, the data
// is stored without the slow pass. Small inputs go straight to level 12.
constexpr int PROBE_LEVEL = 1;
constexpr size_t PROBE_MIN_BYTES = 64 * 1024;
}

struct DeflateCompressor::Engine {
    libdeflate_compressor *compressor;
    libdeflate_compressor *probe;
};

DeflateCompressor::DeflateCompressor()
    : engine_(new Engine{libdeflate_alloc_compressor(COMPRESSION_LEVEL), libdeflate_alloc_compressor(PROBE_LEVEL)})
{
    if (!engine_->compressor || !engine_->probe)
        Refuse("out of memory for the compressor");
}

DeflateCompressor::~DeflateCompressor()
{
    libdeflate_free_compressor(engine_->compressor);
    libdeflate_free_compressor(engine_->probe);
}

std::vector<uint8_t> DeflateCompressor::Compress(const uint8_t *input, size_t input_bytes, size_t limit_bytes)
{
    if (limit_bytes <= 1)
        return {};
    std::vector<uint8_t> output(limit_bytes - 1);
    if (input_bytes >= PROBE_MIN_BYTES && limit_bytes >= input_bytes &&
        libdeflate_deflate_compress(engine_->probe, input, input_bytes, output.data(), output.size()) == 0)
        return {};
    const size_t written =
        libdeflate_deflate_compress(engine_->compressor, input, input_bytes, output.data(), output.size());
    output.resize(written);
    return output;
}

const char *DeflateCompressor::Description() { return "libdeflate level 12"; }
