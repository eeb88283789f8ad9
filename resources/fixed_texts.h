// Texts the program shows from its own data rather than from the message
// table: they must be available before the table is unpacked, or when
// something has gone too wrong to trust it. ANSI bytes (code page 1252);
// a hex escape stands alone in its literal so it cannot swallow a letter.
// Those in the installer's language (the note after an internal error's
// report, the info button's label) are in resources/LANGUAGE/language_texts.h.
#pragma once

constexpr const char TEXT_CAPTION[] = "Talvok Self-Extractor";

constexpr const char TEXT_HEADER_CORRUPT[] =
    "Talvok Self-Extractor header corrupt.  Possible cause:  bad disk or file transfer error";

constexpr const char TEXT_INTERNAL_ERROR_FORMAT[] = "Talvok internal error in file %s line %d";

constexpr const char TEXT_NOT_ENOUGH_MEMORY[] = "not enough memory";
constexpr const char TEXT_NO_MEMORY_FOR_RESOURCES[] = "no memory for resources";
