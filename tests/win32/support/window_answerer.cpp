// The second thread that answers a test's dialogs (see window_answerer.h).
#include "support/window_answerer.h"

#include "uiauto.h"

namespace stub_test {

WindowAnswerer::WindowAnswerer(Answer answer) : answer_(std::move(answer)), thread_([this] { Watch(); }) {}

const std::vector<std::string> &WindowAnswerer::Stop()
{
    stop_ = true;
    if (thread_.joinable())
        thread_.join();
    return records_;
}

void WindowAnswerer::Watch()
{
    while (!stop_) {
        for (HWND window : uiauto::TopLevelWindows(GetCurrentProcessId())) {
            if (uiauto::ClassName(window) != "#32770")
                continue;
            records_.push_back(answer_(window));
            // The answer's posted click takes a moment to close the window.
            for (int i = 0; i < 100 && IsWindowVisible(window); i++)
                Sleep(10);
        }
        Sleep(10);
    }
}

WindowAnswerer::Answer PressOnEveryBox(int button)
{
    return [button](HWND box) {
        std::string text = uiauto::MessageBoxText(box);
        if (!uiauto::PressButtonId(box, button))
            text += " <could not press " + std::to_string(button) + ">";
        return text;
    };
}

bool WaitUntil(const std::function<bool()> &condition, DWORD timeout_ms)
{
    const DWORD deadline = GetTickCount() + timeout_ms;
    while (!condition() && static_cast<LONG>(deadline - GetTickCount()) > 0)
        Sleep(uiauto::POLL_INTERVAL_MS);
    return condition();
}

}  // namespace stub_test
