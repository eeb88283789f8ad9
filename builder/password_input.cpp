// Password options (see password_input.h).
#include "password_input.h"

#include "build_error.h"
#include "extract/crypt/member_input.h"
#include "host_system.h"
#include "text_encoding.h"

#include <vector>

namespace {

std::string ReadPasswordFile(const std::string &path)
{
    std::vector<uint8_t> bytes;
    std::string error;
    if (!ReadWholeFile(path, bytes, error))
        Refuse("--password-file %s: cannot read it: %s", path.c_str(), error.c_str());
    std::string text(bytes.begin(), bytes.end());
    if (!text.empty() && text.back() == '\n')
        text.pop_back();
    if (!text.empty() && text.back() == '\r')
        text.pop_back();
    if (text.find_first_of(std::string("\n\0", 2)) != std::string::npos)
        Refuse("--password-file %s: holds more than one line (or a NUL byte); the password is one line", path.c_str());
    return text;
}

}  // namespace

std::optional<std::string> ResolvePassword(const PasswordOptions &options, const std::string &codepage)
{
    if (options.text && options.file)
        Refuse("give --password or --password-file, not both");
    if (!options.text && !options.file)
        return std::nullopt;
    const std::string typed = options.text ? *options.text : ReadPasswordFile(*options.file);
    const char *what = options.text ? "--password" : "--password-file";
    if (typed.empty())
        Refuse("%s: the password is empty", what);
    const std::string password = ToAnsi(typed, codepage, what);
    if (password.size() > size_t(PASSWORD_MAX_CHARS))
        Refuse("%s: the password is %zu bytes; the extractor accepts at most %d", what, password.size(),
               PASSWORD_MAX_CHARS);
    return password;
}
