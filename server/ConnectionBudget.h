#pragma once
// The places of an application server. A connection still in its handshake
// holds a handshake place, out of a budget in all and a share per peer
// address; only a finished handshake takes one of the connection places, so
// peers that open connections and never finish a handshake cannot keep an
// operator out. Failed handshakes are counted per address: each answer to
// one is delayed twice as long as the one before (from 100 ms up to 6.4 s;
// a success or a minute without failures starts again from the bottom), and
// a log line for them is allowed once per address every 5 s.
//
// Thread-safe. Memory stays bounded: at most kMaxAddresses addresses are
// remembered; when that many failed within the last minute, a new address's
// failure is answered after the longest delay and logged at the global rate.
#include "server/LogThrottle.h"

#include <chrono>
#include <map>
#include <mutex>
#include <string>

class ConnectionBudget {
public:
    static constexpr std::chrono::milliseconds kFirstDelay{100};
    static constexpr std::chrono::milliseconds kLongestDelay{6400};
    static constexpr std::chrono::seconds kLogInterval{5};
    static constexpr std::chrono::seconds kForgetAfter{60};
    static constexpr size_t kMaxAddresses = 4096;

    ConnectionBudget(int maxConnections, int maxPending, int maxPerAddress);

    // Takes a handshake place for a connection from address; false when the
    // budget in all or the address's share is used up.
    bool BeginHandshake(const std::string& address);
    void EndHandshake(const std::string& address);

    // Takes a connection place; false when all are taken.
    bool TakePlace();
    void ReleasePlace();
    int Places();

    struct Failure {
        std::chrono::milliseconds delay{0};
        // Whether to log this failure, and how many of the address's went
        // unlogged since its last line.
        bool log = false;
        long suppressed = 0;
    };
    Failure Failed(const std::string& address);
    void Succeeded(const std::string& address);

private:
    struct Record {
        int pending = 0;
        int failures = 0;
        long unlogged = 0;
        std::chrono::steady_clock::time_point lastFailure{};
        std::chrono::steady_clock::time_point lastLog{};
        bool logged = false;
    };
    // Drops the records of addresses with nothing pending and no recent failure.
    void Forget(std::chrono::steady_clock::time_point now);

    const int maxConnections_;
    const int maxPending_;
    const int maxPerAddress_;
    std::mutex mutex_;
    int pending_ = 0;
    int places_ = 0;
    std::map<std::string, Record> addresses_;
    // The failures of addresses beyond kMaxAddresses, logged at one rate.
    LogThrottle overflowLog_{kLogInterval};
};
