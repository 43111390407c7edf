#pragma once
// The Asio side of a SocketChannel, for code that works on its socket
// directly. A standard header comes before Asio: Asio picks how it allocates
// handler memory from a macro of the standard library.
#include "platform/net/SocketChannel.h"
#include "platform/net/TlsContext.h"

#include <asio.hpp>
#include <asio/ssl.hpp>

struct SocketChannel::Io {
    asio::io_context ioc;
    asio::ip::tcp::socket socket{ioc};
    // The TLS session over socket while the channel speaks TLS; made anew for
    // every connection, since a session cannot outlive its connection.
    std::unique_ptr<asio::ssl::stream<asio::ip::tcp::socket&>> tls;
};

struct TlsContext::Native {
    explicit Native(asio::ssl::context::method method) : context(method) {}
    asio::ssl::context context;
};
