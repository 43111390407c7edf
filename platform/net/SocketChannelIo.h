#pragma once
// The Asio side of a SocketChannel, for code that works on its socket
// directly. A standard header comes before Asio: Asio picks how it allocates
// handler memory from a macro of the standard library.
#include "platform/net/SocketChannel.h"
#include "platform/net/TlsContext.h"

#include <asio.hpp>
#include <asio/ssl.hpp>

#include <mutex>
#include <vector>

struct SocketChannel::Io {
    Io();
    ~Io();
    Io(const Io&) = delete;
    Io& operator=(const Io&) = delete;

    // Runs the work other threads posted, once each.
    void RunPosted();

    asio::io_context ioc;
    asio::ip::tcp::socket socket{ioc};
    // The TLS session over socket while the channel speaks TLS; made anew for
    // every connection, since a session cannot outlive its connection.
    std::unique_ptr<asio::ssl::stream<asio::ip::tcp::socket&>> tls;
    // Work posted by other threads for the channel's thread, and the eventfd
    // that ends a wait in epoll when some is there. The same work is also
    // posted to ioc, for a wait that runs there.
    std::mutex postLock;
    std::vector<std::function<void()>> posted;
    int wake = -1;
    // Plain TCP waits in this epoll on the socket and wake, each registered
    // once (the socket when its connection is made), so that a wait
    // registers nothing.
    int poller = -1;
    // Registers the socket's new connection with poller.
    void Watch();
    // Plain TCP: the bytes of the last read past the frame it completed, in
    // ahead[aheadBegin, aheadEnd); the next frame starts with them.
    static constexpr size_t kReadAhead = 16 * 1024;
    std::unique_ptr<unsigned char[]> ahead;
    size_t aheadBegin = 0;
    size_t aheadEnd = 0;
    size_t Ahead() const { return aheadEnd - aheadBegin; }
};

struct TlsContext::Native {
    explicit Native(asio::ssl::context::method method) : context(method) {}
    asio::ssl::context context;
};
