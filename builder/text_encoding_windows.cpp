// UTF-8 to ANSI code page conversion on Windows, with the system's own
// tables (see text_encoding.h). Code pages are named as iconv names them on
// Linux: "CP1252", "WINDOWS-1252", "CP932", "UTF-8"; the number is what
// counts.
#include "text_encoding.h"

#include "ansi_codepage.h"
#include "build_error.h"

#include <windows.h>

#include <cctype>
#include <cstdlib>
#include <vector>

namespace {

// The code page number of a name, or 0 when it names none.
UINT CodepageNumber(const std::string &codepage)
{
    std::string upper;
    for (char c : codepage)
        upper += char(std::toupper(static_cast<unsigned char>(c)));
    if (upper == "UTF-8" || upper == "UTF8")
        return CP_UTF8;
    for (const char *prefix : {"CP", "WINDOWS-", "IBM", ""}) {
        const std::string lead = prefix;
        if (upper.compare(0, lead.size(), lead) != 0 || upper.size() == lead.size())
            continue;
        char *end = nullptr;
        const unsigned long number = std::strtoul(upper.c_str() + lead.size(), &end, 10);
        if (*end == '\0' && number > 0 && number < 65536 && IsValidCodePage(UINT(number)))
            return UINT(number);
    }
    return 0;
}

}  // namespace

void CheckCodepage(const std::string &codepage)
{
    AnsiCodepageOf(codepage);
    if (codepage != RAW_CODEPAGE && CodepageNumber(codepage) == 0)
        Refuse("--codepage: Windows does not know the code page \"%s\" (write it as CP1252, CP932, ...)",
               codepage.c_str());
}

std::string ToAnsi(const std::string &text, const std::string &codepage, const std::string &what)
{
    if (codepage == RAW_CODEPAGE || text.empty())
        return text;
    CheckCodepage(codepage);
    const UINT number = CodepageNumber(codepage);
    const int wide_count = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), int(text.size()), nullptr, 0);
    if (wide_count <= 0)
        Refuse("%s: \"%s\" is not valid UTF-8 (use --codepage raw to pass bytes as they are)", what.c_str(),
               text.c_str());
    std::vector<wchar_t> wide(static_cast<size_t>(wide_count));
    MultiByteToWideChar(CP_UTF8, 0, text.data(), int(text.size()), wide.data(), wide_count);
    if (number == CP_UTF8)
        return text;
    BOOL used_default = FALSE;
    const int count = WideCharToMultiByte(number, WC_NO_BEST_FIT_CHARS, wide.data(), wide_count, nullptr, 0, nullptr,
                                          &used_default);
    std::string ansi(size_t(count > 0 ? count : 0), '\0');
    WideCharToMultiByte(number, WC_NO_BEST_FIT_CHARS, wide.data(), wide_count, ansi.data(), count, nullptr,
                        &used_default);
    if (count <= 0 || used_default)
        Refuse("%s: a character of \"%s\" has no place in code page %s (use --codepage raw to pass bytes as they "
               "are)",
               what.c_str(), text.c_str(), codepage.c_str());
    return ansi;
}

std::string FromAnsi(const std::string &bytes, const std::string &codepage)
{
    if (bytes.empty())
        return bytes;
    const UINT number = codepage == RAW_CODEPAGE ? 0 : CodepageNumber(codepage);
    if (number == 0) {
        std::string text;
        for (char byte : bytes)
            text += static_cast<unsigned char>(byte) < 0x80 ? std::string(1, byte) : std::string("\xEF\xBF\xBD");
        return text;
    }
    const int wide_count = MultiByteToWideChar(number, 0, bytes.data(), int(bytes.size()), nullptr, 0);
    std::vector<wchar_t> wide(static_cast<size_t>(wide_count));
    MultiByteToWideChar(number, 0, bytes.data(), int(bytes.size()), wide.data(), wide_count);
    const int count = WideCharToMultiByte(CP_UTF8, 0, wide.data(), wide_count, nullptr, 0, nullptr, nullptr);
    std::string text(size_t(count), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), wide_count, text.data(), count, nullptr, nullptr);
    return text;
}
