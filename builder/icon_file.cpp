// .ico reading and icon group 1 (see icon_file.h).
#include "icon_file.h"

#include "build_error.h"
#include "portable/byte_order.h"

#include <algorithm>
#include <cstring>
#include <set>

namespace {

constexpr size_t ICONDIR_BYTES = 6;
constexpr size_t ICONDIRENTRY_BYTES = 16;
constexpr size_t GROUP_ENTRY_BYTES = 14;  // GRPICONDIRENTRY: the file offset becomes a 16-bit id
constexpr uint16_t ICON_TYPE = 1;
constexpr uint16_t CURSOR_TYPE = 2;
constexpr size_t BITMAP_HEADER_BYTES = 40;  // BITMAPINFOHEADER
constexpr uint16_t DEFAULT_ICON_LANGUAGE = 1033;
const uint8_t PngSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};

bool IsPng(const uint8_t *bytes, size_t count) { return count >= 8 && std::memcmp(bytes, PngSignature, 8) == 0; }

uint32_t RowBytes(uint32_t width, uint32_t bits) { return (uint32_t(uint64_t(width) * bits + 31) / 32) * 4; }

// Checks one image against its directory entry; fills its planes and bit
// count where the directory leaves them 0. Returns the reason, or "".
std::string CheckImage(IconImage &image)
{
    const uint8_t *data = image.data.data();
    const size_t bytes = image.data.size();
    if (IsPng(data, bytes)) {
        image.png = true;
        if (bytes < 33 || std::memcmp(data + 12, "IHDR", 4) != 0)
            return "its PNG has no IHDR chunk";
        const uint32_t width = uint32_t(data[16]) << 24 | data[17] << 16 | data[18] << 8 | data[19];
        const uint32_t height = uint32_t(data[20]) << 24 | data[21] << 16 | data[22] << 8 | data[23];
        if (width != image.width || height != image.height)
            return "the directory says " + std::to_string(image.width) + "x" + std::to_string(image.height) +
                   ", its PNG is " + std::to_string(width) + "x" + std::to_string(height);
        static const uint8_t channels[] = {1, 0, 3, 1, 2, 0, 4};  // by PNG colour type
        const uint8_t colour_type = data[25];
        if (!image.bit_count)
            image.bit_count = static_cast<uint16_t>(data[24] * (colour_type < 7 ? channels[colour_type] : 0));
        if (!image.planes)
            image.planes = 1;
        return "";
    }
    if (bytes < BITMAP_HEADER_BYTES || ReadLe32(data) < BITMAP_HEADER_BYTES)
        return "it is neither a bitmap (BITMAPINFOHEADER) nor a PNG";
    const int32_t width = static_cast<int32_t>(ReadLe32(data + 4));
    const int32_t height = static_cast<int32_t>(ReadLe32(data + 8));
    const uint16_t planes = ReadLe16(data + 12), bits = ReadLe16(data + 14);
    const uint32_t compression = ReadLe32(data + 16), colours_used = ReadLe32(data + 32);
    if (width <= 0 || uint32_t(width) != image.width || height != int32_t(2 * image.height))
        return "the directory says " + std::to_string(image.width) + "x" + std::to_string(image.height) +
               ", its bitmap is " + std::to_string(width) + "x" + std::to_string(height / 2);
    if (planes != 1 || (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32) ||
        compression != 0)
        return "its bitmap has " + std::to_string(planes) + " planes of " + std::to_string(bits) +
               " bits, compression " + std::to_string(compression) + " (an icon has 1 uncompressed plane)";
    const uint64_t palette = bits <= 8 ? uint64_t(colours_used ? colours_used : 1u << bits) * 4 : 0;
    const uint64_t needed = ReadLe32(data) + palette + uint64_t(RowBytes(width, bits)) * image.height +
                            uint64_t(RowBytes(width, 1)) * image.height;
    if (bytes < needed)
        return std::to_string(bytes) + " bytes, where its bitmap needs " + std::to_string(needed);
    if (!image.bit_count)
        image.bit_count = bits;
    if (!image.planes)
        image.planes = 1;
    return "";
}

// The fields an .ico file's directory entry and an icon group's entry share
// (their first 8 bytes): size (0 for 256), colours, planes, bits per pixel.
IconImage ImageOfEntry(const uint8_t *entry)
{
    IconImage image = {};
    image.width = entry[0] ? entry[0] : 256;
    image.height = entry[1] ? entry[1] : 256;
    image.colour_count = entry[2];
    image.planes = ReadLe16(entry + 4);
    image.bit_count = ReadLe16(entry + 6);
    return image;
}

}  // namespace

std::vector<IconImage> ReadIcoFile(const std::vector<uint8_t> &bytes, const std::string &path)
{
    const char *name = path.c_str();
    if (IsPng(bytes.data(), bytes.size()))
        Refuse("--icon %s: a PNG image, not an .ico file (icotool -c makes one from it)", name);
    if (bytes.size() < ICONDIR_BYTES)
        Refuse("--icon %s: %zu bytes, too short for an .ico file's header", name, bytes.size());
    const uint16_t type = ReadLe16(bytes.data() + 2), count = ReadLe16(bytes.data() + 4);
    if (ReadLe16(bytes.data()) != 0 || type != ICON_TYPE)
        Refuse(type == CURSOR_TYPE && ReadLe16(bytes.data()) == 0 ? "--icon %s: a cursor (.cur), not an icon"
                                                                 : "--icon %s: not an .ico file (no icon directory)",
               name);
    if (count == 0)
        Refuse("--icon %s: its directory holds no image", name);
    if (ICONDIR_BYTES + size_t(count) * ICONDIRENTRY_BYTES > bytes.size())
        Refuse("--icon %s: truncated: its directory of %u images runs past the end of the file (%zu bytes)", name,
               count, bytes.size());

    std::vector<IconImage> images;
    for (unsigned index = 0; index < count; index++) {
        const uint8_t *entry = bytes.data() + ICONDIR_BYTES + index * ICONDIRENTRY_BYTES;
        IconImage image = ImageOfEntry(entry);
        const uint32_t image_bytes = ReadLe32(entry + 8), offset = ReadLe32(entry + 12);
        if (uint64_t(offset) + image_bytes > bytes.size())
            Refuse("--icon %s: truncated: image %u (%ux%u) ends at %llu, past the end of the file (%zu bytes)", name,
                   index + 1, image.width, image.height, static_cast<unsigned long long>(uint64_t(offset) + image_bytes),
                   bytes.size());
        if (offset < ICONDIR_BYTES + size_t(count) * ICONDIRENTRY_BYTES)
            Refuse("--icon %s: image %u starts at %u, inside the directory", name, index + 1, offset);
        image.data.assign(bytes.begin() + offset, bytes.begin() + offset + image_bytes);
        const std::string reason = CheckImage(image);
        if (!reason.empty())
            Refuse("--icon %s: image %u (%ux%u): %s", name, index + 1, image.width, image.height, reason.c_str());
        images.push_back(std::move(image));
    }
    return images;
}

IconGroupFacts ReadAppIcon(const ResourceTable &table)
{
    IconGroupFacts facts;
    const ResourceEntry *group = table.Find(RESOURCE_TYPE_GROUP_ICON, 1);
    if (!group)
        return facts;
    facts.present = true;
    const std::vector<uint8_t> &data = group->data;
    if (data.size() < ICONDIR_BYTES || ReadLe16(data.data()) != 0 || ReadLe16(data.data() + 2) != ICON_TYPE) {
        facts.failure = "icon group 1 has no icon directory header";
        return facts;
    }
    const uint16_t count = ReadLe16(data.data() + 4);
    if (ICONDIR_BYTES + size_t(count) * GROUP_ENTRY_BYTES > data.size()) {
        facts.failure = "icon group 1's directory runs past its " + std::to_string(data.size()) + " bytes";
        return facts;
    }
    for (unsigned index = 0; index < count; index++) {
        const uint8_t *entry = data.data() + ICONDIR_BYTES + index * GROUP_ENTRY_BYTES;
        IconImage image = ImageOfEntry(entry);
        const uint32_t stated_bytes = ReadLe32(entry + 8);
        const uint16_t id = ReadLe16(entry + 12);
        const ResourceEntry *icon = table.Find(RESOURCE_TYPE_ICON, id);
        if (!icon) {
            facts.failure = "icon group 1 names icon " + std::to_string(id) + ", which is not there";
            return facts;
        }
        if (icon->data.size() != stated_bytes) {
            facts.failure = "icon group 1 says icon " + std::to_string(id) + " has " + std::to_string(stated_bytes) +
                            " bytes; it has " + std::to_string(icon->data.size());
            return facts;
        }
        image.data = icon->data;
        image.png = IsPng(image.data.data(), image.data.size());
        facts.images.push_back(std::move(image));
        facts.ids.push_back(id);
    }
    return facts;
}

void SetAppIcon(ResourceTable &table, const std::vector<IconImage> &images)
{
    const ResourceEntry *old_group = table.Find(RESOURCE_TYPE_GROUP_ICON, 1);
    const uint16_t language = old_group ? old_group->language : DEFAULT_ICON_LANGUAGE;
    // The icons group 1 named and no other group does.
    std::set<uint16_t> unused;
    for (uint16_t id : ReadAppIcon(table).ids)
        unused.insert(id);
    for (const ResourceEntry &entry : table.entries) {
        if (!(entry.type == ResourceId(RESOURCE_TYPE_GROUP_ICON)) || entry.name == ResourceId(1))
            continue;
        for (size_t at = ICONDIR_BYTES; at + GROUP_ENTRY_BYTES <= entry.data.size(); at += GROUP_ENTRY_BYTES)
            unused.erase(ReadLe16(entry.data.data() + at + 12));
    }
    for (uint16_t id : unused)
        table.Remove(RESOURCE_TYPE_ICON, id);
    table.Remove(RESOURCE_TYPE_GROUP_ICON, 1);

    std::set<uint16_t> taken;
    for (const ResourceEntry &entry : table.entries)
        if (entry.type == ResourceId(RESOURCE_TYPE_ICON) && !entry.name.named)
            taken.insert(entry.name.id);
    std::vector<uint8_t> group(ICONDIR_BYTES + images.size() * GROUP_ENTRY_BYTES, 0);
    WriteLe16(group.data() + 2, ICON_TYPE);
    WriteLe16(group.data() + 4, static_cast<uint16_t>(images.size()));
    uint16_t next_id = 1;
    for (size_t index = 0; index < images.size(); index++) {
        const IconImage &image = images[index];
        while (taken.count(next_id))
            next_id++;
        if (next_id == 0)
            Refuse("--icon: no free icon resource number is left in the stub");
        taken.insert(next_id);
        uint8_t *entry = group.data() + ICONDIR_BYTES + index * GROUP_ENTRY_BYTES;
        entry[0] = static_cast<uint8_t>(image.width >= 256 ? 0 : image.width);
        entry[1] = static_cast<uint8_t>(image.height >= 256 ? 0 : image.height);
        entry[2] = image.colour_count;
        WriteLe16(entry + 4, image.planes);
        WriteLe16(entry + 6, image.bit_count);
        WriteLe32(entry + 8, static_cast<uint32_t>(image.data.size()));
        WriteLe16(entry + 12, next_id);
        table.entries.push_back(ResourceEntry{ResourceId(RESOURCE_TYPE_ICON), ResourceId(next_id), language, 0,
                                              image.data});
    }
    table.entries.push_back(ResourceEntry{ResourceId(RESOURCE_TYPE_GROUP_ICON), ResourceId(1), language, 0, group});
}
