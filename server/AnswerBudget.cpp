#include "server/AnswerBudget.h"

#include <algorithm>

bool AnswerBudget::Take(size_t bytes, std::chrono::milliseconds timeout, const std::atomic<bool>& stop)
{
    bytes = std::min(bytes, bytes_);
    const auto until = std::chrono::steady_clock::now() + timeout;
    std::unique_lock lock(mutex_);
    while (taken_ + bytes > bytes_) {
        // Woken now and then to see whether the session is asked to end.
        const auto next = std::min(until, std::chrono::steady_clock::now() + std::chrono::milliseconds(50));
        freed_.wait_until(lock, next);
        if (stop || std::chrono::steady_clock::now() >= until) {
            if (taken_ + bytes > bytes_) {
                return false;
            }
        }
    }
    taken_ += bytes;
    return true;
}

void AnswerBudget::Give(size_t bytes)
{
    {
        std::lock_guard lock(mutex_);
        taken_ -= std::min(bytes, std::min(bytes_, taken_));
    }
    freed_.notify_all();
}
