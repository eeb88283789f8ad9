// What the extraction tests share: the installers and unzip's trees made by
// make_archives.sh, a tree comparison, and a fixture that runs ExtractionRun
// in-process on an installer, as the main dialog will. Message boxes are
// answered with support/window_answerer.h.
#pragma once

#include <windows.h>
#include <gtest/gtest.h>

#include <string>

#include "startup/message_table.h"
#include "support/window_answerer.h"

namespace stub_test {

// An installer or folder made by make_archives.sh, by its name there.
std::string Archives(const std::string &name);

// A message of the program's table with its arguments, as the run shows it.
std::string Format(StringId id, ...);

// Every file and folder under expected must be under actual with the same
// bytes and, for files, the same clock time (to the DOS format's 2 s).
void ExpectSameTree(const std::string &expected, const std::string &actual, const std::string &label);

class ExtractionRunTest : public ::testing::Test {
protected:
    static void SetUpTestSuite();

    // Takes over the installer's block and opens it as the archive, as the
    // installer's own start-up does; false when it cannot.
    static bool TakeOver(const std::string &installer);
    // Runs the extraction into target (a full path); returns the run's result.
    static int ExtractInto(const std::string &target);
    // Both: extracts installer into the folder (relative to the test's
    // working folder); -1 when the installer could not be taken over.
    static int Run(const std::string &installer, const std::string &folder);
};

}  // namespace stub_test
