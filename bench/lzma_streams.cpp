#include "lzma_streams.h"

#include <lzma.h>

#include <cstdio>
#include <cstring>

#include "portable/byte_order.h"
#include "read_file.h"

// The file: the magic, the preset and the member count, then for each member
// in corpus order its original's size and CRC-32 and its compressed size,
// followed by the compressed bytes. Numbers are 32-bit little-endian.
namespace {

constexpr char MAGIC[8] = {'T', 'V', 'L', 'Z', 'B', 'E', 'N', '1'};

struct Reader {
    const uint8_t *next;
    const uint8_t *end;
    bool Take(void *out, size_t count_bytes)
    {
        if (size_t(end - next) < count_bytes)
            return false;
        std::memcpy(out, next, count_bytes);
        next += count_bytes;
        return true;
    }
    bool Take32(uint32_t *value)
    {
        uint8_t bytes[4];
        if (!Take(bytes, 4))
            return false;
        *value = ReadLe32(bytes);
        return true;
    }
};

void Put32(std::vector<uint8_t> &out, uint32_t value)
{
    uint8_t bytes[4];
    WriteLe32(bytes, value);
    out.insert(out.end(), bytes, bytes + 4);
}

uint32_t OriginalCrc(const LzmaBenchMember &member)
{
    return lzma_crc32(member.original.data(), member.original.size(), 0);
}

bool ParseStreams(const std::vector<uint8_t> &file, uint32_t preset, const std::vector<LzmaBenchMember *> &members)
{
    Reader reader{file.data(), file.data() + file.size()};
    char magic[sizeof MAGIC];
    uint32_t file_preset, member_count;
    if (!reader.Take(magic, sizeof magic) || std::memcmp(magic, MAGIC, sizeof magic) != 0 ||
        !reader.Take32(&file_preset) || file_preset != preset || !reader.Take32(&member_count) ||
        member_count != members.size())
        return false;
    for (LzmaBenchMember *member : members) {
        uint32_t original_bytes, original_crc, compressed_bytes;
        if (!reader.Take32(&original_bytes) || original_bytes != member->original.size() ||
            !reader.Take32(&original_crc) || original_crc != OriginalCrc(*member) ||
            !reader.Take32(&compressed_bytes) || size_t(reader.end - reader.next) < compressed_bytes)
            return false;
        member->compressed.assign(reader.next, reader.next + compressed_bytes);
        reader.next += compressed_bytes;
    }
    return reader.next == reader.end;
}

}  // namespace

bool ReadLzmaStreams(const std::string &path, uint32_t preset, const std::vector<LzmaBenchMember *> &members)
{
    std::vector<uint8_t> file;
    if (ReadFile(path, file) && ParseStreams(file, preset, members))
        return true;
    for (LzmaBenchMember *member : members)
        member->compressed.clear();
    return false;
}

bool WriteLzmaStreams(const std::string &path, uint32_t preset, const std::vector<LzmaBenchMember *> &members)
{
    std::vector<uint8_t> out(MAGIC, MAGIC + sizeof MAGIC);
    Put32(out, preset);
    Put32(out, uint32_t(members.size()));
    for (const LzmaBenchMember *member : members) {
        Put32(out, uint32_t(member->original.size()));
        Put32(out, OriginalCrc(*member));
        Put32(out, uint32_t(member->compressed.size()));
        out.insert(out.end(), member->compressed.begin(), member->compressed.end());
    }
    FILE *file = std::fopen(path.c_str(), "wb");
    if (!file)
        return false;
    const bool written = std::fwrite(out.data(), 1, out.size(), file) == out.size();
    return std::fclose(file) == 0 && written;
}
