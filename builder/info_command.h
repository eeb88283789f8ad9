// "tvsfx info FILE": what an installer holds, for people (aligned text) and
// for scripts (--json, the same facts as one object). Texts and names are
// shown as UTF-8, converted from the code page the stub will read them in.
#pragma once

#include "reading_options.h"

// Returns the exit status: 0, or 1 when the file cannot be read or holds no
// installer (refused with BuildError).
int RunInfo(const ReadingOptions &options);

// The header fields' names in info and in its JSON (the build options' names).
extern const char *const HeaderFieldNames[];
