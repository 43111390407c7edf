#include "server/LogThrottle.h"

bool LogThrottle::Allow(long& suppressed)
{
    std::lock_guard lock(mutex_);
    auto now = std::chrono::steady_clock::now();
    if (!any_ || now - window_ >= interval_) {
        any_ = true;
        window_ = now;
        lines_ = 0;
    }
    if (lines_ >= burst_) {
        ++held_;
        return false;
    }
    ++lines_;
    suppressed = held_;
    held_ = 0;
    return true;
}

long LogThrottle::Held()
{
    std::lock_guard lock(mutex_);
    return held_;
}
