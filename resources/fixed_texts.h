// Texts the program shows from its own data rather than from the message
// table: they must be available before the table is unpacked, or when
// something has gone too wrong to trust it. ANSI bytes (code page 1252);
// a hex escape stands alone in its literal so it cannot swallow a letter.
#pragma once

constexpr const char TEXT_CAPTION[] = "Talvok Self-Extractor";

constexpr const char TEXT_HEADER_CORRUPT[] =
    "Talvok Self-Extractor header corrupt.  Possible cause:  bad disk or file transfer error";

constexpr const char TEXT_INTERNAL_ERROR_FORMAT[] = "Talvok internal error in file %s line %d";

// Shown after the report has been written; %s is the report's file name.
constexpr const char TEXT_REPORT_WRITTEN_FORMAT[] =
    "Guarde el archivo %s e inf\xF3" "rmelo al fabricante:\n\n"
    "Talvok Self-Extractor\nsoporte@talvok.example\nhttp://www.talvok.example/";

constexpr const char TEXT_NOT_ENOUGH_MEMORY[] = "not enough memory";
constexpr const char TEXT_NO_MEMORY_FOR_RESOURCES[] = "no memory for resources";

// Button 112's label when the author asks for an info button.
constexpr const char TEXT_INFO_BUTTON[] = "&Info...";
