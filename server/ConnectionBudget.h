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
// once the handshake has arrived: what may follow (waiting for its turn, for
// a secret check or for the delay of its refusal, or answering the liveness
// question) holds a wait place, out of a budget as large as the handshake
// places and with the same share per network; the refusals waiting for
// their delay have as many places again, shared the same way, so that wrong
// secrets waiting for their answers never keep the right one out. When every
// place is
// taken, a network holding fewer than another takes the place of that
// network's oldest wait, which gives up unanswered: attackers from other
// networks cannot keep an operator's try from waiting its turn.
//
// A connection place is also counted per operator and per network, so that
// one operator's or one host's idle sessions cannot take every place.
//
// Failed handshakes are counted per network and operator name (the name is
// empty without one): each answer to one is delayed twice as long as the one
// before (from 100 ms up to 6.4 s; a success of that network and name, or a
// minute without failures, starts again from the bottom). The same pair has a
// turn: one secret of a name from one network is checked at a time, and after
// a failure the next no sooner than kNameInterval later; a try that waits
// longer than kLongestNameWait for its
// turn is refused unchecked. Guesses at a name from other networks never take
// the turn of the name's own network. The secret checks that derive a hash
// (kChecksAtOnce at once in all) are handed out across the networks whose
// tries wait for one: the next goes to the network running the fewest, and
// among those to the one served longest ago, so that one network cannot take
// another's share while that one waits. A log line for the failures is
// allowed once per network every 5 s, and warnings about a network's calls
// kWarningBurst times every kWarningInterval.
//
// Thread-safe. Memory stays bounded: at most kMaxAddresses networks and
// pairs are remembered; when that many failed within the last minute, a new
// one's failure is answered after the longest delay and logged at the global
// rate, and a new pair waits for its turn until one is forgotten.
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

    // Whether name's secret may be checked now for a try from network; the
    // turn is then the caller's until EndTurn. False: another check of the
    // pair runs, or its last failed too recently, or too many pairs are
    // remembered.
    bool TakeTurn(const std::string& network, const std::string& name);
    void EndTurn(const std::string& network, const std::string& name, bool failed);

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

    struct Wait {
        bool taken = false;
        // The place's ticket, for Waiting, TakeCheck and EndWait.
        std::uint64_t ticket = 0;
    };
    // Takes a wait place for a handshake from network that has arrived; not
    // taken when the network's share is used up, or when every place is
    // taken and no network holds more than this one.
    Wait BeginWait(const std::string& network);
    // The try holding ticket is refused and waits for its delay: its place
    // goes to the refusals', which are shared as the tries' are. False when
    // none was left (the wait is then ended, the connection to be closed
    // unanswered).
    bool Refusing(std::uint64_t ticket);
    // False once the place was given to another network's try.
    bool Waiting(std::uint64_t ticket);
    void EndWait(std::uint64_t ticket);

    static constexpr int kChecksAtOnce = 2;
    // Whether the try holding the wait place ticket may derive its secret's
    // hash now (see above); it is then counted until EndCheck. A try that
    // asks again keeps its place in the line.
    bool TakeCheck(std::uint64_t ticket);
    void EndCheck(std::uint64_t ticket);

    // Whether a warning about a call from network may be logged; suppressed
    // is then the network's warnings held back since its last one.
    bool AllowWarning(const std::string& network, long& suppressed);

private:
    struct Record {
        int failures = 0;
        std::chrono::steady_clock::time_point lastFailure{};
        // The pair's turn: a check running, and when the next may run.
        bool checking = false;
        std::chrono::steady_clock::time_point notBefore{};
    };
    struct NetworkRecord {
        int pending = 0;
        int places = 0;
        int waits = 0;
        int delays = 0;
        int checks = 0;
        // When the network was last given a check, counted in checks given.
        std::uint64_t lastCheck = 0;
        long unlogged = 0;
        std::chrono::steady_clock::time_point lastLog{};
        bool logged = false;
        std::chrono::steady_clock::time_point warningWindow{};
        int warnings = 0;
        long heldWarnings = 0;
    };
    struct WaitRecord {
        std::string network;
        // Whether the try asks for a check, and its place in the line.
        bool asking = false;
        std::uint64_t asked = 0;
        bool refusing = false;
    };
    // Drops what is no longer needed: pairs without a recent failure, a
    // check or a turn to come, networks without anything pending, placed,
    // waiting or checking and without a recent line.
    void Forget(std::chrono::steady_clock::time_point now);
    NetworkRecord* NetworkOf(const std::string& network, bool make);
    void DropIfIdle(const std::string& network);
    // Whether the network holds nothing and may be dropped.
    static bool Idle(const NetworkRecord& r);
    // Whether a wait of the kind (a try, or a refusal waiting for its delay)
    // from network fits, once the oldest of the network holding the most
    // of that kind has given its place up if need be.
    bool MakeRoom(const std::string& network, bool refusing);
    void DropWait(std::map<std::uint64_t, WaitRecord>::iterator it);

    const Limits limits_;
    std::mutex mutex_;
    std::uint64_t nextTicket_ = 1;
    // Handshakes in progress by ticket, the oldest first, and their network.
    std::map<std::uint64_t, std::string> pending_;
    int places_ = 0;
    // Tries past their handshake by wait ticket, the oldest first, and the
    // checks running by the same ticket, with their network.
    std::map<std::uint64_t, WaitRecord> waits_;
    std::map<std::uint64_t, std::string> checks_;
    int trying_ = 0;
    int delaying_ = 0;
    std::uint64_t nextAsk_ = 1;
    std::uint64_t nextGrant_ = 1;
    std::map<std::string, int> operators_;
    std::map<std::string, NetworkRecord> networks_;
    std::map<std::string, Record> pairs_;
    // The failures of networks beyond kMaxAddresses, logged at one rate.
    LogThrottle overflowLog_{kLogInterval};
};
