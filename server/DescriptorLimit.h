#pragma once
// The open-file limit (RLIMIT_NOFILE) an application server needs: every
// connection, every handshake in progress and every handshake arrived and
// waiting to be answered (twice as many as in progress: the tries and the
// refusals waiting for their delay) holds up to
// kPerConnection descriptors (its socket, its io_context's epoll, eventfd and
// timerfd, its channel's epoll and wake-up eventfd, and on SQLite the
// database file with its -wal and -shm), and the
// process needs kHeadroom more (the listening socket, the loop, the logs,
// a database connection at start) on top of what is open already.
//
// Failure behaviour: Ensure raises the soft limit to what is needed when the
// hard limit allows it, and otherwise throws EInvalidOperation naming the
// number needed and the limit.
#include "server/ServerOptions.h"

class DescriptorLimit {
public:
    static constexpr long kPerConnection = 9;
    static constexpr long kHeadroom = 64;

    // Descriptors the options need, counting those open now.
    static long Needed(const ServerOptions& options);
    static void Ensure(const ServerOptions& options);
};
