// UTF-8 to ANSI code page conversion with iconv (see text_encoding.h).
#include "text_encoding.h"

#include "ansi_codepage.h"
#include "build_error.h"

#include <cerrno>
#include <iconv.h>
#include <memory>
#include <vector>

namespace {

// One conversion descriptor, closed on every path.
class Converter {
public:
    explicit Converter(const std::string &codepage) : Converter(codepage, "UTF-8") {}
    Converter(const std::string &to, const std::string &from) : descriptor_(iconv_open(to.c_str(), from.c_str())) {}
    ~Converter()
    {
        if (valid())
            iconv_close(descriptor_);
    }
    Converter(const Converter &) = delete;
    Converter &operator=(const Converter &) = delete;
    bool valid() const { return descriptor_ != reinterpret_cast<iconv_t>(-1); }
    iconv_t get() const { return descriptor_; }

private:
    iconv_t descriptor_;
};

}  // namespace

void CheckCodepage(const std::string &codepage)
{
    AnsiCodepageOf(codepage);
    if (codepage == RAW_CODEPAGE)
        return;
    Converter converter(codepage);
    if (!converter.valid())
        Refuse("--codepage: iconv does not know the code page \"%s\"", codepage.c_str());
}

std::string ToAnsi(const std::string &text, const std::string &codepage, const std::string &what)
{
    if (codepage == RAW_CODEPAGE || text.empty())
        return text;
    Converter converter(codepage);
    if (!converter.valid())
        Refuse("--codepage: iconv does not know the code page \"%s\"", codepage.c_str());

    std::vector<char> input(text.begin(), text.end());
    std::vector<char> output(text.size() * 4 + 4);  // a code page byte never needs more input than output
    char *in_next = input.data();
    size_t in_left = input.size();
    char *out_next = output.data();
    size_t out_left = output.size();
    if (iconv(converter.get(), &in_next, &in_left, &out_next, &out_left) == size_t(-1) ||
        iconv(converter.get(), nullptr, nullptr, &out_next, &out_left) == size_t(-1)) {
        size_t at = size_t(in_next - input.data());
        if (errno == EILSEQ)
            Refuse("%s: the character at byte %zu of \"%s\" is not valid UTF-8 or has no place in "
                   "code page %s (use --codepage raw to pass bytes as they are)",
                   what.c_str(), at, text.c_str(), codepage.c_str());
        Refuse("%s: \"%s\" cannot be converted to code page %s", what.c_str(), text.c_str(),
               codepage.c_str());
    }
    return std::string(output.data(), size_t(out_next - output.data()));
}

std::string FromAnsi(const std::string &bytes, const std::string &codepage)
{
    static const char REPLACEMENT[] = "\xEF\xBF\xBD";
    std::string text;
    if (codepage == RAW_CODEPAGE) {
        for (char byte : bytes)
            text += static_cast<unsigned char>(byte) < 0x80 ? std::string(1, byte) : std::string(REPLACEMENT);
        return text;
    }
    // One descriptor per thread and code page: iconv_open costs more than
    // converting a name, and info and verify convert one per member.
    thread_local std::string cached_codepage;
    thread_local std::unique_ptr<Converter> cached;
    if (!cached || cached_codepage != codepage) {
        cached = std::make_unique<Converter>("UTF-8", codepage);
        cached_codepage = codepage;
    }
    Converter &converter = *cached;
    if (converter.valid())
        iconv(converter.get(), nullptr, nullptr, nullptr, nullptr);  // back to the initial state
    std::vector<char> input(bytes.begin(), bytes.end());
    char *in_next = input.data();
    size_t in_left = input.size();
    while (in_left > 0) {
        char out[256];
        char *out_next = out;
        size_t out_left = sizeof out;
        const bool failed = !converter.valid() ||
                            iconv(converter.get(), &in_next, &in_left, &out_next, &out_left) == size_t(-1);
        text.append(out, size_t(out_next - out));
        if (failed && (!converter.valid() || errno != E2BIG)) {
            // A byte the code page does not define, or a lead byte without its trail.
            text += REPLACEMENT;
            in_next++;
            in_left--;
        }
    }
    return text;
}
