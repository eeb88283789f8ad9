// The stub's languages (see stub_language.h).
#include "stub_language.h"

#include "portable/message_table_layout.h"

#include <zlib.h>

#include <algorithm>

const StubLanguage *FindStubLanguage(const std::string &code)
{
    for (size_t index = 0; index < StubLanguageCount; index++)
        if (code == StubLanguages[index].code)
            return &StubLanguages[index];
    return nullptr;
}

std::string StubLanguageCodes()
{
    std::string codes;
    for (size_t index = 0; index < StubLanguageCount; index++)
        codes += std::string(index ? ", " : "") + StubLanguages[index].code;
    return codes;
}

const StubLanguage *StubLanguageOf(const uint8_t *image, size_t size)
{
    for (size_t index = 0; index < StubLanguageCount; index++) {
        const StubLanguage &language = StubLanguages[index];
        const uint8_t *blob = language.message_blob;
        if (std::search(image, image + size, blob, blob + language.message_blob_bytes) != image + size)
            return &language;
    }
    return nullptr;
}

namespace {

bool Carries(const uint8_t *image, size_t image_bytes, const uint8_t *bytes, size_t size)
{
    return std::search(image, image + image_bytes, bytes, bytes + size) != image + image_bytes;
}

// A raw deflate stream unpacked into at most limit bytes; false when it is
// damaged, longer than limit or does not end.
bool Unpack(const uint8_t *blob, uint32_t blob_bytes, size_t limit, std::vector<uint8_t> &out)
{
    z_stream stream = {};
    if (inflateInit2(&stream, -15) != Z_OK)
        return false;
    out.assign(limit + 1, 0);
    stream.next_in = const_cast<Bytef *>(blob);
    stream.avail_in = blob_bytes;
    stream.next_out = out.data();
    stream.avail_out = static_cast<uInt>(out.size());
    const int status = inflate(&stream, Z_FINISH);
    out.resize(out.size() - stream.avail_out);
    inflateEnd(&stream);
    return status == Z_STREAM_END && out.size() <= limit;
}

}  // namespace

std::string StubTableFault(const StubLanguage &language, const uint8_t *image, size_t size)
{
    uint8_t offsets_bytes[(MESSAGE_STRING_COUNT + 1) * 4];
    for (int id = 0; id <= MESSAGE_STRING_COUNT; id++)
        for (int shift = 0; shift < 4; shift++)
            offsets_bytes[id * 4 + shift] = uint8_t(language.message_offsets[id] >> (8 * shift));
    if (!Carries(image, size, language.message_blob, language.message_blob_bytes) ||
        !Carries(image, size, offsets_bytes, sizeof offsets_bytes) ||
        !Carries(image, size, language.password_blob, language.password_blob_bytes))
        return std::string("the stub does not carry the whole ") + language.code +
               " message table, its offsets and the password dialog";
    std::vector<uint8_t> table;
    if (!Unpack(language.message_blob, language.message_blob_bytes, MESSAGE_TABLE_CONTENT_MAX_BYTES, table))
        return "the message table does not unpack into its " + std::to_string(MESSAGE_TABLE_CONTENT_MAX_BYTES) +
               "-byte block";
    const uint32_t *offsets = language.message_offsets;
    if (offsets[0] != 0 || offsets[MESSAGE_STRING_COUNT] > table.size() ||
        offsets[MESSAGE_STRING_COUNT] + MAIN_DIALOG_COPY_BYTES > MESSAGE_TABLE_BYTES)
        return "the message table's texts leave no room for the main dialog's copy";
    for (int id = 0; id < MESSAGE_STRING_COUNT; id++)
        if (offsets[id + 1] <= offsets[id] || table[offsets[id + 1] - 1] != 0 ||
            std::find(table.begin() + offsets[id], table.begin() + offsets[id + 1], 0) !=
                table.begin() + offsets[id + 1] - 1)
            return "text " + std::to_string(id) + " of the message table does not end where the next begins";
    std::vector<uint8_t> password;
    if (!Unpack(language.password_blob, language.password_blob_bytes, PASSWORD_TEMPLATE_MAX_BYTES, password))
        return "the password dialog does not unpack into its " + std::to_string(PASSWORD_TEMPLATE_MAX_BYTES) +
               "-byte block";
    return "";
}
