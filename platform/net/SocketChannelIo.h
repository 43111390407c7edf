#pragma once
// The Asio side of a SocketChannel, for code that works on its socket
// directly. A standard header comes before Asio: Asio picks how it allocates
// handler memory from a macro of the standard library.
#include "platform/net/SocketChannel.h"

#include <asio.hpp>

struct SocketChannel::Io {
    asio::io_context ioc;
    asio::ip::tcp::socket socket{ioc};
};
