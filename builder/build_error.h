// How the builder refuses input: every rejection goes through Refuse(), which
// throws BuildError with a message for the user (one line, no trailing full
// stop, naming the input and the limit it broke). Only main() catches it: it
// prints the message and exits non-zero, and nothing is written at --out
// because output is only ever renamed into place after a complete build.
#pragma once

#include <stdexcept>
#include <string>

class BuildError : public std::runtime_error {
public:
    explicit BuildError(const std::string &message) : std::runtime_error(message) {}
};

// printf-style; never returns.
[[noreturn]] void Refuse(const char *format, ...)
#if defined(__MINGW32__)
    __attribute__((format(gnu_printf, 1, 2)))  // with __USE_MINGW_ANSI_STDIO
#elif defined(__GNUC__)
    __attribute__((format(printf, 1, 2)))
#endif
    ;
