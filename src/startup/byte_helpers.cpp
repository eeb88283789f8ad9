// The byte loops are written out rather than taken from <cstring> so that the
// stub links nothing it does not need; they run on short texts only.
#include "startup/byte_helpers.h"

#include <cstdio>

bool IsAsciiLetter(unsigned char byte)
{
    return (byte >= 'A' && byte <= 'Z') || (byte >= 'a' && byte <= 'z');
}

bool IsPathSeparator(unsigned char byte)
{
    return byte == '\\' || byte == '/';
}

void *CopyBytes(void *destination, const void *source, size_t count_bytes)
{
    unsigned char *out = static_cast<unsigned char *>(destination);
    const unsigned char *in = static_cast<const unsigned char *>(source);
    while (count_bytes--)
        *out++ = *in++;
    return destination;
}

int CompareBytes(const void *a, const void *b, size_t count_bytes)
{
    const unsigned char *p = static_cast<const unsigned char *>(a);
    const unsigned char *q = static_cast<const unsigned char *>(b);
    for (size_t i = 0; i < count_bytes; i++)
        if (p[i] != q[i])
            return 1;
    return 0;
}

void *FillBytes(void *destination, int value, size_t count_bytes)
{
    unsigned char *out = static_cast<unsigned char *>(destination);
    while (count_bytes--)
        *out++ = static_cast<unsigned char>(value);
    return destination;
}

static size_t TextLength(const char *text)
{
    size_t length = 0;
    while (text[length])
        length++;
    return length;
}

int CopyString(char *destination, size_t size_bytes, const char *source)
{
    size_t length = TextLength(source);
    if (length >= size_bytes)
        return 1;
    CopyBytes(destination, source, length + 1);
    return 0;
}

int AppendString(char *destination, size_t size_bytes, const char *source)
{
    size_t used = 0;
    while (used < size_bytes && destination[used])
        used++;
    if (used == size_bytes)  // destination was not even terminated
        return 1;
    return CopyString(destination + used, size_bytes - used, source);
}

int FormatStringV(char *destination, size_t size_bytes, const char *format, va_list args)
{
    if (size_bytes == 0)
        return 1;
#if defined(_WIN32)
    // The C runtime's own formatter: the stub then carries no printf of its own.
    // It returns a negative count, or exactly size_bytes, when the text and its
    // NUL do not fit.
    int written = _vsnprintf(destination, size_bytes, format, args);
#else
    int written = vsnprintf(destination, size_bytes, format, args);
#endif
    if (written < 0 || static_cast<size_t>(written) >= size_bytes) {
        destination[0] = '\0';
        return 1;
    }
    return 0;
}

int FormatString(char *destination, size_t size_bytes, const char *format, ...)
{
    va_list args;
    va_start(args, format);
    int result = FormatStringV(destination, size_bytes, format, args);
    va_end(args);
    return result;
}
