#pragma once
// Lets burst log lines through per interval, so a flood of the same event (a
// failing accept, a full server, a peer's bad calls) writes a few lines now
// and then with a count of the lines held back instead of one line per event.
// Thread-safe.
#include <chrono>
#include <mutex>

class LogThrottle {
public:
    explicit LogThrottle(std::chrono::milliseconds interval, int burst = 1) : interval_(interval), burst_(burst) {}

    // True when a line may be written now; suppressed is then set to the
    // number of events held back since the last line.
    bool Allow(long& suppressed);
    // The events held back since the last line.
    long Held();

private:
    std::chrono::milliseconds interval_;
    int burst_;
    std::mutex mutex_;
    std::chrono::steady_clock::time_point window_{};
    bool any_ = false;
    int lines_ = 0;
    long held_ = 0;
};
