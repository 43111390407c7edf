#pragma once
// The memory the answers being built at once may take across the server: a
// call reserves the largest answer it may send before it runs, and gives it
// back once its answer is sent, so that many connections asking for large
// answers at the same moment build only as many as the budget holds; the
// others wait their turn.
//
// Thread-safe. Take never waits beyond its time-out.
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <mutex>

class AnswerBudget {
public:
    explicit AnswerBudget(size_t bytes) : bytes_(bytes) {}

    // Reserves bytes (at most the whole budget) within timeout; false when
    // the budget stayed full that long or stop became true.
    bool Take(size_t bytes, std::chrono::milliseconds timeout, const std::atomic<bool>& stop);
    void Give(size_t bytes);

private:
    const size_t bytes_;
    std::mutex mutex_;
    std::condition_variable freed_;
    size_t taken_ = 0;
};
