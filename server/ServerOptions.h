#pragma once
// How an application server runs: where it listens, which database it uses,
// and the limits it puts on its clients.
#include "platform/net/FrameBuffer.h"
#include "server/Database.h"

#include <chrono>
#include <string>

struct ServerOptions {
    std::string db;
    std::string listenHost = "127.0.0.1";
    int listenPort = 7211;
    // Where the metrics are served over HTTP, at /metrics (see
    // ServerMetrics); off while metricsPort is negative, a free port when 0.
    std::string metricsHost = "127.0.0.1";
    int metricsPort = -1;
    // Clients presenting another secret in the handshake are refused; empty
    // means none is asked (allowed on a loopback address only).
    std::string secret;
    // Certificate (chain) and private key files in PEM: the server speaks
    // TLS when both are named. Required to listen outside loopback.
    std::string tlsCert;
    std::string tlsKey;
    // The operators and their branches (see Credentials); empty: the shared
    // secret alone, and every branch.
    std::string credentialsFile;
    // Connections that finished the handshake, served at once.
    int maxConnections = 32;
    // Connections still in the handshake have a budget of their own, in all
    // and per peer address, so that peers that never finish one cannot keep
    // an operator out; the whole handshake must arrive within its time-out.
    // One network (an IPv4 /24, an IPv6 /64) counts as one address.
    int maxPendingHandshakes = 64;
    int maxHandshakesPerAddress = 8;
    // Sessions one operator, and one address, may hold at once, so that one
    // of them cannot take every connection place.
    int maxSessionsPerOperator = 4;
    int maxSessionsPerAddress = 16;
    std::chrono::milliseconds handshakeTimeout{std::chrono::seconds(2)};
    // A connection with no call for this long is closed.
    std::chrono::milliseconds idleTimeout{std::chrono::minutes(10)};
    // How long a stop waits for the sessions' calls to end (under the service
    // unit's stop time-out).
    std::chrono::milliseconds stopTimeout{std::chrono::seconds(10)};
    // Once a message has begun, the whole of it must arrive within this time.
    std::chrono::milliseconds frameTimeout{std::chrono::seconds(10)};
    size_t maxFrame = FrameBuffer::kDefaultMaxFrame;
    // An answer larger than this is replaced by a fault naming the bound.
    size_t maxAnswer = FrameBuffer::kDefaultMaxFrame;
    // The answers on their way at once across the server (AnswerBudget): a
    // call answering a data set reserves of it what its method's answers
    // needed of late, then its own answer's size, until written; a call that
    // finds no room within answerWait gets a fault that it may send again.
    size_t answerMemory = 2 * FrameBuffer::kDefaultMaxFrame;
    std::chrono::milliseconds answerWait{std::chrono::seconds(5)};
    // Values (rows times fields, and one more for each row) that the data
    // packets of one call may hold once decoded; a nil value takes one byte
    // on the wire but some forty in memory, and an empty row four bytes but
    // some sixty, so the frame bound alone does not bound a call's memory.
    size_t maxCells = 1000000;
    DatabaseOptions database;
};
