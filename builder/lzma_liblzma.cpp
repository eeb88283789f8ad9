// LZMA compression by liblzma (see lzma_compressor.h).
#include "lzma_compressor.h"

#include "build_error.h"
#include "extract/lzma/lzma_decoder.h"

#include <lzma.h>

namespace lzma_compressor {

namespace {

constexpr uint32_t PRESET = 9 | LZMA_PRESET_EXTREME;
// The zip header's encoder version: liblzma's major and minor version.
constexpr uint8_t VERSION_MAJOR = LZMA_VERSION_MAJOR;
constexpr uint8_t VERSION_MINOR = LZMA_VERSION_MINOR;

}  // namespace

bool Available()
{
    return true;
}

const char *Description()
{
    return "liblzma LZMA1 preset 9e";
}

std::vector<uint8_t> Compress(const uint8_t *input, size_t input_bytes, size_t limit_bytes)
{
    if (limit_bytes <= LZMA_ZIP_HEADER_BYTES)
        return {};
    lzma_options_lzma options;
    if (lzma_lzma_preset(&options, PRESET))
        Refuse("liblzma: preset 9e is not available");
    if (options.dict_size > input_bytes)
        options.dict_size = input_bytes < LZMA_DICTIONARY_MIN_BYTES ? LZMA_DICTIONARY_MIN_BYTES
                                                                    : uint32_t(input_bytes);
    options.ext_flags = 0;  // no end marker
    lzma_set_ext_size(options, input_bytes);
    lzma_filter filters[2] = {{LZMA_FILTER_LZMA1EXT, &options}, {LZMA_VLI_UNKNOWN, nullptr}};
    lzma_stream stream = LZMA_STREAM_INIT;
    lzma_ret status = lzma_raw_encoder(&stream, filters);
    if (status == LZMA_MEM_ERROR)
        Refuse("liblzma: not enough memory for the LZMA encoder");
    if (status != LZMA_OK)
        Refuse("liblzma: the LZMA encoder could not start (error %d)", int(status));

    std::vector<uint8_t> member(limit_bytes);
    member[0] = VERSION_MAJOR;
    member[1] = VERSION_MINOR;
    member[2] = LZMA_PROPERTIES_BYTES;
    member[3] = 0;
    member[4] = uint8_t((options.pb * 5 + options.lp) * 9 + options.lc);
    for (int i = 0; i < 4; i++)
        member[5 + i] = uint8_t(options.dict_size >> (8 * i));
    stream.next_in = input;
    stream.avail_in = input_bytes;
    stream.next_out = member.data() + LZMA_ZIP_HEADER_BYTES;
    stream.avail_out = limit_bytes - 1 - LZMA_ZIP_HEADER_BYTES;  // fewer than limit_bytes in all
    do
        status = lzma_code(&stream, LZMA_FINISH);
    while (status == LZMA_OK && stream.avail_out > 0);
    const uint64_t written = stream.total_out;
    lzma_end(&stream);
    if (status == LZMA_MEM_ERROR)
        Refuse("liblzma: not enough memory for the LZMA encoder");
    if (status != LZMA_STREAM_END)
        return {};  // no smaller than the limit (or an encoder error: store it)
    member.resize(LZMA_ZIP_HEADER_BYTES + written);
    return member;
}

}  // namespace lzma_compressor
