// Shown after an internal error's report has been written, from the
// program's own data (the message table may be what went wrong); %s is the
// report's file name. ANSI bytes (code page 1252).
#pragma once

constexpr const char TEXT_REPORT_WRITTEN_FORMAT[] =
    "Guarde el archivo %s e inf\xF3" "rmelo al fabricante:\n\n"
    "Talvok Self-Extractor\nsoporte@talvok.example\nhttp://www.talvok.example/";
