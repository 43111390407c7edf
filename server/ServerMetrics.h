#pragma once
// What the application server counts for a monitor to scrape, in
// Prometheus's text format (AppServer serves it at /metrics of
// --metrics-listen): sessions open, handshakes by outcome, calls by method
// and outcome with their latency, the sizes of the group commit's batches,
// calls that waited for the answer budget, database errors and reconnects,
// and live updates sent.
//
// One set for the process: each part of the server counts into it with one
// call where the thing happens, whichever thread that is. Counting is an
// atomic addition, also while nobody scrapes.
//
// Labels hold names of the code only. A call's method is named as the
// contract declares it, and a method the contract does not declare is
// counted as "other": a name that came from the wire never becomes a label
// (a peer could otherwise grow the set without end), and no label names an
// operator, a branch or an address.
//
// Thread-safe.
#include "platform/net/Protocol.h"
#include "platform/net/RemoteContract.h"

#include <chrono>
#include <cstddef>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace prometheus {
class Counter;
class Gauge;
class Histogram;
class Registry;
} // namespace prometheus

class ServerMetrics {
public:
    static ServerMetrics& Instance();

    enum class THandshake {
        Accepted,   // a session began
        Refused,    // a wrong secret or operator, another protocol, no such server object
        Full,       // no connection place left for the server, the operator or the address
        NoDatabase, // accepted, but the session's database could not be opened
        Liveness,   // a liveness probe answered
        Dropped     // the connection ended before its handshake was answered
    };
    void Handshake(THandshake outcome);
    // A session holds a connection place from the first to the second.
    void SessionOpened();
    void SessionClosed();
    // A call answered by the module, took the time it ran.
    void Call(const std::string& method, const Protocol::CallReply& reply, std::chrono::steady_clock::duration took);
    // A batch of the group commit, of that many changes, committed or failed.
    void Batch(size_t changes);
    // A call asking the answer budget for room: full says it has to wait;
    // then whether room came in time (a call that found none is sent back).
    void AnswerWait(bool full);
    void AnswerRoom(bool room);
    // A failure the database reported that is no refusal (see
    // EDatabaseCheck): a lost connection, a connection refused, a lock
    // time-out, a full disk.
    void DatabaseError();
    // A connection to the database opened again after it had broken.
    void DatabaseReconnected();
    void UpdateSent();

    // What an exposer serves.
    std::shared_ptr<prometheus::Registry> Registry() const { return registry_; }

    // --metrics-listen: "HOST:PORT", or "PORT" alone for loopback's; false
    // for anything else. Port 0 picks a free one.
    static bool ParseAddress(const std::string& text, std::string& host, int& port);

private:
    ServerMetrics();

    struct MethodMetrics {
        prometheus::Counter* ok;
        prometheus::Counter* refused;
        prometheus::Counter* failed;
        prometheus::Histogram* latency;
    };
    MethodMetrics MakeMethod(const std::string& name);

    std::shared_ptr<prometheus::Registry> registry_;
    prometheus::Gauge* sessions_;
    std::vector<prometheus::Counter*> handshakes_;
    // By the contract's declaration; other_ for a name it does not declare.
    const RemoteContract& contract_;
    std::map<const ContractMethod*, MethodMetrics> methods_;
    MethodMetrics other_;
    prometheus::Histogram* batches_;
    prometheus::Counter* answerWaits_;
    prometheus::Counter* answerTimeouts_;
    prometheus::Counter* databaseErrors_;
    prometheus::Counter* reconnects_;
    prometheus::Counter* updates_;
};
