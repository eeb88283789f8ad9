// Progress on stderr for long work (compressing a large folder, decoding a
// large payload): one line rewritten in place, "tvsfx: <activity> 42%
// (27.3 of 64.1 MB)", cleared when the work ends. Shown only when stderr is
// a terminal, the caller allows it (not --quiet) and the work is large
// enough to take noticeable time; otherwise every call does nothing, so a
// log or a pipe never sees a byte of it.
//
// Advance() may be called from several threads at once; at most one of them
// redraws the line, at most five times a second.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <mutex>
#include <string>

// Work below this size is quick enough to need no progress line.
constexpr uint64_t PROGRESS_MIN_BYTES = 4u << 20;

class ProgressMeter {
public:
    ProgressMeter(const char *activity, uint64_t total_bytes, bool allowed);
    ~ProgressMeter();  // clears the line
    ProgressMeter(const ProgressMeter &) = delete;
    ProgressMeter &operator=(const ProgressMeter &) = delete;

    void Advance(uint64_t done_bytes);
    bool shown() const { return shown_; }

private:
    void Draw(uint64_t done_bytes);

    std::string activity_;
    uint64_t total_bytes_;
    bool shown_;
    std::atomic<uint64_t> done_bytes_{0};
    std::mutex drawing_;
    std::chrono::steady_clock::time_point last_draw_;
    size_t line_chars_ = 0;
};
