#pragma once
// A TCP stream of frames with a deadline on every operation. Each channel has
// its own io_context that runs only while one of its operations is waiting,
// so a caller blocks for at most the time it allows and a dead or silent peer
// ends in an ESocketError instead of a hang.
//
// Failure behaviour: Connect, WriteFrame and ReadFrame throw ESocketError for
// a refused connection, an unknown host, a time-out, a closed or reset stream
// (the message says which), and EPacketError for a frame length outside the
// bound; in every failure after Connect the socket is closed, since the
// stream's place is lost.
//
// Threads: one thread uses a channel; another thread may only Post work to
// it (the server uses that to close idle connections when it stops).
// A standard header must come before Asio: Asio decides how it allocates
// handler memory from a macro of the standard library, and units that saw
// the macro must not share handler memory with units that did not.
#include <chrono>
#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

#include <asio.hpp>

class SocketChannel {
public:
    using Duration = std::chrono::milliseconds;

    SocketChannel();
    ~SocketChannel();
    SocketChannel(const SocketChannel&) = delete;
    SocketChannel& operator=(const SocketChannel&) = delete;

    asio::io_context& Context() { return ioc_; }
    asio::ip::tcp::socket& Socket() { return socket_; }

    // Takes a socket accepted on this channel's io_context.
    void Adopt(asio::ip::tcp::socket socket);

    void Connect(const std::string& host, int port, Duration timeout);
    void WriteFrame(std::string_view payload, Duration timeout);
    // Waits up to idleTimeout for the first byte of a frame, then allows
    // frameTimeout for the whole frame, so a peer that trickles bytes is cut
    // off however slowly it sends.
    std::string ReadFrame(Duration idleTimeout, Duration frameTimeout, size_t maxFrame);

    // True when the peer has closed or reset the connection, or sent bytes
    // that nobody asked for; never waits.
    bool PeerGone();

    bool IsOpen() const { return socket_.is_open(); }
    void Close();
    // Runs fn on the thread that uses the channel, at its next wait.
    void Post(std::function<void()> fn);

    // "HOST:PORT" of the peer, or "?" when unknown.
    std::string PeerName() const;

private:
    // Runs the io_context until its work is done or the time is up; on time-out
    // closes the socket so the pending operation ends. True when it timed out.
    bool Run(Duration timeout);
    [[noreturn]] void Fail(const std::string& what, const asio::error_code& ec);

    asio::io_context ioc_;
    asio::ip::tcp::socket socket_;
};
