// Member names as Windows and the stub take them (see member_name_check.h).
#include "member_name_check.h"

#include "text_encoding.h"

#include <cstdio>
#include <vector>

namespace {

constexpr size_t NAME_PART_MAX_CHARS = 255;

bool IsSeparator(unsigned char byte) { return byte == '/' || byte == '\\'; }

// The parts of a name between its separators, each as its bytes and its
// length in characters. A name ending in a separator (a folder entry) has
// no empty last part.
struct NamePart {
    std::string bytes;
    size_t chars;
};

// Splits name into parts, walking it by characters; "" when it walks
// cleanly, else why not (a byte no name may hold).
std::string SplitName(const std::string &name, const AnsiCodepage &codepage, std::vector<NamePart> &parts)
{
    NamePart part = {"", 0};
    for (size_t at = 0; at < name.size();) {
        const unsigned char byte = static_cast<unsigned char>(name[at]);
        if (codepage.IsLeadByte(byte)) {
            if (at + 1 >= name.size())
                return "it ends in the lead byte of a two-byte character";
            if (name[at + 1] == '\0')
                return "a NUL byte in the name (the installer would see the name end there)";
            if (at + 2 == name.size() && name[at + 1] == '\\')
                return "its last byte is a backslash that is the trail byte of a two-byte character, which a "
                       "reader that tests the last byte takes for a folder entry";
            part.bytes.append(name, at, 2);
            part.chars++;
            at += 2;
            continue;
        }
        char text[96];
        if (byte == '\0')
            return "a NUL byte in the name (the installer would see the name end there)";
        if (byte < 0x20) {
            std::snprintf(text, sizeof text, "a control character (0x%02X), which Windows does not allow in names",
                          byte);
            return text;
        }
        if (byte == ':')
            return "a ':' (a drive letter or an alternate data stream), which the installer refuses";
        for (char forbidden : {'<', '>', '"', '|', '?', '*'})
            if (byte == static_cast<unsigned char>(forbidden)) {
                std::snprintf(text, sizeof text, "a '%c', which Windows does not allow in names", forbidden);
                return text;
            }
        at++;
        if (IsSeparator(byte)) {
            parts.push_back(part);
            part = {"", 0};
            continue;
        }
        part.bytes += char(byte);
        part.chars++;
    }
    if (!part.bytes.empty())
        parts.push_back(part);
    return "";
}

std::string AsciiUpper(std::string text)
{
    for (char &c : text)
        if (c >= 'a' && c <= 'z')
            c = char(c - 'a' + 'A');
    return text;
}

// Whether Windows takes the part for a device: the base name (before the
// first dot, trailing blanks dropped) is a reserved one.
bool IsDeviceName(const NamePart &part, const AnsiCodepage &codepage)
{
    std::string base = part.bytes.substr(0, part.bytes.find('.'));
    while (!base.empty() && base.back() == ' ')
        base.pop_back();
    base = AsciiUpper(FromAnsi(base, codepage.Name()));
    for (const char *device : {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"})
        if (base == device)
            return true;
    if (base.compare(0, 3, "COM") != 0 && base.compare(0, 3, "LPT") != 0)
        return false;
    const std::string number = base.substr(3);
    return (number.size() == 1 && number[0] >= '0' && number[0] <= '9') || number == "\xC2\xB9" ||
           number == "\xC2\xB2" || number == "\xC2\xB3";  // superscript 1, 2, 3 in UTF-8
}

std::string Quoted(const std::string &bytes, const AnsiCodepage &codepage)
{
    return "\"" + FromAnsi(bytes, codepage.Name()) + "\"";
}

// Decodes UTF-8 into code points (text from FromAnsi is always valid).
std::u32string CodePoints(const std::string &utf8)
{
    std::u32string points;
    for (size_t at = 0; at < utf8.size();) {
        const unsigned char lead = static_cast<unsigned char>(utf8[at]);
        const size_t length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
        char32_t point = length == 1 ? lead : length == 2 ? lead & 0x1F : length == 3 ? lead & 0x0F : lead & 0x07;
        for (size_t next = 1; next < length && at + next < utf8.size(); next++)
            point = point << 6 | (static_cast<unsigned char>(utf8[at + next]) & 0x3F);
        points += point;
        at += length;
    }
    return points;
}

// The capital of a letter of the scripts the ANSI code pages hold (Latin,
// Greek, Cyrillic, full-width Latin), as Windows compares names; any other
// character as it is.
char32_t Capital(char32_t c)
{
    if ((c >= U'a' && c <= U'z') || (c >= 0xE0 && c <= 0xFE && c != 0xF7) || (c >= 0x3B1 && c <= 0x3CB && c != 0x3C2) ||
        (c >= 0x430 && c <= 0x44F) || (c >= 0xFF41 && c <= 0xFF5A))
        return c - 0x20;
    if (c == 0xFF)
        return 0x178;
    if (c == 0x3C2)
        return 0x3A3;  // final sigma
    if (c >= 0x450 && c <= 0x45F)
        return c - 0x50;
    if (c == 0x3AC)
        return 0x386;
    if (c >= 0x3AD && c <= 0x3AF)
        return c - 0x25;
    if (c == 0x3CC)
        return 0x38C;
    if (c == 0x3CD || c == 0x3CE)
        return c - 0x3F;
    // Latin Extended-A: capital and small alternate, the capital on the even
    // code point, except from 0x139 to 0x148 and from 0x179 to 0x17E, where
    // it is on the odd one.
    if ((c >= 0x100 && c <= 0x137 && c != 0x130 && c != 0x131) || (c >= 0x14A && c <= 0x177))
        return c & ~char32_t(1);
    if ((c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E))
        return (c & 1) ? c : c - 1;
    return c;
}

}  // namespace

std::string MemberNameFault(const std::string &name, const AnsiCodepage &codepage)
{
    if (name.empty())
        return "an empty name";
    if (IsSeparator(static_cast<unsigned char>(name[0])))
        return "an absolute name (it begins with a separator); names in an archive are relative";
    std::vector<NamePart> parts;
    const std::string split = SplitName(name, codepage, parts);
    if (!split.empty())
        return split;
    for (const NamePart &part : parts) {
        char text[160];
        if (part.bytes.empty())
            return "an empty folder name (two separators in a row)";
        if (part.bytes == "..")
            return "a \"..\" that climbs out of the folder, which the installer refuses";
        if (part.bytes.back() == '.' || part.bytes.back() == ' ')
            return "the part " + Quoted(part.bytes, codepage) +
                   " ends in a dot or a blank, which Windows drops (it would make another name)";
        if (IsDeviceName(part, codepage))
            return "the part " + Quoted(part.bytes, codepage) + " is a device name to Windows (CON, PRN, AUX, NUL, "
                   "COM0 to COM9, LPT0 to LPT9, CONIN$, CONOUT$, with any extension): no file can be made";
        if (part.chars > NAME_PART_MAX_CHARS) {
            std::snprintf(text, sizeof text, "a part of %zu characters, over the %zu a name has on Windows",
                          part.chars, NAME_PART_MAX_CHARS);
            return text;
        }
    }
    return "";
}

std::string NameClashes::Folded(const std::string &path) const
{
    std::string folded;
    for (char32_t c : CodePoints(FromAnsi(path, codepage_.Name()))) {
        c = c == U'\\' ? U'/' : Capital(c);
        // Back to UTF-8, where no byte of a character past ASCII is a '/'.
        if (c < 0x80) {
            folded += char(c);
        } else if (c < 0x800) {
            folded += char(0xC0 | c >> 6);
            folded += char(0x80 | (c & 0x3F));
        } else {
            folded += char(0xE0 | c >> 12);  // the code pages hold nothing past the first plane
            folded += char(0x80 | ((c >> 6) & 0x3F));
            folded += char(0x80 | (c & 0x3F));
        }
    }
    return folded;
}

std::string NameClashes::Add(const std::string &name)
{
    std::string folded = Folded(name);
    const bool folder_entry = !folded.empty() && folded.back() == '/';
    if (folder_entry)
        folded.pop_back();
    std::string problem;
    // Every folder the name lies in must not be a file.
    for (size_t slash = folded.find('/'); slash != std::string::npos; slash = folded.find('/', slash + 1)) {
        const std::string folder = folded.substr(0, slash);
        if (const auto file = files_.find(folder); file != files_.end() && problem.empty())
            problem = "it needs a folder where \"" + FromAnsi(file->second, codepage_.Name()) + "\" is a file";
        folders_.emplace(folder, name);
    }
    if (!problem.empty())
        return problem;
    if (folder_entry) {
        if (const auto file = files_.find(folded); file != files_.end())
            return "a folder of the name of the file \"" + FromAnsi(file->second, codepage_.Name()) + "\"";
        folders_.emplace(folded, name);
        return "";
    }
    if (const auto folder = folders_.find(folded); folder != folders_.end())
        return "a file where \"" + FromAnsi(folder->second, codepage_.Name()) + "\" needs a folder";
    const auto [file, added] = files_.emplace(folded, name);
    if (!added)
        return "the same name as \"" + FromAnsi(file->second, codepage_.Name()) +
               "\" when case is ignored, as Windows ignores it: one would replace the other";
    return "";
}
