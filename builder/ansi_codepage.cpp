// ANSI code pages (see ansi_codepage.h).
#include "ansi_codepage.h"

#include "build_error.h"
#include "text_encoding.h"

#include <cctype>
#include <cstdlib>

namespace {

struct KnownCodepage {
    unsigned number;
    unsigned char lead_first, lead_last;  // lead byte ranges; 0, 0 when single-byte
    unsigned char lead2_first, lead2_last;
};

const KnownCodepage KnownCodepages[] = {
    {874, 0, 0, 0, 0},
    {932, 0x81, 0x9F, 0xE0, 0xFC},  // Shift JIS: two lead ranges around the half-width katakana
    {936, 0x81, 0xFE, 0, 0},
    {949, 0x81, 0xFE, 0, 0},
    {950, 0x81, 0xFE, 0, 0},
    {1250, 0, 0, 0, 0}, {1251, 0, 0, 0, 0}, {1252, 0, 0, 0, 0}, {1253, 0, 0, 0, 0}, {1254, 0, 0, 0, 0},
    {1255, 0, 0, 0, 0}, {1256, 0, 0, 0, 0}, {1257, 0, 0, 0, 0}, {1258, 0, 0, 0, 0},
};

const KnownCodepage *Find(unsigned number)
{
    for (const KnownCodepage &known : KnownCodepages)
        if (known.number == number)
            return &known;
    return nullptr;
}

}  // namespace

bool AnsiCodepage::IsLeadByte(unsigned char byte) const
{
    if (!double_byte)
        return false;
    const KnownCodepage *known = Find(number);
    return (byte >= known->lead_first && byte <= known->lead_last) ||
           (known->lead2_first && byte >= known->lead2_first && byte <= known->lead2_last);
}

bool FindAnsiCodepage(const std::string &name, AnsiCodepage &codepage, std::string &why)
{
    if (name == RAW_CODEPAGE) {
        codepage = AnsiCodepage{0, false};
        return true;
    }
    std::string upper;
    for (char c : name)
        upper += char(std::toupper(static_cast<unsigned char>(c)));
    for (const std::string prefix : {"CP", "WINDOWS-"}) {
        if (upper.compare(0, prefix.size(), prefix) != 0 || upper.size() == prefix.size() ||
            !std::isdigit(static_cast<unsigned char>(upper[prefix.size()])))
            continue;
        char *end = nullptr;
        const unsigned long number = std::strtoul(upper.c_str() + prefix.size(), &end, 10);
        const KnownCodepage *known = *end == '\0' ? Find(unsigned(number)) : nullptr;
        if (known) {
            codepage = AnsiCodepage{known->number, known->lead_first != 0};
            return true;
        }
    }
    why = "\"" + name + "\" is not an ANSI code page of Windows, the only kind the installer can use: give one "
          "of CP874, CP932, CP936, CP949, CP950 and CP1250 to CP1258 (or raw)";
    return false;
}

AnsiCodepage AnsiCodepageOf(const std::string &name)
{
    AnsiCodepage codepage;
    std::string why;
    if (!FindAnsiCodepage(name, codepage, why))
        Refuse("--codepage: %s", why.c_str());
    return codepage;
}
