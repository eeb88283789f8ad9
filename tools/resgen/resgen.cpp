// resgen: turns the texts and dialog descriptions of resources/ into the
// compressed blobs the stub links in.
//
//   resgen MESSAGES.txt MAIN.dlg PASSWORD.dlg OUT.cpp [NAMESPACE]
//   resgen --texts MESSAGES.txt OUT.cpp [NAME]
//
// The message blob unpacks to the 64 texts in StringId order, each with its
// NUL, stored in code page 850, followed directly by the main dialog's
// DLGTEMPLATE; the offsets table has an entry per text and a 65th for the
// template. The password dialog's template is a blob of its own. Both are raw
// deflate streams (libdeflate at its strongest level: the stub ships them).
// The second form writes the texts alone, uncompressed, in code page 850
// as the stub stores them (MessageTexts, StringId order), for the builder,
// which measures the author's texts against the messages they go into.
// The builder holds every language: NAMESPACE puts one language's blobs in
// a namespace of their own, NAME gives its texts another array name.
// A host tool, run at build time; any malformed input stops the build.
#include <iconv.h>
#include <libdeflate.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "portable/message_table_layout.h"

namespace {

constexpr int STRING_COUNT = MESSAGE_STRING_COUNT;

[[noreturn]] void Fail(const std::string &where, const std::string &why)
{
    std::fprintf(stderr, "resgen: %s: %s\n", where.c_str(), why.c_str());
    std::exit(1);
}

std::string ReadFile(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        Fail(path, "cannot read");
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// Converts between code sets; fails the build on anything not representable.
std::string Convert(const std::string &text, const char *to, const std::string &where)
{
    iconv_t cd = iconv_open(to, "UTF-8");
    if (cd == reinterpret_cast<iconv_t>(-1))
        Fail(where, std::string("no converter to ") + to);
    std::string out(text.size() * 4 + 4, '\0');
    char *in_next = const_cast<char *>(text.data());
    size_t in_left = text.size();
    char *out_next = &out[0];
    size_t out_left = out.size();
    if (iconv(cd, &in_next, &in_left, &out_next, &out_left) == static_cast<size_t>(-1))
        Fail(where, std::string("text not representable in ") + to + ": " + text);
    iconv_close(cd);
    out.resize(out.size() - out_left);
    return out;
}

// Decodes a quoted literal starting at text[pos] == '"': \n, \r, \xHH, \" and
// \\ are escapes; any other backslash stands for itself. pos ends after the
// closing quote.
std::string ParseLiteral(const std::string &text, size_t &pos, const std::string &where)
{
    if (text[pos] != '"')
        Fail(where, "expected a quoted text");
    std::string out;
    for (pos++; pos < text.size() && text[pos] != '"'; pos++) {
        char c = text[pos];
        if (c != '\\' || pos + 1 >= text.size()) {
            out += c;
            continue;
        }
        char next = text[pos + 1];
        if (next == 'n') { out += '\n'; pos++; }
        else if (next == 'r') { out += '\r'; pos++; }
        else if (next == '"') { out += '"'; pos++; }
        else if (next == '\\') { out += '\\'; pos++; }
        else if (next == 'x' && pos + 3 < text.size() && isxdigit(text[pos + 2]) && isxdigit(text[pos + 3])) {
            out += static_cast<char>(std::strtol(text.substr(pos + 2, 2).c_str(), nullptr, 16));
            pos += 3;
        } else {
            out += '\\';
        }
    }
    if (pos >= text.size())
        Fail(where, "unterminated text");
    pos++;
    return out;
}

std::vector<std::string> ParseMessages(const std::string &path)
{
    std::vector<std::string> texts;
    std::istringstream lines(ReadFile(path));
    std::string line;
    for (int number = 1; std::getline(lines, line); number++) {
        if (line.empty() || line[0] == '#')
            continue;
        std::string where = path + ":" + std::to_string(number);
        size_t pos = 0;
        int id = std::stoi(line, &pos);
        if (id != static_cast<int>(texts.size()))
            Fail(where, "entries must be in StringId order without gaps");
        while (pos < line.size() && line[pos] == ' ')
            pos++;
        std::string text = ParseLiteral(line, pos, where);
        if (text.find('\0') != std::string::npos)
            Fail(where, "a text may not hold a NUL");
        texts.push_back(Convert(text, "CP850", where));
    }
    if (texts.size() != STRING_COUNT)
        Fail(path, "expected 64 entries");
    return texts;
}

// One "key=value ..." line of a dialog description.
using Fields = std::map<std::string, std::string>;

Fields ParseFields(const std::string &line, size_t pos, const std::string &where)
{
    Fields fields;
    while (pos < line.size()) {
        while (pos < line.size() && line[pos] == ' ')
            pos++;
        if (pos >= line.size())
            break;
        size_t equals = line.find('=', pos);
        if (equals == std::string::npos)
            Fail(where, "expected key=value");
        std::string key = line.substr(pos, equals - pos);
        pos = equals + 1;
        if (line[pos] == '"') {
            fields[key] = "\"" + ParseLiteral(line, pos, where);  // leading quote marks a text
        } else {
            size_t end = line.find(' ', pos);
            if (end == std::string::npos)
                end = line.size();
            fields[key] = line.substr(pos, end - pos);
            pos = end;
        }
    }
    return fields;
}

class TemplateWriter {
public:
    explicit TemplateWriter(std::string where) : where_(std::move(where)) {}
    void Word(uint32_t v) { bytes_.push_back(uint8_t(v)); bytes_.push_back(uint8_t(v >> 8)); }
    void Dword(uint32_t v) { Word(v & 0xFFFF); Word(v >> 16); }
    void AlignDword() { while (bytes_.size() % 4) bytes_.push_back(0); }
    void Text(const std::string &utf8)
    {
        std::string utf16 = Convert(utf8, "UTF-16LE", where_);
        bytes_.insert(bytes_.end(), utf16.begin(), utf16.end());
        Word(0);
    }
    // A class or title: "#N" or a predefined class name becomes an ordinal.
    void NameOrOrdinal(const std::string &value, bool is_class)
    {
        static const std::map<std::string, uint16_t> atoms = {
            {"button", 0x80}, {"edit", 0x81}, {"static", 0x82}};
        if (value[0] == '"') {
            Text(value.substr(1));
        } else if (value[0] == '#') {
            Word(0xFFFF);
            Word(static_cast<uint32_t>(std::stoul(value.substr(1))));
        } else if (is_class && atoms.count(value)) {
            Word(0xFFFF);
            Word(atoms.at(value));
        } else {
            Fail(where_, "unknown class or text " + value);
        }
    }
    std::vector<uint8_t> bytes_;

private:
    std::string where_;
};

uint32_t Number(const Fields &fields, const char *key, const std::string &where)
{
    auto found = fields.find(key);
    if (found == fields.end())
        Fail(where, std::string("missing ") + key);
    return static_cast<uint32_t>(std::stoul(found->second, nullptr, 0));
}

std::string Text(const Fields &fields, const char *key, const std::string &where)
{
    auto found = fields.find(key);
    if (found == fields.end() || found->second[0] != '"')
        Fail(where, std::string("missing quoted ") + key);
    return found->second.substr(1);
}

// Builds a DLGTEMPLATE (not the extended form): header, menu, class,
// caption, font, then each item on a 4-byte boundary from the template's start.
std::vector<uint8_t> BuildTemplate(const std::string &path)
{
    std::istringstream lines(ReadFile(path));
    std::string line;
    Fields dialog;
    std::vector<Fields> items;
    for (int number = 1; std::getline(lines, line); number++) {
        if (line.empty() || line[0] == '#')
            continue;
        std::string where = path + ":" + std::to_string(number);
        size_t space = line.find(' ');
        std::string kind = line.substr(0, space);
        Fields fields = ParseFields(line, space, where);
        fields["@where"] = where;
        if (kind == "dialog")
            dialog = fields;
        else if (kind == "control")
            items.push_back(fields);
        else
            Fail(where, "unknown line kind " + kind);
    }
    if (dialog.empty())
        Fail(path, "no dialog line");
    const std::string where = dialog["@where"];
    TemplateWriter out(path);
    out.Dword(Number(dialog, "style", where));
    out.Dword(Number(dialog, "exstyle", where));
    out.Word(static_cast<uint32_t>(items.size()));
    for (const char *key : {"x", "y", "cx", "cy"})
        out.Word(Number(dialog, key, where));
    out.Word(0);  // no menu
    out.Word(0);  // no class
    out.Text(Text(dialog, "caption", where));
    out.Word(Number(dialog, "font", where));
    out.Text(Text(dialog, "face", where));
    for (const Fields &item : items) {
        const std::string &item_where = item.at("@where");
        out.AlignDword();
        out.Dword(Number(item, "style", item_where));
        out.Dword(0);  // extended style
        for (const char *key : {"x", "y", "cx", "cy"})
            out.Word(Number(item, key, item_where));
        out.Word(Number(item, "id", item_where));
        out.NameOrOrdinal(item.at("class"), true);
        out.NameOrOrdinal(item.at("text"), false);
        out.Word(0);  // no creation data
    }
    return out.bytes_;
}

std::vector<uint8_t> Compress(const std::vector<uint8_t> &data)
{
    libdeflate_compressor *compressor = libdeflate_alloc_compressor(12);
    std::vector<uint8_t> out(libdeflate_deflate_compress_bound(compressor, data.size()));
    size_t size = libdeflate_deflate_compress(compressor, data.data(), data.size(), out.data(), out.size());
    libdeflate_free_compressor(compressor);
    if (!size)
        Fail("compress", "libdeflate failed");
    out.resize(size);
    return out;
}

void WriteArray(std::FILE *out, const char *name, const std::vector<uint8_t> &bytes)
{
    std::fprintf(out, "const uint8_t %s[%zu] = {", name, bytes.size());
    for (size_t i = 0; i < bytes.size(); i++)
        std::fprintf(out, "%s%u,", i % 20 ? "" : "\n    ", bytes[i]);
    std::fprintf(out, "\n};\nconst uint32_t %sBytes = %zu;\n\n", name, bytes.size());
}

}  // namespace

// A C string literal of any bytes: printable ASCII as it is, the rest as
// octal escapes (which, unlike hex ones, end after three digits).
std::string CLiteral(const std::string &bytes)
{
    std::string literal = "\"";
    for (unsigned char byte : bytes) {
        if (byte >= 0x20 && byte < 0x7F && byte != '"' && byte != '\\' && byte != '?') {
            literal += char(byte);
        } else {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\%03o", byte);
            literal += escaped;
        }
    }
    return literal + "\"";
}

int WriteTexts(const char *messages_path, const char *out_path, const char *name)
{
    std::vector<std::string> texts = ParseMessages(messages_path);
    std::FILE *out = std::fopen(out_path, "w");
    if (!out)
        Fail(out_path, std::strerror(errno));
    std::fprintf(out, "// Made by tools/resgen from resources/LANGUAGE/messages.txt; not edited by hand.\n"
                      "// The texts in code page 850, in StringId order.\n"
                      "extern const char *const %s[%d];\n"
                      "const char *const %s[%d] = {\n",
                 name, STRING_COUNT, name, STRING_COUNT);
    for (int id = 0; id < STRING_COUNT; id++)
        std::fprintf(out, "    %s,\n", CLiteral(texts[id]).c_str());
    std::fprintf(out, "};\n");
    if (std::fclose(out) != 0)
        Fail(out_path, "write failed");
    return 0;
}

int main(int argc, char **argv)
{
    if ((argc == 4 || argc == 5) && std::strcmp(argv[1], "--texts") == 0)
        return WriteTexts(argv[2], argv[3], argc == 5 ? argv[4] : "MessageTexts");
    if (argc != 5 && argc != 6) {
        std::fprintf(stderr, "usage: resgen MESSAGES.txt MAIN.dlg PASSWORD.dlg OUT.cpp [NAMESPACE]"
                             " | --texts MESSAGES.txt OUT.cpp [NAME]\n");
        return 2;
    }
    std::vector<std::string> texts = ParseMessages(argv[1]);
    std::vector<uint8_t> main_template = BuildTemplate(argv[2]);
    std::vector<uint8_t> password_template = BuildTemplate(argv[3]);

    std::vector<uint8_t> table;
    uint32_t offsets[STRING_COUNT + 1];
    for (int id = 0; id < STRING_COUNT; id++) {
        offsets[id] = static_cast<uint32_t>(table.size());
        table.insert(table.end(), texts[id].begin(), texts[id].end());
        table.push_back(0);
    }
    offsets[STRING_COUNT] = static_cast<uint32_t>(table.size());
    table.insert(table.end(), main_template.begin(), main_template.end());
    if (table.size() > MESSAGE_TABLE_CONTENT_MAX_BYTES)
        Fail(argv[1], "the table unpacks to " + std::to_string(table.size()) + " bytes, over " +
                          std::to_string(MESSAGE_TABLE_CONTENT_MAX_BYTES));
    if (main_template.size() > MAIN_DIALOG_COPY_BYTES)
        Fail(argv[2], "the template is " + std::to_string(main_template.size()) + " bytes, over the " +
                          std::to_string(MAIN_DIALOG_COPY_BYTES) + " of the stub's dialog copy");
    // The stub copies MAIN_DIALOG_COPY_BYTES from the template's start: that
    // copy must end inside the table's block.
    if (offsets[STRING_COUNT] + MAIN_DIALOG_COPY_BYTES > MESSAGE_TABLE_BYTES)
        Fail(argv[1], "the texts take " + std::to_string(offsets[STRING_COUNT]) + " bytes: the main dialog's " +
                          std::to_string(MAIN_DIALOG_COPY_BYTES) + "-byte copy would run past the " +
                          std::to_string(MESSAGE_TABLE_BYTES) + "-byte table");
    if (password_template.size() > PASSWORD_TEMPLATE_MAX_BYTES)
        Fail(argv[3], "the template is " + std::to_string(password_template.size()) + " bytes, over " +
                          std::to_string(PASSWORD_TEMPLATE_MAX_BYTES));

    std::FILE *out = std::fopen(argv[4], "w");
    if (!out)
        Fail(argv[4], std::strerror(errno));
    std::fprintf(out, "// Made by tools/resgen from resources/; not edited by hand.\n"
                      "// Message table: %zu bytes unpacked; main dialog template %zu bytes;\n"
                      "// password dialog template %zu bytes.\n"
                      "#include \"startup/message_blobs.h\"\n\n",
                 table.size(), main_template.size(), password_template.size());
    const char *space = argc == 6 ? argv[5] : nullptr;
    if (space)
        std::fprintf(out, "namespace %s {\n"
                          "extern const uint8_t MessageBlob[];\nextern const uint32_t MessageBlobBytes;\n"
                          "extern const uint32_t MessageOffsets[MESSAGE_COUNT + 1];\n"
                          "extern const uint8_t PasswordDialogBlob[];\nextern const uint32_t PasswordDialogBlobBytes;\n\n",
                     space);
    WriteArray(out, "MessageBlob", Compress(table));
    std::fprintf(out, "const uint32_t MessageOffsets[%d] = {", STRING_COUNT + 1);
    for (int id = 0; id <= STRING_COUNT; id++)
        std::fprintf(out, "%s%u,", id % 10 ? " " : "\n    ", offsets[id]);
    std::fprintf(out, "\n};\n\n");
    WriteArray(out, "PasswordDialogBlob", Compress(password_template));
    if (space)
        std::fprintf(out, "}  // namespace %s\n", space);
    if (std::fclose(out) != 0)
        Fail(argv[4], "write failed");
    return 0;
}
