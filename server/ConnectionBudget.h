#pragma once
// The places of an application server. Peers are counted by network (an IPv4
// /24, an IPv6 /64), since one host usually holds a whole one of them.
//
// A connection still in its handshake holds a handshake place, out of a
// budget in all and a share per network; only a finished handshake takes one
// of the connection places, so peers that open connections and never finish a
// handshake cannot keep an operator out. When every handshake place is taken,
// a connection from a network with its share left takes the place of the
// oldest handshake in progress, which is to be closed: a few networks filling
// the places cannot keep a new peer out. A handshake gives its place back
// once the handshake has arrived: what may follow (waiting for its operator
// name's turn, or for the delay of its refusal) has a budget of its own, as
// large as the handshake places, beyond which a connection is closed
// unanswered.
//
// A connection place is also counted per operator and per network, so that
// one operator's or one host's idle sessions cannot take every place.
//
// Failed handshakes are counted per network and operator name (the name is
// empty without one): each answer to one is delayed twice as long as the one
// before (from 100 ms up to 6.4 s; a success of that network and name, or a
// minute without failures, starts again from the bottom). They are counted
// per operator name too, whatever the network: one secret of a name is
// checked at a time, and after a failure the next no sooner than
// kNameInterval later; a try that waits longer than kLongestNameWait for its
// turn is refused unchecked. A log line for the failures is allowed
// once per network every 5 s, and warnings about a network's calls
// kWarningBurst times every kWarningInterval.
//
// Thread-safe. Memory stays bounded: at most kMaxAddresses networks, names
// and pairs are remembered; when that many failed within the last minute, a
// new one's failure is answered after the longest delay and logged at the
// global rate, and a new name waits for its turn until a name is forgotten.
#include "server/LogThrottle.h"

#include <chrono>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>

class ConnectionBudget {
public:
    static constexpr std::chrono::milliseconds kFirstDelay{100};
    static constexpr std::chrono::milliseconds kLongestDelay{6400};
    static constexpr std::chrono::milliseconds kNameInterval{500};
    static constexpr std::chrono::milliseconds kLongestNameWait{2000};
    static constexpr std::chrono::seconds kLogInterval{5};
    static constexpr std::chrono::seconds kWarningInterval{5};
    static constexpr int kWarningBurst = 10;
    static constexpr std::chrono::seconds kForgetAfter{60};
    static constexpr size_t kMaxAddresses = 4096;

    struct Limits {
        int maxConnections = 32;
        int maxPending = 64;
        int maxPendingPerNetwork = 8;
        int maxPerOperator = 4;
        int maxPerNetwork = 32;
    };
    explicit ConnectionBudget(Limits limits);

    // The network an address belongs to, as the budget counts it:
    // "10.1.2.0/24", "2001:db8:1:2::/64"; the address itself when it is not one.
    static std::string Network(const std::string& address);

    struct Handshake {
        bool taken = false;
        // The place's ticket, for EndHandshake.
        std::uint64_t ticket = 0;
        // The ticket of the oldest handshake, whose place was given to this
        // one and which the caller closes; 0 for none.
        std::uint64_t evicted = 0;
    };
    // Takes a handshake place for a connection from network; not taken when
    // the network's share is used up.
    Handshake BeginHandshake(const std::string& network);
    // Gives the place back; nothing when it was given to another already.
    void EndHandshake(std::uint64_t ticket);

    enum class TPlace { Taken, Full, OperatorFull, NetworkFull };
    // Takes a connection place for the operator (empty: none) from network.
    TPlace TakePlace(const std::string& operatorName, const std::string& network);
    void ReleasePlace(const std::string& operatorName, const std::string& network);
    int Places();

    // Whether name's secret may be checked now; the turn is then the
    // caller's until EndTurn. False: another check runs, or the last failed
    // less than kNameInterval ago, or too many names are remembered.
    bool TakeTurn(const std::string& name);
    void EndTurn(const std::string& name, bool failed);

    struct Failure {
        std::chrono::milliseconds delay{0};
        // Whether to log this failure, and how many of the network's went
        // unlogged since its last line.
        bool log = false;
        long suppressed = 0;
    };
    // A failed handshake, counted for its network and name.
    Failure Failed(const std::string& network, const std::string& name);
    void Succeeded(const std::string& network, const std::string& name);

    // A place among the refusals waiting for their delay; false when all are
    // taken (the connection is then closed at once).
    bool BeginDelay();
    void EndDelay();

    // Whether a warning about a call from network may be logged; suppressed
    // is then the network's warnings held back since its last one.
    bool AllowWarning(const std::string& network, long& suppressed);

private:
    struct Record {
        int failures = 0;
        std::chrono::steady_clock::time_point lastFailure{};
    };
    struct NetworkRecord {
        int pending = 0;
        int places = 0;
        long unlogged = 0;
        std::chrono::steady_clock::time_point lastLog{};
        bool logged = false;
        std::chrono::steady_clock::time_point warningWindow{};
        int warnings = 0;
        long heldWarnings = 0;
    };
    struct NameRecord {
        bool checking = false;
        bool failed = false;
        std::chrono::steady_clock::time_point lastFailure{};
    };
    // Drops what is no longer needed: pairs and names without a recent
    // failure, networks without anything pending or placed and without a
    // recent line.
    void Forget(std::chrono::steady_clock::time_point now);
    NetworkRecord* NetworkOf(const std::string& network, bool make);
    void DropIfIdle(const std::string& network);

    const Limits limits_;
    std::mutex mutex_;
    std::uint64_t nextTicket_ = 1;
    // Handshakes in progress by ticket, the oldest first, and their network.
    std::map<std::uint64_t, std::string> pending_;
    int places_ = 0;
    int delayed_ = 0;
    std::map<std::string, int> operators_;
    std::map<std::string, NetworkRecord> networks_;
    std::map<std::string, Record> pairs_;
    std::map<std::string, NameRecord> names_;
    // The failures of networks beyond kMaxAddresses, logged at one rate.
    LogThrottle overflowLog_{kLogInterval};
};
