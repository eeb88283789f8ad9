// The SfxHeader as the builder writes it: the eight NUL-terminated fields in
// their fixed order, raw-deflate compressed (deflate_compressor.h).
//
// The stub copies each field into a buffer of fixed size and raises an
// internal error when one does not fit, and it decodes the header into work
// areas of fixed size; so the builder refuses a field over its bound (unless
// told otherwise, for tests of that internal error) and always refuses a
// header over the work areas, which the stub would report as corrupt.
#pragma once

#include "portable/sfx_header_layout.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// ANSI bytes of each field, indexed by SfxHeaderField. HEADER_RESERVED is
// written as given (the builder leaves it empty). HEADER_TITLE is written only
// when the flags carry FLAG_HAS_TITLE; otherwise it must be empty.
struct HeaderTexts {
    std::string fields[HEADER_FIELD_COUNT];
};

enum class FieldBounds { Checked, Unchecked };

struct SfxHeaderImage {
    std::vector<uint8_t> compressed;
    size_t unpacked_bytes;
};

// Lays out and compresses the header. Refuses a field (with its NUL) over its
// bound when bounds is Checked, a title without FLAG_HAS_TITLE, a NUL inside a
// field, and a header over HEADER_UNPACKED_MAX_BYTES unpacked or
// HEADER_COMPRESSED_MAX_BYTES compressed.
SfxHeaderImage BuildSfxHeader(const HeaderTexts &texts, uint32_t flags, FieldBounds bounds);

// The option names that fill each field, for messages.
extern const char *const HeaderFieldOptions[HEADER_FIELD_COUNT];
