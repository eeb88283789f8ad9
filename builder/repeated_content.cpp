// Finding members whose data repeats another's (see repeated_content.h).
#include "repeated_content.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <tuple>

RepeatedContent FindRepeatedContent(const ZipArchive &archive)
{
    using Key = std::tuple<uint16_t, uint32_t, uint32_t, uint32_t>;  // method, CRC, compressed, uncompressed
    std::map<Key, std::vector<const ZipMember *>> firsts;
    RepeatedContent repeated = {0, 0};
    for (const ZipMember &member : archive.members) {
        if (member.uncompressed_bytes == 0)
            continue;  // folders and empty files cost their headers only
        std::vector<const ZipMember *> &alike =
            firsts[Key(member.method, member.crc, member.compressed_bytes, member.uncompressed_bytes)];
        const uint8_t *data = archive.storage.data() + member.data_offset;
        const auto same_data = [&](const ZipMember *first) {
            return std::memcmp(archive.storage.data() + first->data_offset, data, member.compressed_bytes) == 0;
        };
        if (std::any_of(alike.begin(), alike.end(), same_data)) {
            repeated.members++;
            repeated.archive_bytes += member.compressed_bytes;
        } else {
            alike.push_back(&member);
        }
    }
    return repeated;
}
