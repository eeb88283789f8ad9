// Shown after an internal error's report has been written, from the
// program's own data (the message table may be what went wrong); %s is the
// report's file name. ANSI bytes (code page 1252).
#pragma once

constexpr const char TEXT_REPORT_WRITTEN_FORMAT[] =
    "Please keep the file %s and report it to the maker:\n\n"
    "Talvok Self-Extractor\nsupport@talvok.example\nhttp://www.talvok.example/";
