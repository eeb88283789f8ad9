// Byte and bounded-string helpers shared by the whole program.
//
// Portable (no Windows headers): the builder and the native tests use them too.
// Conventions: tests return non-zero for "yes"; operations that can fail return
// 0 for success and 1 for failure. The bounded copy, append and format never
// truncate silently: a text that does not fit (with its NUL) makes them return
// 1, and the caller raises an internal error with its own source name and line.
#pragma once

#include <cstdarg>
#include <cstddef>

// True for 'A'..'Z' and 'a'..'z' only, whatever the code page.
bool IsAsciiLetter(unsigned char byte);

// True for '\' and '/'. Only meaningful on a byte known to start a character.
bool IsPathSeparator(unsigned char byte);

void *CopyBytes(void *destination, const void *source, size_t count_bytes);

// 0 when the count_bytes bytes are equal, 1 otherwise (no ordering).
[[nodiscard]] int CompareBytes(const void *a, const void *b, size_t count_bytes);

// Sets count_bytes bytes to the low byte of value.
void *FillBytes(void *destination, int value, size_t count_bytes);

// Copies source with its NUL into destination of size_bytes. Returns 1, and
// leaves destination as it was, when it does not fit.
[[nodiscard]] int CopyString(char *destination, size_t size_bytes, const char *source);

// Appends source to the NUL-terminated text already in destination. Returns 1,
// and leaves destination as it was, when the result does not fit.
[[nodiscard]] int AppendString(char *destination, size_t size_bytes, const char *source);

// printf-style formatting into destination of size_bytes. Returns 1 when the
// result does not fit; destination then holds an empty string.
[[nodiscard]] int FormatString(char *destination, size_t size_bytes, const char *format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 3, 4)))
#endif
    ;
[[nodiscard]] int FormatStringV(char *destination, size_t size_bytes, const char *format,
                                va_list args);
