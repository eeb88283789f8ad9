// What the extraction tests share: the installers and unzip's trees made by
// make_archives.sh, a tree comparison, a thread that answers the run's
// message boxes, and a fixture that runs ExtractionRun in-process on an
// installer, as the main dialog will.
#pragma once

#include <windows.h>
#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace stub_test {

// An installer or folder made by make_archives.sh, by its name there.
std::string Archives(const std::string &name);

// Every file and folder under expected must be under actual with the same
// bytes and, for files, the same clock time (to the DOS format's 2 s).
void ExpectSameTree(const std::string &expected, const std::string &actual, const std::string &label);

// Answers this process's dialogs from a second thread while it lives: each
// one with class "#32770" that appears is handed to the answer, which reads
// it and presses its buttons. Its return value is recorded.
class WindowAnswerer {
public:
    using Answer = std::function<std::string(HWND)>;
    explicit WindowAnswerer(Answer answer);
    ~WindowAnswerer() { Stop(); }
    WindowAnswerer(const WindowAnswerer &) = delete;
    WindowAnswerer &operator=(const WindowAnswerer &) = delete;
    // Ends the watch; the records are read only after it.
    const std::vector<std::string> &Stop();

private:
    void Watch();
    Answer answer_;
    std::vector<std::string> records_;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

// A message box answerer: records each box's text, then presses button.
WindowAnswerer::Answer PressOnEveryBox(int button);

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
