// Progress line on stderr (see progress_meter.h).
#include "progress_meter.h"

#include "host_system.h"

#include <cstdio>

namespace {
constexpr auto REDRAW_INTERVAL = std::chrono::milliseconds(200);
}

ProgressMeter::ProgressMeter(const char *activity, uint64_t total_bytes, bool allowed)
    : activity_(activity), total_bytes_(total_bytes),
      shown_(allowed && total_bytes >= PROGRESS_MIN_BYTES && StderrIsTerminal()),
      last_draw_(std::chrono::steady_clock::now() - REDRAW_INTERVAL)
{
    if (shown_)
        Draw(0);
}

ProgressMeter::~ProgressMeter()
{
    if (!shown_)
        return;
    std::lock_guard<std::mutex> lock(drawing_);
    std::fprintf(stderr, "\r%*s\r", int(line_chars_), "");
    std::fflush(stderr);
}

void ProgressMeter::Advance(uint64_t done_bytes)
{
    if (!shown_)
        return;
    const uint64_t done = done_bytes_ += done_bytes;
    if (std::chrono::steady_clock::now() - last_draw_ < REDRAW_INTERVAL)
        return;
    std::unique_lock<std::mutex> lock(drawing_, std::try_to_lock);
    if (lock.owns_lock())
        Draw(done);
}

void ProgressMeter::Draw(uint64_t done_bytes)
{
    last_draw_ = std::chrono::steady_clock::now();
    const unsigned percent = total_bytes_ ? unsigned(done_bytes * 100 / total_bytes_) : 100;
    const int chars = std::fprintf(stderr, "\rtvsfx: %s %3u%% (%.1f of %.1f MB)", activity_.c_str(), percent,
                                   double(done_bytes) / 1e6, double(total_bytes_) / 1e6);
    if (chars > 1 && size_t(chars - 1) > line_chars_)
        line_chars_ = size_t(chars - 1);
    std::fflush(stderr);
}
