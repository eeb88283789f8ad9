// Helpers shared by the start-up tests: texts as the program shows them and
// the current directory of a running program (file helpers: test_files.h).
#pragma once

#include <windows.h>

#include <string>

#include "support/test_files.h"

namespace stub_test {

// A UTF-8 text (as the tests are written) in the ANSI code page, as the
// program shows it.
std::string Ansi(const char *utf8);

// The current directory of a running process, read from its process
// parameters; "<...>" when it cannot be read.
std::string CurrentDirectoryOf(HANDLE process);

}  // namespace stub_test
