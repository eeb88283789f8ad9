// Helpers shared by the start-up tests: texts as the program shows them,
// paths, and the current directory of a running program.
#pragma once

#include <windows.h>

#include <string>

namespace stub_test {

// A UTF-8 text (as the tests are written) in the ANSI code page, as the
// program shows it.
std::string Ansi(const char *utf8);

// Full path of a path relative to the test's current directory.
std::string FullPath(const std::string &relative);

// The current directory of a running process, read from its process
// parameters; "<...>" when it cannot be read.
std::string CurrentDirectoryOf(HANDLE process);

// Copies a file; true on success.
bool CopyTo(const std::string &from, const std::string &to);

// The whole content of a file, or "" when it cannot be read.
std::string ReadWholeFile(const std::string &path);

}  // namespace stub_test
