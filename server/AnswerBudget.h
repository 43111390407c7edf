#pragma once
// The memory the answers on their way at once may take across the server. A
// call reserves the size of its answer once its result is read and before
// its bytes are built, and gives it back as the bytes are written, so that
// many connections asking for large answers at the same moment hold only as
// many as the budget allows; the others wait their turn.
//
// The budget is shared fairly between holders (an operator, or the network
// of a connection without one): a holder that holds something never takes
// more than half of it, and while another holder waits, none takes beyond
// its share (the budget divided by the holders that hold or wait). A holder
// that holds nothing may take whatever fits, so that an answer larger than
// a share is not kept out for good; and a reader that does not read holds
// only what was not written to it yet.
//
// Thread-safe. Take never waits beyond its time-out.
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <map>
#include <mutex>
#include <string>

class AnswerBudget {
public:
    explicit AnswerBudget(size_t bytes) : bytes_(bytes) {}

    // Reserves bytes (at most the whole budget) for holder within timeout;
    // false when there was no room for it that long or stop became true.
    bool Take(const std::string& holder, size_t bytes, std::chrono::milliseconds timeout,
              const std::atomic<bool>& stop);
    // Gives back bytes of what holder took.
    void Give(const std::string& holder, size_t bytes);
    // What a call of method is reserved before it runs: the largest answer
    // the budget allows until one was sent, then the size of the last answer
    // of that method or half the one before, whichever is larger, so that a
    // method with small answers stops reserving large ones after a few calls.
    size_t Estimate(const std::string& method);
    void Answered(const std::string& method, size_t bytes);
    // What is taken now, in all and by holder.
    size_t Taken();
    size_t TakenBy(const std::string& holder);
    // The calls waiting for room now.
    int Waiting();

private:
    struct Holder {
        size_t held = 0;
        int waiting = 0;
    };
    bool Fits(const Holder& me, size_t bytes) const;

    const size_t bytes_;
    std::mutex mutex_;
    std::condition_variable freed_;
    size_t taken_ = 0;
    // Holders that hold or wait; dropped when they do neither.
    std::map<std::string, Holder> holders_;
    // By method; the server's methods are few and known.
    std::map<std::string, size_t> estimates_;
};
