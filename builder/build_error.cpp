// Refuse(): formats the message and throws it (see build_error.h).
#include "build_error.h"

#include <cstdarg>
#include <cstdio>
#include <vector>

void Refuse(const char *format, ...)
{
    va_list args;
    va_start(args, format);
    va_list copy;
    va_copy(copy, args);
    int length = std::vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    std::vector<char> text(length > 0 ? size_t(length) + 1 : 1, '\0');
    if (length > 0)
        std::vsnprintf(text.data(), text.size(), format, args);
    va_end(args);
    throw BuildError(text.data());
}
