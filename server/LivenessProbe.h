#pragma once
// Whether the application server's database answers, asked for the liveness
// question: one probe of the database at a time, its answer given again to
// every question for kReuseFor, so that a flood of questions opens at most
// one database connection and keeps no thread waiting on the database. A
// question that comes while a probe runs waits for its answer at most
// kLongestWait, and is then told the database does not answer (it has not
// within that time).
//
// Failure behaviour: never throws for what the database does; why it did not
// answer is given as text. Thread-safe.
#include "server/Database.h"

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>

class LivenessProbe {
public:
    static constexpr std::chrono::milliseconds kReuseFor{1000};
    static constexpr std::chrono::milliseconds kLongestWait{1000};

    LivenessProbe(std::string location, DatabaseOptions options);

    // Whether the database answers; why it does not, when it does not. A
    // question waiting for another's probe gives up, not answering, once
    // wanted turns false (its peer left, the server stops).
    bool DatabaseAnswers(const std::function<bool()>& wanted, std::string& why);

private:
    // Asks the database itself, on the caller's thread.
    bool Probe(std::string& why) const;

    const std::string location_;
    const DatabaseOptions options_;
    std::mutex mutex_;
    std::condition_variable done_;
    bool running_ = false;
    // The last answer and when it was given; none yet when answered_ is false.
    bool answered_ = false;
    bool answers_ = false;
    std::string why_;
    std::chrono::steady_clock::time_point at_{};
    // Counts probes, so that a waiter sees the one it waited for end.
    unsigned long probes_ = 0;
};
