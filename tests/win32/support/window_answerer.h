// Answers the message boxes and dialogs a test's code shows, from a second
// thread, the way a person would: reads each one and presses its buttons.
#pragma once

#include <windows.h>

#include <atomic>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "uiauto.h"

namespace stub_test {

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

// Polls condition until it holds or timeout_ms pass; returns its last value.
// For effects the program produces from posted messages. The one polling
// loop of these tests: the other waits are built on it.
[[nodiscard]] bool WaitUntil(const std::function<bool()> &condition,
                             DWORD timeout_ms = uiauto::DEFAULT_TIMEOUT_MS);

}  // namespace stub_test
