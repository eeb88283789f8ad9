// VS_VERSIONINFO writing and reading (see version_info.h).
#include "version_info.h"

#include "build_error.h"
#include "pe_resources.h"
#include "portable/byte_order.h"

#include <cstdio>
#include <cstdlib>

namespace {

constexpr uint32_t FIXED_SIGNATURE = 0xFEEF04BD;
constexpr uint32_t FIXED_STRUCTURE_VERSION = 0x00010000;
constexpr uint32_t FIXED_FLAGS_MASK = 0x3F;     // VS_FFI_FILEFLAGSMASK
constexpr uint32_t FILE_OS_NT_WINDOWS32 = 0x00040004;
constexpr uint32_t FILE_TYPE_APP = 1;
constexpr size_t FIXED_INFO_BYTES = 52;
constexpr uint16_t NODE_BINARY = 0, NODE_TEXT = 1;
constexpr size_t NODE_HEADER_BYTES = 6;

void Pad4(std::vector<uint8_t> &out) { out.resize((out.size() + 3) & ~size_t(3), 0); }

void PutUtf16(std::vector<uint8_t> &out, const std::u16string &text)
{
    for (char16_t c : text) {
        out.push_back(static_cast<uint8_t>(c));
        out.push_back(static_cast<uint8_t>(c >> 8));
    }
    out.push_back(0);
    out.push_back(0);
}

// One node: its header, key and value; children appended by the caller
// through the returned bytes, then Close() writes wLength.
std::vector<uint8_t> Node(const std::u16string &key, uint16_t type, uint16_t value_length,
                          const std::vector<uint8_t> &value)
{
    std::vector<uint8_t> node(NODE_HEADER_BYTES, 0);
    WriteLe16(node.data() + 2, value_length);
    WriteLe16(node.data() + 4, type);
    PutUtf16(node, key);
    Pad4(node);
    node.insert(node.end(), value.begin(), value.end());
    return node;
}
void AddChild(std::vector<uint8_t> &node, const std::vector<uint8_t> &child)
{
    Pad4(node);
    node.insert(node.end(), child.begin(), child.end());
}
std::vector<uint8_t> Close(std::vector<uint8_t> node)
{
    WriteLe16(node.data(), static_cast<uint16_t>(node.size()));
    return node;
}

std::u16string Ascii16(const char *text) { return std::u16string(text, text + std::char_traits<char>::length(text)); }

// The node at data[at, end): its parts, bounds-checked.
struct NodeView {
    size_t at, end;            // the node, by its wLength
    uint16_t value_length, type;
    std::u16string key;
    size_t value_at, children_at;
};
bool ReadNode(const std::vector<uint8_t> &data, size_t at, size_t limit, NodeView &node)
{
    if (at + NODE_HEADER_BYTES > limit)
        return false;
    const uint16_t length = ReadLe16(data.data() + at);
    if (length < NODE_HEADER_BYTES || at + length > limit)
        return false;
    node.at = at;
    node.end = at + length;
    node.value_length = ReadLe16(data.data() + at + 2);
    node.type = ReadLe16(data.data() + at + 4);
    node.key.clear();
    size_t next = at + NODE_HEADER_BYTES;
    for (;; next += 2) {
        if (next + 2 > node.end)
            return false;
        const char16_t c = static_cast<char16_t>(ReadLe16(data.data() + next));
        if (c == 0)
            break;
        node.key.push_back(c);
    }
    node.value_at = (next + 2 + 3) & ~size_t(3);
    const size_t value_bytes = node.type == NODE_TEXT ? 2 * size_t(node.value_length) : node.value_length;
    if (node.value_at + value_bytes > node.end)
        return false;
    node.children_at = (node.value_at + value_bytes + 3) & ~size_t(3);
    return true;
}

}  // namespace

void ParseVersionNumbers(const std::string &text, uint16_t numbers[4])
{
    for (int index = 0; index < 4; index++)
        numbers[index] = 0;
    size_t at = 0;
    for (int index = 0; index < 4; index++) {
        size_t digits = 0;
        unsigned long value = 0;
        while (at + digits < text.size() && text[at + digits] >= '0' && text[at + digits] <= '9' && digits < 6)
            value = value * 10 + unsigned(text[at + digits++] - '0');
        if (digits == 0 || value > 0xFFFF)
            break;
        numbers[index] = static_cast<uint16_t>(value);
        at += digits;
        if (at == text.size())
            return;
        if (text[at] != '.' || index == 3)
            break;
        at++;
    }
    Refuse("--version: \"%s\" is not a version X.Y.Z.W (up to four numbers of 0 to 65535)", text.c_str());
}

uint16_t VersionLanguageOf(const std::string &language_code)
{
    return language_code == "en" ? 0x0409 : VERSION_LANGUAGE;
}

std::vector<uint8_t> BuildVersionInfo(const VersionFields &fields)
{
    std::vector<uint8_t> fixed(FIXED_INFO_BYTES, 0);
    const uint32_t high = uint32_t(fields.numbers[0]) << 16 | fields.numbers[1];
    const uint32_t low = uint32_t(fields.numbers[2]) << 16 | fields.numbers[3];
    const uint32_t values[13] = {FIXED_SIGNATURE, FIXED_STRUCTURE_VERSION, high, low, high, low,
                                 FIXED_FLAGS_MASK, 0, FILE_OS_NT_WINDOWS32, FILE_TYPE_APP, 0, 0, 0};
    for (int index = 0; index < 13; index++)
        WriteLe32(fixed.data() + 4 * index, values[index]);

    char table_key[16];
    std::snprintf(table_key, sizeof table_key, "%04X%04X", fields.language, VERSION_CODEPAGE);
    std::vector<uint8_t> table = Node(Ascii16(table_key), NODE_TEXT, 0, {});
    for (const auto &field : fields.strings) {
        std::vector<uint8_t> value;
        PutUtf16(value, field.second);
        AddChild(table, Close(Node(Ascii16(field.first.c_str()), NODE_TEXT,
                                   static_cast<uint16_t>(field.second.size() + 1), value)));
    }
    std::vector<uint8_t> string_info = Node(u"StringFileInfo", NODE_TEXT, 0, {});
    AddChild(string_info, Close(table));

    std::vector<uint8_t> translation(4);
    WriteLe16(translation.data(), fields.language);
    WriteLe16(translation.data() + 2, VERSION_CODEPAGE);
    std::vector<uint8_t> var_info = Node(u"VarFileInfo", NODE_TEXT, 0, {});
    AddChild(var_info, Close(Node(u"Translation", NODE_BINARY, 4, translation)));

    std::vector<uint8_t> root = Node(u"VS_VERSION_INFO", NODE_BINARY, FIXED_INFO_BYTES, fixed);
    AddChild(root, Close(string_info));
    AddChild(root, Close(var_info));
    if (root.size() > 0xFFFF)
        Refuse("the version strings come to %zu bytes, over the 64 KiB a version resource holds", root.size());
    return Close(root);
}

VersionFacts ReadVersionInfo(const std::vector<uint8_t> &data)
{
    VersionFacts facts;
    NodeView root;
    if (!ReadNode(data, 0, data.size(), root) || root.key != u"VS_VERSION_INFO" ||
        root.value_length != FIXED_INFO_BYTES || ReadLe32(data.data() + root.value_at) != FIXED_SIGNATURE) {
        facts.failure = "no VS_VERSION_INFO with a VS_FIXEDFILEINFO";
        return facts;
    }
    const uint8_t *fixed = data.data() + root.value_at;
    const uint32_t words[4] = {ReadLe32(fixed + 8), ReadLe32(fixed + 12), ReadLe32(fixed + 16), ReadLe32(fixed + 20)};
    for (int index = 0; index < 2; index++) {
        facts.file_version[2 * index] = static_cast<uint16_t>(words[index] >> 16);
        facts.file_version[2 * index + 1] = static_cast<uint16_t>(words[index]);
        facts.product_version[2 * index] = static_cast<uint16_t>(words[2 + index] >> 16);
        facts.product_version[2 * index + 1] = static_cast<uint16_t>(words[2 + index]);
    }
    for (size_t at = root.children_at; at + NODE_HEADER_BYTES <= root.end;) {
        NodeView child;
        if (!ReadNode(data, at, root.end, child)) {
            facts.failure = "a node inside VS_VERSION_INFO runs past its end";
            return facts;
        }
        if (child.key == u"StringFileInfo") {
            NodeView table;
            if (!ReadNode(data, child.children_at, child.end, table)) {
                facts.failure = "StringFileInfo holds no string table";
                return facts;
            }
            facts.table = Utf8FromUtf16(table.key);
            for (size_t string_at = table.children_at; string_at + NODE_HEADER_BYTES <= table.end;) {
                NodeView string;
                if (!ReadNode(data, string_at, table.end, string) || string.type != NODE_TEXT) {
                    facts.failure = "a string of table " + facts.table + " runs past its end";
                    return facts;
                }
                std::u16string value;
                for (size_t index = 0; index + 1 < string.value_length; index++)
                    value.push_back(static_cast<char16_t>(ReadLe16(data.data() + string.value_at + 2 * index)));
                facts.strings.push_back({Utf8FromUtf16(string.key), Utf8FromUtf16(value)});
                string_at = (string.end + 3) & ~size_t(3);
            }
        }
        at = (child.end + 3) & ~size_t(3);
    }
    return facts;
}
