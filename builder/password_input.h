// The password for --password and --password-file, as the extractor will
// compare it: the bytes of the target code page, the way the password dialog
// hands them over on Windows. --password-file keeps the password out of the
// shell's history and the process list: the file's first line is the
// password (its line end, "\n" or "\r\n", is not part of it).
#pragma once

#include <optional>
#include <string>

struct PasswordOptions {
    std::optional<std::string> text;  // --password, UTF-8 as typed
    std::optional<std::string> file;  // --password-file
};

// The password in the code page's bytes, or nothing when neither option was
// given. Refuses (BuildError) both options at once, an unreadable file, an
// empty password, a NUL or a second line, a character outside the code
// page, and more than PASSWORD_MAX_CHARS bytes, which the extractor would
// refuse for every member.
std::optional<std::string> ResolvePassword(const PasswordOptions &options, const std::string &codepage);
