// SfxHeader layout and compression (see sfx_header_builder.h).
#include "sfx_header_builder.h"

#include "build_error.h"
#include "portable/parameter_block.h"

#include "deflate_compressor.h"

const char *const HeaderFieldOptions[HEADER_FIELD_COUNT] = {
    "--about", "--command", "--parameters", "(reserved field)",
    "--text",  "--title",   "--intro",      "--info",
};

namespace {

std::vector<uint8_t> LayOutFields(const HeaderTexts &texts, uint32_t flags, FieldBounds bounds)
{
    std::vector<uint8_t> unpacked;
    for (int field = 0; field < HEADER_FIELD_COUNT; field++) {
        const std::string &text = texts.fields[field];
        if (text.find('\0') != std::string::npos)
            Refuse("%s: a NUL byte would end the field early", HeaderFieldOptions[field]);
        if (field == HEADER_TITLE && !(flags & FLAG_HAS_TITLE) && !text.empty())
            Refuse("--title: the flags word lacks bit 4 (0x10), without which the stub reads no title");
        if (bounds == FieldBounds::Checked && text.size() + 1 > HeaderFieldBounds[field])
            Refuse("%s: %zu bytes, over the stub's limit of %zu bytes for this field",
                   HeaderFieldOptions[field], text.size(), HeaderFieldBounds[field] - 1);
        unpacked.insert(unpacked.end(), text.begin(), text.end());
        unpacked.push_back(0);
    }
    return unpacked;
}

}  // namespace

SfxHeaderImage BuildSfxHeader(const HeaderTexts &texts, uint32_t flags, FieldBounds bounds)
{
    std::vector<uint8_t> unpacked = LayOutFields(texts, flags, bounds);
    if (unpacked.size() > HEADER_UNPACKED_MAX_BYTES)
        Refuse("header texts: %zu bytes together, over the stub's limit of %zu; shorten the texts",
               unpacked.size(), HEADER_UNPACKED_MAX_BYTES);

    // Deflate never needs more than 5 bytes per 64 KiB over the input, so
    // this limit only ever stops a stream that could not be the header.
    DeflateCompressor compressor;
    std::vector<uint8_t> compressed = compressor.Compress(unpacked.data(), unpacked.size(), unpacked.size() + 64);
    if (compressed.empty())
        Refuse("internal: the header did not compress within its bound");
    if (compressed.size() > HEADER_COMPRESSED_MAX_BYTES)
        Refuse("header texts: %zu bytes compressed, over the stub's limit of %zu; shorten the texts",
               compressed.size(), HEADER_COMPRESSED_MAX_BYTES);
    return SfxHeaderImage{std::move(compressed), unpacked.size()};
}
