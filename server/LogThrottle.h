#pragma once
// Lets one log line through per interval, so a flood of the same event (a
// failing accept, a full server) writes a line now and then with a count of
// the lines held back instead of one line per event. Thread-safe.
#include <chrono>
#include <mutex>

class LogThrottle {
public:
    explicit LogThrottle(std::chrono::milliseconds interval) : interval_(interval) {}

    // True when a line may be written now; suppressed is then set to the
    // number of events held back since the last line.
    bool Allow(long& suppressed);

private:
    std::chrono::milliseconds interval_;
    std::mutex mutex_;
    std::chrono::steady_clock::time_point last_{};
    bool any_ = false;
    long held_ = 0;
};
