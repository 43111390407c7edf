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
    // Clients presenting another secret in the handshake are refused; empty
    // means none is asked (allowed on a loopback address only).
    std::string secret;
    int maxConnections = 32;
    // A connection with no call for this long is closed.
    std::chrono::milliseconds idleTimeout{std::chrono::minutes(10)};
    // Once a message has begun, the whole of it must arrive within this time.
    std::chrono::milliseconds frameTimeout{std::chrono::seconds(10)};
    size_t maxFrame = FrameBuffer::kDefaultMaxFrame;
    DatabaseOptions database;
};
