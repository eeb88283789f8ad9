// Layout of the SfxHeader: eight NUL-terminated ANSI strings, raw-deflate
// compressed, at the start of the _talvok_ section. Each field's bound is its
// destination buffer's size including the NUL. Portable: shared by the stub
// and the builder.
#pragma once

#include <cstddef>

enum SfxHeaderField {
    HEADER_ABOUT_TEXT,
    HEADER_RUN_COMMAND,
    HEADER_RUN_PARAMETERS,
    HEADER_RESERVED,
    HEADER_DIALOG_TEXT,
    HEADER_TITLE,       // only with FLAG_HAS_TITLE; otherwise one empty field
    HEADER_INTRO_TEXT,  // empty: no intro question
    HEADER_INFO_TEXT,
    HEADER_FIELD_COUNT
};

constexpr size_t HeaderFieldBounds[HEADER_FIELD_COUNT] = {516, 257, 257, 100, 257, 65, 514, 512};

// The reader's work areas: a header larger than these is refused as corrupt.
constexpr size_t HEADER_COMPRESSED_MAX_BYTES = 1500;
constexpr size_t HEADER_UNPACKED_MAX_BYTES = 2304;
