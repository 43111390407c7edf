#include "server/LogThrottle.h"

bool LogThrottle::Allow(long& suppressed)
{
    std::lock_guard lock(mutex_);
    auto now = std::chrono::steady_clock::now();
    if (any_ && now - last_ < interval_) {
        ++held_;
        return false;
    }
    any_ = true;
    last_ = now;
    suppressed = held_;
    held_ = 0;
    return true;
}
