// The texts in the installer's language that the program shows from its
// own data rather than from the message table (see fixed_texts.h). ANSI
// bytes (code page 1252).
#pragma once

// Shown after an internal error's report has been written (the message
// table may be what went wrong); %s is the report's file name.
constexpr const char TEXT_REPORT_WRITTEN_FORMAT[] =
    "Please keep the file %s and report it to the maker:\n\n"
    "Talvok Self-Extractor\nsupport@talvok.example\nhttp://www.talvok.example/";

// Button 112's label when the author asks for an info button ("&Info..."
// would share its accelerator with "&Install").
constexpr const char TEXT_INFO_BUTTON[] = "I&nfo...";
