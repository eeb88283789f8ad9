// Resource section reading and layout (see pe_resources.h).
#include "pe_resources.h"

#include "build_error.h"
#include "pe_image.h"
#include "portable/byte_order.h"

#include <algorithm>
#include <cstring>
#include <map>

bool operator==(const ResourceKey &a, const ResourceKey &b)
{
    return a.named == b.named && (a.named ? a.name == b.name : a.id == b.id);
}

const ResourceEntry *ResourceTable::Find(uint16_t type, uint16_t name) const
{
    for (const ResourceEntry &entry : entries)
        if (entry.type == ResourceId(type) && entry.name == ResourceId(name))
            return &entry;
    return nullptr;
}

ResourceEntry *ResourceTable::Find(uint16_t type, uint16_t name)
{
    return const_cast<ResourceEntry *>(static_cast<const ResourceTable *>(this)->Find(type, name));
}

void ResourceTable::Remove(uint16_t type, uint16_t name)
{
    entries.erase(std::remove_if(entries.begin(), entries.end(),
                                 [&](const ResourceEntry &entry) {
                                     return entry.type == ResourceId(type) && entry.name == ResourceId(name);
                                 }),
                  entries.end());
}

namespace {

// --- the PE headers, read tolerantly -------------------------------------

constexpr size_t OPT = 24;  // the optional header, from the "PE\0\0" signature
constexpr size_t OPT_SIZE_OF_INITIALIZED_DATA = OPT + 8;
constexpr size_t OPT_SECTION_ALIGNMENT = OPT + 32;
constexpr size_t OPT_FILE_ALIGNMENT = OPT + 36;
constexpr size_t OPT_SIZE_OF_IMAGE = OPT + 56;
constexpr size_t OPT_CHECKSUM = OPT + 64;
constexpr size_t DIRECTORY_RESOURCE = 2;
constexpr size_t DIRECTORY_SECURITY = 4;  // a file offset, not an RVA
constexpr size_t DIRECTORY_BASE_RELOCATION = 5;

struct Section {
    std::string name;
    uint32_t virtual_size, virtual_address, raw_size, raw_offset;
    size_t header_offset;
};

struct PeHeaders {
    uint32_t nt_offset = 0;
    size_t directories = 0;          // file offset of data directory 0
    uint32_t directory_count = 0;
    std::vector<Section> sections;
};

bool ReadHeaders(const std::vector<uint8_t> &image, PeHeaders &pe, std::string &failure)
{
    if (image.size() < 64 || image[0] != 'M' || image[1] != 'Z') {
        failure = "no MZ header";
        return false;
    }
    pe.nt_offset = ReadLe32(image.data() + 0x3C);
    if (pe.nt_offset > image.size() || image.size() - pe.nt_offset < OPT + 2 ||
        std::memcmp(image.data() + pe.nt_offset, "PE\0\0", 4) != 0) {
        failure = "no PE signature at e_lfanew";
        return false;
    }
    const uint8_t *nt = image.data() + pe.nt_offset;
    const uint16_t magic = ReadLe16(nt + OPT);
    const size_t optional_bytes = ReadLe16(nt + 20);
    const size_t count_at = magic == 0x020B ? OPT + 108 : OPT + 92;
    if (magic != 0x010B && magic != 0x020B) {
        failure = "neither PE32 nor PE32+";
        return false;
    }
    const size_t table = pe.nt_offset + OPT + optional_bytes;
    const size_t section_count = ReadLe16(nt + 6);
    if (optional_bytes < count_at + 4 - OPT || table + section_count * PE_SECTION_HEADER_BYTES > image.size()) {
        failure = "the headers run past the end of the file";
        return false;
    }
    pe.directory_count = ReadLe32(nt + count_at);
    pe.directories = pe.nt_offset + count_at + 4;
    if (pe.directory_count > (optional_bytes - (count_at + 4 - OPT)) / 8)
        pe.directory_count = static_cast<uint32_t>((optional_bytes - (count_at + 4 - OPT)) / 8);
    for (size_t index = 0; index < section_count; index++) {
        const uint8_t *header = image.data() + table + index * PE_SECTION_HEADER_BYTES;
        Section section;
        section.name.assign(reinterpret_cast<const char *>(header), strnlen(reinterpret_cast<const char *>(header), 8));
        section.virtual_size = ReadLe32(header + 8);
        section.virtual_address = ReadLe32(header + 12);
        section.raw_size = ReadLe32(header + 16);
        section.raw_offset = ReadLe32(header + 20);
        section.header_offset = table + index * PE_SECTION_HEADER_BYTES;
        pe.sections.push_back(section);
    }
    return true;
}

// Data directory index as (RVA, size); (0, 0) beyond NumberOfRvaAndSizes.
std::pair<uint32_t, uint32_t> Directory(const std::vector<uint8_t> &image, const PeHeaders &pe, size_t index)
{
    if (index >= pe.directory_count)
        return {0, 0};
    const uint8_t *entry = image.data() + pe.directories + index * 8;
    return {ReadLe32(entry), ReadLe32(entry + 4)};
}

// The section whose memory holds rva; nullptr if none.
const Section *SectionAt(const PeHeaders &pe, uint32_t rva)
{
    for (const Section &section : pe.sections) {
        const uint32_t span = std::max(section.virtual_size, section.raw_size);
        if (rva >= section.virtual_address && rva - section.virtual_address < span)
            return &section;
    }
    return nullptr;
}

// --- the tree ------------------------------------------------------------

constexpr uint32_t SUBDIRECTORY_BIT = 0x80000000u;
constexpr uint32_t NAME_STRING_BIT = 0x80000000u;
constexpr size_t DIRECTORY_HEADER_BYTES = 16;
constexpr size_t DIRECTORY_ENTRY_BYTES = 8;
constexpr size_t DATA_ENTRY_BYTES = 16;
// More than any real program has; bounds on the work a looping tree makes.
constexpr size_t LEAVES_MAX = 65536;
constexpr size_t ENTRIES_VISITED_MAX = size_t(1) << 20;
constexpr uint32_t DATA_ALIGNMENT = 8;

// The bytes of the resource section from the directory's root on, with the
// offsets inside it that entries use, checked before every read.
class TreeReader {
public:
    TreeReader(const std::vector<uint8_t> &image, const PeHeaders &pe, const Section &section, uint32_t root_rva)
        : image_(image), pe_(pe)
    {
        const uint64_t raw_end = std::min<uint64_t>(uint64_t(section.raw_offset) + section.raw_size, image.size());
        root_ = section.raw_offset + (root_rva - section.virtual_address);
        limit_ = root_ < raw_end ? raw_end : root_;
    }

    bool Walk(ResourceTable &table, std::string &failure)
    {
        return WalkLevel(0, 0, ResourceEntry{}, table, failure);
    }

private:
    bool Has(uint64_t offset, uint64_t bytes) const { return root_ + offset + bytes <= limit_; }

    bool Key(uint32_t field, ResourceKey &key, std::string &failure) const
    {
        if (!(field & NAME_STRING_BIT)) {
            if (field > 0xFFFF) {
                failure = "an entry's number is over 16 bits";
                return false;
            }
            key = ResourceId(static_cast<uint16_t>(field));
            return true;
        }
        const uint32_t at = field & ~NAME_STRING_BIT;
        if (!Has(at, 2) || !Has(at + 2, 2ull * ReadLe16(image_.data() + root_ + at))) {
            failure = "a name string lies outside the resource section";
            return false;
        }
        key.named = true;
        const uint16_t length = ReadLe16(image_.data() + root_ + at);
        for (uint16_t index = 0; index < length; index++)
            key.name.push_back(static_cast<char16_t>(ReadLe16(image_.data() + root_ + at + 2 + 2 * index)));
        return true;
    }

    bool Leaf(uint32_t at, ResourceEntry entry, ResourceTable &table, std::string &failure)
    {
        if (!Has(at, DATA_ENTRY_BYTES)) {
            failure = "a data entry lies outside the resource section";
            return false;
        }
        const uint8_t *data_entry = image_.data() + root_ + at;
        const uint32_t rva = ReadLe32(data_entry), bytes = ReadLe32(data_entry + 4);
        entry.codepage = ReadLe32(data_entry + 8);
        const Section *holder = SectionAt(pe_, rva);
        if (!holder || rva - holder->virtual_address > holder->raw_size ||
            bytes > holder->raw_size - (rva - holder->virtual_address) ||
            uint64_t(holder->raw_offset) + (rva - holder->virtual_address) + bytes > image_.size()) {
            failure = "a resource's data (RVA 0x" + Hex(rva) + ", " + std::to_string(bytes) +
                      " bytes) lies outside the file's sections";
            return false;
        }
        const size_t file_at = holder->raw_offset + (rva - holder->virtual_address);
        entry.data.assign(image_.begin() + file_at, image_.begin() + file_at + bytes);
        if (table.entries.size() >= LEAVES_MAX) {
            failure = "over " + std::to_string(LEAVES_MAX) + " resources (a looping directory?)";
            return false;
        }
        table.entries.push_back(std::move(entry));
        return true;
    }

    // One directory table at level 0 (types), 1 (names) or 2 (languages).
    bool WalkLevel(int level, uint32_t at, const ResourceEntry &partial, ResourceTable &table, std::string &failure)
    {
        if (!Has(at, DIRECTORY_HEADER_BYTES)) {
            failure = "a directory table lies outside the resource section";
            return false;
        }
        const uint8_t *header = image_.data() + root_ + at;
        const uint32_t count = uint32_t(ReadLe16(header + 12)) + ReadLe16(header + 14);
        entries_visited_ += count;
        if (entries_visited_ > ENTRIES_VISITED_MAX) {
            failure = "over " + std::to_string(ENTRIES_VISITED_MAX) + " directory entries (a looping directory?)";
            return false;
        }
        if (!Has(at + DIRECTORY_HEADER_BYTES, uint64_t(count) * DIRECTORY_ENTRY_BYTES)) {
            failure = "a directory's entries run past the resource section";
            return false;
        }
        for (uint32_t index = 0; index < count; index++) {
            const uint8_t *item = header + DIRECTORY_HEADER_BYTES + index * DIRECTORY_ENTRY_BYTES;
            const uint32_t key_field = ReadLe32(item), target = ReadLe32(item + 4);
            ResourceEntry entry = partial;
            if (level == 2) {
                if (key_field > 0xFFFF) {
                    failure = "a language is not a number";
                    return false;
                }
                entry.language = static_cast<uint16_t>(key_field);
                if (target & SUBDIRECTORY_BIT) {
                    failure = "the tree is deeper than type, name and language";
                    return false;
                }
                if (!Leaf(target, std::move(entry), table, failure))
                    return false;
                continue;
            }
            if (!Key(key_field, level == 0 ? entry.type : entry.name, failure))
                return false;
            if (!(target & SUBDIRECTORY_BIT)) {
                failure = "the tree is shallower than type, name and language";
                return false;
            }
            if (!WalkLevel(level + 1, target & ~SUBDIRECTORY_BIT, entry, table, failure))
                return false;
        }
        return true;
    }

    static std::string Hex(uint32_t value)
    {
        char text[16];
        std::snprintf(text, sizeof text, "%X", value);
        return text;
    }

    const std::vector<uint8_t> &image_;
    const PeHeaders &pe_;
    uint64_t root_ = 0, limit_ = 0;
    size_t entries_visited_ = 0;
};

// Directory order: named entries by their upper-cased names, then numbers.
bool KeyBefore(const ResourceKey &a, const ResourceKey &b)
{
    if (a.named != b.named)
        return a.named;
    if (!a.named)
        return a.id < b.id;
    auto upper = [](char16_t c) { return c >= u'a' && c <= u'z' ? char16_t(c - 32) : c; };
    return std::lexicographical_compare(a.name.begin(), a.name.end(), b.name.begin(), b.name.end(),
                                        [&](char16_t x, char16_t y) { return upper(x) < upper(y); });
}

struct KeyLess {
    bool operator()(const ResourceKey &a, const ResourceKey &b) const { return KeyBefore(a, b); }
};

}  // namespace

ResourceRead ReadResources(const std::vector<uint8_t> &image)
{
    ResourceRead read;
    PeHeaders pe;
    if (!ReadHeaders(image, pe, read.failure))
        return read;
    const auto directory = Directory(image, pe, DIRECTORY_RESOURCE);
    read.directory_rva = directory.first;
    read.directory_bytes = directory.second;
    read.present = directory.first != 0 || directory.second != 0;
    if (!read.present)
        return read;
    const Section *section = SectionAt(pe, directory.first);
    if (!section || directory.first - section->virtual_address >= section->raw_size) {
        read.failure = "the resource directory's RVA lies in no section's file data";
        return read;
    }
    read.section = section->name;
    TreeReader reader(image, pe, *section, directory.first);
    if (!reader.Walk(read.table, read.failure))
        read.table.entries.clear();
    return read;
}

std::vector<uint8_t> LayOutResources(const ResourceTable &table, uint32_t rva)
{
    // type -> name -> language -> entry index, each level in directory order.
    using Languages = std::map<uint16_t, size_t>;
    using Names = std::map<ResourceKey, Languages, KeyLess>;
    std::map<ResourceKey, Names, KeyLess> tree;
    for (size_t index = 0; index < table.entries.size(); index++) {
        const ResourceEntry &entry = table.entries[index];
        Languages &languages = tree[entry.type][entry.name];
        if (languages.count(entry.language))
            Refuse("internal: two resources of the same type, name and language");
        languages[entry.language] = index;
    }

    bool too_wide = tree.size() > 0xFFFF;
    for (const auto &type : tree) {
        too_wide = too_wide || type.second.size() > 0xFFFF;
        for (const auto &name : type.second)
            too_wide = too_wide || name.second.size() > 0xFFFF;
    }
    if (too_wide)
        Refuse("over 65535 resources in one directory of the resource section");
    auto table_bytes = [](size_t entries) { return DIRECTORY_HEADER_BYTES + entries * DIRECTORY_ENTRY_BYTES; };
    size_t directories_bytes = table_bytes(tree.size());
    for (const auto &type : tree) {
        directories_bytes += table_bytes(type.second.size());
        for (const auto &name : type.second)
            directories_bytes += table_bytes(name.second.size());
    }
    const size_t data_entries_at = directories_bytes;
    size_t strings_at = data_entries_at + table.entries.size() * DATA_ENTRY_BYTES;
    size_t strings_bytes = 0;
    for (const auto &type : tree) {
        if (type.first.named)
            strings_bytes += 2 + 2 * type.first.name.size();
        for (const auto &name : type.second)
            if (name.first.named)
                strings_bytes += 2 + 2 * name.first.name.size();
    }
    size_t data_at = AlignUp(static_cast<uint32_t>(strings_at + strings_bytes), DATA_ALIGNMENT);
    size_t total = data_at;
    for (const ResourceEntry &entry : table.entries)
        total = AlignUp(static_cast<uint32_t>(total), DATA_ALIGNMENT) + entry.data.size();
    if (total > 0x7FFFFFFF)
        Refuse("the resources come to %zu bytes, over 2 GiB", total);
    std::vector<uint8_t> out(total, 0);

    auto put_string = [&](const std::u16string &text) {
        const size_t at = strings_at;
        WriteLe16(out.data() + at, static_cast<uint16_t>(text.size()));
        for (size_t index = 0; index < text.size(); index++)
            WriteLe16(out.data() + at + 2 + 2 * index, text[index]);
        strings_at += 2 + 2 * text.size();
        return static_cast<uint32_t>(at) | NAME_STRING_BIT;
    };
    auto key_field = [&](const ResourceKey &key) { return key.named ? put_string(key.name) : uint32_t(key.id); };
    auto put_table = [&](size_t at, size_t named, size_t numbered) {
        WriteLe16(out.data() + at + 12, static_cast<uint16_t>(named));
        WriteLe16(out.data() + at + 14, static_cast<uint16_t>(numbered));
    };
    auto count_named = [](const auto &level) {
        size_t named = 0;
        for (const auto &item : level)
            named += item.first.named ? 1 : 0;
        return named;
    };

    // Breadth first: the root, every type's table, every name's table.
    size_t next_table = table_bytes(tree.size());
    size_t next_data_entry = data_entries_at;
    put_table(0, count_named(tree), tree.size() - count_named(tree));
    size_t root_item = DIRECTORY_HEADER_BYTES;
    std::vector<std::pair<size_t, const Names *>> type_tables;
    for (const auto &type : tree) {
        WriteLe32(out.data() + root_item, key_field(type.first));
        WriteLe32(out.data() + root_item + 4, static_cast<uint32_t>(next_table) | SUBDIRECTORY_BIT);
        type_tables.push_back({next_table, &type.second});
        next_table += table_bytes(type.second.size());
        root_item += DIRECTORY_ENTRY_BYTES;
    }
    std::vector<std::pair<size_t, const Languages *>> name_tables;
    for (const auto &type_table : type_tables) {
        const Names &names = *type_table.second;
        put_table(type_table.first, count_named(names), names.size() - count_named(names));
        size_t item = type_table.first + DIRECTORY_HEADER_BYTES;
        for (const auto &name : names) {
            WriteLe32(out.data() + item, key_field(name.first));
            WriteLe32(out.data() + item + 4, static_cast<uint32_t>(next_table) | SUBDIRECTORY_BIT);
            name_tables.push_back({next_table, &name.second});
            next_table += table_bytes(name.second.size());
            item += DIRECTORY_ENTRY_BYTES;
        }
    }
    for (const auto &name_table : name_tables) {
        const Languages &languages = *name_table.second;
        put_table(name_table.first, 0, languages.size());
        size_t item = name_table.first + DIRECTORY_HEADER_BYTES;
        for (const auto &language : languages) {
            const ResourceEntry &entry = table.entries[language.second];
            data_at = AlignUp(static_cast<uint32_t>(data_at), DATA_ALIGNMENT);
            WriteLe32(out.data() + item, language.first);
            WriteLe32(out.data() + item + 4, static_cast<uint32_t>(next_data_entry));
            WriteLe32(out.data() + next_data_entry, rva + static_cast<uint32_t>(data_at));
            WriteLe32(out.data() + next_data_entry + 4, static_cast<uint32_t>(entry.data.size()));
            WriteLe32(out.data() + next_data_entry + 8, entry.codepage);
            std::copy(entry.data.begin(), entry.data.end(), out.begin() + data_at);
            data_at += entry.data.size();
            next_data_entry += DATA_ENTRY_BYTES;
            item += DIRECTORY_ENTRY_BYTES;
        }
    }
    return out;
}

std::vector<uint8_t> ReplaceResources(const std::vector<uint8_t> &stub, const ResourceTable &table)
{
    PeHeaders pe;
    std::string failure;
    if (!ReadHeaders(stub, pe, failure))
        Refuse("stub: %s", failure.c_str());
    const auto directory = Directory(stub, pe, DIRECTORY_RESOURCE);
    const auto relocations = Directory(stub, pe, DIRECTORY_BASE_RELOCATION);
    const uint8_t *nt = stub.data() + pe.nt_offset;
    const uint32_t file_alignment = ReadLe32(nt + OPT_FILE_ALIGNMENT);
    const uint32_t section_alignment = ReadLe32(nt + OPT_SECTION_ALIGNMENT);

    size_t rsrc = pe.sections.size();
    for (size_t index = 0; index < pe.sections.size(); index++)
        if (directory.second && pe.sections[index].virtual_address == directory.first)
            rsrc = index;
    if (rsrc == pe.sections.size())
        Refuse("stub: no section begins with its resource directory; its resources cannot be rewritten");
    const Section old_rsrc = pe.sections[rsrc];
    // What follows .rsrc must be movable: only the base relocations, whose
    // bytes nothing addresses but their own directory entry.
    for (size_t index = 0; index < pe.sections.size(); index++) {
        const Section &section = pe.sections[index];
        if (section.virtual_address <= old_rsrc.virtual_address)
            continue;
        const bool is_relocations = relocations.second && section.virtual_address <= relocations.first &&
                                    relocations.first - section.virtual_address < section.virtual_size;
        if (!is_relocations || index != rsrc + 1 || section.raw_offset != old_rsrc.raw_offset + old_rsrc.raw_size)
            Refuse("stub: section %s follows .rsrc and cannot be moved; its resources cannot be rewritten",
                   section.name.c_str());
    }
    for (size_t index = 0; index < pe.directory_count; index++) {
        const auto entry = Directory(stub, pe, index);
        if (index == DIRECTORY_RESOURCE || index == DIRECTORY_BASE_RELOCATION || index == DIRECTORY_SECURITY ||
            entry.second == 0)
            continue;
        if (entry.first >= old_rsrc.virtual_address)
            Refuse("stub: data directory %zu lies in or after .rsrc; its resources cannot be rewritten", index);
    }
    if (ReadLe32(nt + 12) != 0)
        Refuse("stub: it has a COFF symbol table; its resources cannot be rewritten");

    const std::vector<uint8_t> content = LayOutResources(table, old_rsrc.virtual_address);
    const uint32_t raw_bytes = AlignUp(static_cast<uint32_t>(content.size()), file_alignment);
    std::vector<uint8_t> image(stub.begin(), stub.begin() + old_rsrc.raw_offset);
    image.insert(image.end(), content.begin(), content.end());
    image.resize(size_t(old_rsrc.raw_offset) + raw_bytes, 0);

    uint8_t *rsrc_header = image.data() + old_rsrc.header_offset;
    WriteLe32(rsrc_header + 8, static_cast<uint32_t>(content.size()));
    WriteLe32(rsrc_header + 16, raw_bytes);
    uint32_t virtual_end = old_rsrc.virtual_address + std::max<uint32_t>(static_cast<uint32_t>(content.size()), raw_bytes);
    for (size_t index = rsrc + 1; index < pe.sections.size(); index++) {
        const Section &section = pe.sections[index];
        const uint32_t new_address = AlignUp(virtual_end, section_alignment);
        const uint32_t new_offset = static_cast<uint32_t>(image.size());
        if (uint64_t(section.raw_offset) + section.raw_size > stub.size())
            Refuse("stub: section %s runs past the end of the file", section.name.c_str());
        image.insert(image.end(), stub.begin() + section.raw_offset,
                     stub.begin() + section.raw_offset + section.raw_size);
        uint8_t *header = image.data() + section.header_offset;
        WriteLe32(header + 12, new_address);
        WriteLe32(header + 20, new_offset);
        if (relocations.first >= section.virtual_address &&
            relocations.first - section.virtual_address < section.virtual_size)
            WriteLe32(image.data() + pe.directories + DIRECTORY_BASE_RELOCATION * 8,
                      relocations.first - section.virtual_address + new_address);
        virtual_end = new_address + std::max(section.virtual_size, section.raw_size);
    }
    if (stub.size() > size_t(image.size()) - raw_bytes + old_rsrc.raw_size)
        Refuse("stub: bytes after its last section; build from the stub as the linker made it");

    uint8_t *new_nt = image.data() + pe.nt_offset;
    WriteLe32(image.data() + pe.directories + DIRECTORY_RESOURCE * 8 + 4, static_cast<uint32_t>(content.size()));
    WriteLe32(new_nt + OPT_SIZE_OF_IMAGE, AlignUp(virtual_end, section_alignment));
    WriteLe32(new_nt + OPT_SIZE_OF_INITIALIZED_DATA,
              ReadLe32(new_nt + OPT_SIZE_OF_INITIALIZED_DATA) - old_rsrc.raw_size + raw_bytes);
    WriteLe32(new_nt + OPT_CHECKSUM, 0);
    return image;
}

std::u16string Utf16FromUtf8(const std::string &text, const char *what)
{
    std::u16string out;
    for (size_t at = 0; at < text.size();) {
        const uint8_t lead = static_cast<uint8_t>(text[at]);
        const int extra = lead < 0x80 ? 0 : (lead >> 5) == 6 ? 1 : (lead >> 4) == 14 ? 2 : (lead >> 3) == 30 ? 3 : -1;
        if (extra < 0 || at + extra >= text.size() + (extra ? 0 : 1))
            Refuse("%s: \"%s\" is not UTF-8", what, text.c_str());
        uint32_t code = extra == 0 ? lead : lead & (0x3F >> extra);
        for (int index = 1; index <= extra; index++) {
            const uint8_t trail = static_cast<uint8_t>(text[at + index]);
            if ((trail & 0xC0) != 0x80)
                Refuse("%s: \"%s\" is not UTF-8", what, text.c_str());
            code = code << 6 | (trail & 0x3F);
        }
        static const uint32_t least[] = {0, 0x80, 0x800, 0x10000};
        if (code < least[extra] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
            Refuse("%s: \"%s\" is not UTF-8", what, text.c_str());
        if (code >= 0x10000) {
            out.push_back(static_cast<char16_t>(0xD800 + ((code - 0x10000) >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + ((code - 0x10000) & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(code));
        }
        at += extra + 1;
    }
    return out;
}

std::string Utf8FromUtf16(const std::u16string &text)
{
    std::string out;
    for (size_t at = 0; at < text.size(); at++) {
        uint32_t code = text[at];
        if (code >= 0xD800 && code < 0xDC00 && at + 1 < text.size() && text[at + 1] >= 0xDC00 && text[at + 1] < 0xE000)
            code = 0x10000 + ((code - 0xD800) << 10) + (text[++at] - 0xDC00);
        else if (code >= 0xD800 && code < 0xE000)
            code = 0xFFFD;  // a lone surrogate
        if (code < 0x80)
            out += char(code);
        else if (code < 0x800)
            out += {char(0xC0 | code >> 6), char(0x80 | (code & 0x3F))};
        else if (code < 0x10000)
            out += {char(0xE0 | code >> 12), char(0x80 | (code >> 6 & 0x3F)), char(0x80 | (code & 0x3F))};
        else
            out += {char(0xF0 | code >> 18), char(0x80 | (code >> 12 & 0x3F)), char(0x80 | (code >> 6 & 0x3F)),
                    char(0x80 | (code & 0x3F))};
    }
    return out;
}
