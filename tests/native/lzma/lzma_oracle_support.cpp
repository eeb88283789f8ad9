// liblzma as the reference; see lzma_oracle.h.
#include "lzma_oracle.h"

#include <lzma.h>

#include <cstdlib>

namespace {

constexpr size_t ZIP_HEADER_BYTES = 9;
constexpr uint8_t ENCODER_VERSION[2] = {9, 20};

// The packed lc/lp/pb byte and the dictionary size of an options record.
void PutProperties(const lzma_options_lzma &options, uint8_t *properties)
{
    properties[0] = uint8_t((options.pb * 5 + options.lp) * 9 + options.lc);
    for (int i = 0; i < 4; i++)
        properties[1 + i] = uint8_t(options.dict_size >> (8 * i));
}

}  // namespace

std::vector<uint8_t> LiblzmaZipMember(const std::vector<uint8_t> &data, const LzmaEncoding &encoding)
{
    lzma_options_lzma options;
    if (lzma_lzma_preset(&options, encoding.preset))
        return {};
    options.lc = encoding.lc;
    options.lp = encoding.lp;
    options.pb = encoding.pb;
    if (encoding.dictionary_bytes)
        options.dict_size = encoding.dictionary_bytes;
    options.ext_flags = encoding.end_marker ? LZMA_LZMA1EXT_ALLOW_EOPM : 0;
    lzma_set_ext_size(options, data.size());
    lzma_filter filters[2] = {{LZMA_FILTER_LZMA1EXT, &options}, {LZMA_VLI_UNKNOWN, nullptr}};
    lzma_stream stream = LZMA_STREAM_INIT;
    if (lzma_raw_encoder(&stream, filters) != LZMA_OK)
        return {};
    std::vector<uint8_t> member(ZIP_HEADER_BYTES + data.size() + data.size() / 2 + 1024);
    member[0] = ENCODER_VERSION[0];
    member[1] = ENCODER_VERSION[1];
    member[2] = 5;
    member[3] = 0;
    PutProperties(options, &member[4]);
    stream.next_in = data.data();
    stream.avail_in = data.size();
    stream.next_out = member.data() + ZIP_HEADER_BYTES;
    stream.avail_out = member.size() - ZIP_HEADER_BYTES;
    lzma_ret status;
    while ((status = lzma_code(&stream, LZMA_FINISH)) == LZMA_OK) {
        if (stream.avail_out == 0) {
            const size_t done = member.size();
            member.resize(done * 2);
            stream.next_out = member.data() + done;
            stream.avail_out = member.size() - done;
        }
    }
    member.resize(ZIP_HEADER_BYTES + stream.total_out);
    lzma_end(&stream);
    return status == LZMA_STREAM_END ? member : std::vector<uint8_t>{};
}

bool LiblzmaDecodeZipMember(const uint8_t *member, size_t member_bytes, uint32_t uncompressed_bytes,
                            bool end_marker, std::vector<uint8_t> &output)
{
    output.clear();
    if (member_bytes < ZIP_HEADER_BYTES || member[2] != 5 || member[3] != 0)
        return false;
    lzma_filter filters[2] = {{LZMA_FILTER_LZMA1EXT, nullptr}, {LZMA_VLI_UNKNOWN, nullptr}};
    if (lzma_properties_decode(&filters[0], nullptr, member + 4, 5) != LZMA_OK)
        return false;
    auto *options = static_cast<lzma_options_lzma *>(filters[0].options);
    options->ext_flags = end_marker ? LZMA_LZMA1EXT_ALLOW_EOPM : 0;
    lzma_set_ext_size(*options, uncompressed_bytes);
    // liblzma allocates the whole dictionary the properties name; no match
    // reaches past the member's start, so its size is enough.
    const uint32_t enough_bytes = uncompressed_bytes < 4096 ? 4096 : uncompressed_bytes;
    if (options->dict_size > enough_bytes)
        options->dict_size = enough_bytes;
    lzma_stream stream = LZMA_STREAM_INIT;
    const bool ready = lzma_raw_decoder(&stream, filters) == LZMA_OK;
    free(options);
    if (!ready)
        return false;
    output.resize(uncompressed_bytes);
    stream.next_in = member + ZIP_HEADER_BYTES;
    stream.avail_in = member_bytes - ZIP_HEADER_BYTES;
    stream.next_out = output.data();
    stream.avail_out = output.size();
    lzma_ret status = lzma_code(&stream, LZMA_FINISH);
    const bool ended = status == LZMA_STREAM_END && stream.total_out == uncompressed_bytes;
    output.resize(stream.total_out);
    lzma_end(&stream);
    return ended;
}
