#include "platform/net/SocketChannelIo.h"

#include "platform/core/Exception.h"
#include "platform/net/FrameBuffer.h"

#include <algorithm>

namespace {

std::string Seconds(SocketChannel::Duration d)
{
    auto ms = d.count();
    if (ms % 1000 == 0) {
        return std::to_string(ms / 1000) + " s";
    }
    return std::to_string(ms) + " ms";
}

} // namespace

SocketChannel::SocketChannel() : io_(std::make_unique<Io>()) {}

SocketChannel::~SocketChannel()
{
    Close();
}

void SocketChannel::Adopt()
{
    asio::error_code ec;
    io_->socket.set_option(asio::ip::tcp::no_delay(true), ec);
}

bool SocketChannel::IsOpen() const
{
    return io_->socket.is_open();
}

bool SocketChannel::Run(Duration timeout)
{
    io_->ioc.restart();
    io_->ioc.run_for(timeout);
    if (io_->ioc.stopped()) {
        return false;
    }
    asio::error_code ec;
    io_->socket.close(ec);
    io_->ioc.restart();
    io_->ioc.run();
    return true;
}

void SocketChannel::Fail(const std::string& what, const std::error_code& ec)
{
    Close();
    if (ec == asio::error::eof) {
        throw ESocketError(what + ": the connection was closed by the other side", TSocketCause::scClosed);
    }
    if (ec == asio::error::connection_reset || ec == asio::error::broken_pipe) {
        throw ESocketError(what + ": the connection was reset by the other side", TSocketCause::scReset);
    }
    if (ec == asio::error::operation_aborted) {
        throw ESocketError(what + ": the connection was closed", TSocketCause::scClosed);
    }
    if (ec == asio::error::connection_refused) {
        throw ESocketError(what + ": " + ec.message(), TSocketCause::scRefused);
    }
    if (ec == asio::error::timed_out) {
        throw ESocketError(what + ": " + ec.message(), TSocketCause::scTimedOut);
    }
    if (ec == asio::error::host_not_found || ec == asio::error::host_not_found_try_again ||
        ec == asio::error::no_data) {
        throw ESocketError(what + ": " + ec.message(), TSocketCause::scNameNotFound);
    }
    throw ESocketError(what + ": " + ec.message());
}

void SocketChannel::Connect(const std::string& host, int port, Duration timeout)
{
    Close();
    if (port < 1 || port > 65535) {
        throw ESocketError("Invalid port " + std::to_string(port));
    }
    asio::error_code result = asio::error::would_block;
    asio::error_code notAddress;
    auto address = asio::ip::make_address(host, notAddress);
    asio::ip::tcp::resolver resolver(io_->ioc);
    if (!notAddress) {
        // A literal address needs no name lookup, which could outlast the time-out.
        io_->socket.async_connect(asio::ip::tcp::endpoint(address, static_cast<unsigned short>(port)),
                                  [&](const asio::error_code& ec) { result = ec; });
    } else {
        resolver.async_resolve(host, std::to_string(port),
                               [&](const asio::error_code& ec, asio::ip::tcp::resolver::results_type endpoints) {
                                   if (ec) {
                                       result = ec;
                                       return;
                                   }
                                   asio::async_connect(
                                       io_->socket, endpoints,
                                       [&](const asio::error_code& ec2, const asio::ip::tcp::endpoint&) {
                                           result = ec2;
                                       });
                               });
    }
    io_->ioc.restart();
    io_->ioc.run_for(timeout);
    if (!io_->ioc.stopped()) {
        resolver.cancel();
        asio::error_code ignored;
        io_->socket.close(ignored);
        io_->ioc.restart();
        io_->ioc.run();
        throw ESocketError("no connection within " + Seconds(timeout), TSocketCause::scTimedOut);
    }
    if (result) {
        Fail(result == asio::error::host_not_found || result == asio::error::host_not_found_try_again
                 ? "unknown host " + host
                 : "connect",
             result);
    }
    asio::error_code ec;
    io_->socket.set_option(asio::ip::tcp::no_delay(true), ec);
}

void SocketChannel::WriteFrame(std::string_view payload, Duration timeout)
{
    std::string frame = FrameBuffer::Wrap(payload);
    if (!io_->socket.is_open()) {
        throw ESocketError("send: the connection is not open", TSocketCause::scClosed);
    }
    asio::error_code result = asio::error::would_block;
    asio::async_write(io_->socket, asio::buffer(frame), [&](const asio::error_code& ec, size_t) { result = ec; });
    if (Run(timeout)) {
        Close();
        throw ESocketError("send: the other side took no data for " + Seconds(timeout), TSocketCause::scTimedOut);
    }
    if (result) {
        Fail("send", result);
    }
}

std::string SocketChannel::ReadFrame(Duration idleTimeout, Duration frameTimeout, size_t maxFrame)
{
    WaitReadable(idleTimeout);
    return ReadWhole(frameTimeout, maxFrame);
}

std::string SocketChannel::ReadFrameWithin(Duration timeout, size_t maxFrame)
{
    const auto started = std::chrono::steady_clock::now();
    WaitReadable(timeout);
    const auto left = timeout - std::chrono::duration_cast<Duration>(std::chrono::steady_clock::now() - started);
    return ReadWhole(std::max(left, Duration(1)), maxFrame);
}

void SocketChannel::WaitReadable(Duration timeout)
{
    if (!io_->socket.is_open()) {
        throw ESocketError("receive: the connection is not open", TSocketCause::scClosed);
    }
    asio::error_code result = asio::error::would_block;
    io_->socket.async_wait(asio::ip::tcp::socket::wait_read, [&](const asio::error_code& ec) { result = ec; });
    if (Run(timeout)) {
        Close();
        throw ESocketError("receive: nothing arrived within " + Seconds(timeout), TSocketCause::scTimedOut);
    }
    if (result) {
        Fail("receive", result);
    }
}

std::string SocketChannel::ReadWhole(Duration frameTimeout, size_t maxFrame)
{
    asio::error_code result = asio::error::would_block;
    unsigned char header[FrameBuffer::kHeaderSize];
    std::string payload;
    size_t length = 0;
    std::exception_ptr badLength;
    // The payload grows as its bytes arrive, never ahead of them by more than
    // it holds already (or kFirstChunk): an announced length alone reserves
    // nothing, so a peer must send the bytes it wants the receiver to hold.
    std::function<void()> more = [&] {
        const size_t have = payload.size();
        const size_t room = std::min(length - have, std::max(FrameBuffer::kFirstChunk, have));
        payload.resize(have + room);
        io_->socket.async_read_some(asio::buffer(payload.data() + have, room), [&, have](const asio::error_code& ec2,
                                                                                           size_t n) {
            payload.resize(have + n);
            if (ec2) {
                result = ec2;
            } else if (payload.size() == length) {
                result = {};
            } else {
                more();
            }
        });
    };
    asio::async_read(io_->socket, asio::buffer(header), [&](const asio::error_code& ec, size_t) {
        if (ec) {
            result = ec;
            return;
        }
        try {
            length = FrameBuffer::PayloadLength(header, maxFrame);
        } catch (...) {
            badLength = std::current_exception();
            result = {};
            return;
        }
        more();
    });
    if (Run(frameTimeout)) {
        Close();
        throw ESocketError("receive: a message did not arrive whole within " + Seconds(frameTimeout),
                           TSocketCause::scTimedOut);
    }
    if (badLength) {
        std::rethrow_exception(badLength);
    }
    if (result) {
        Fail("receive", result);
    }
    return payload;
}

bool SocketChannel::PeerGone()
{
    if (!io_->socket.is_open()) {
        return true;
    }
    asio::error_code ec;
    io_->socket.non_blocking(true, ec);
    char c = 0;
    size_t n = io_->socket.receive(asio::buffer(&c, 1), asio::socket_base::message_peek, ec);
    asio::error_code ignored;
    io_->socket.non_blocking(false, ignored);
    if (ec == asio::error::would_block || ec == asio::error::try_again) {
        return false;
    }
    (void)n;
    // End of stream, an error, or unrequested bytes: the stream is of no use.
    return true;
}

void SocketChannel::Close()
{
    if (io_->socket.is_open()) {
        asio::error_code ec;
        io_->socket.shutdown(asio::ip::tcp::socket::shutdown_both, ec);
        io_->socket.close(ec);
    }
}

void SocketChannel::Post(std::function<void()> fn)
{
    asio::post(io_->ioc, std::move(fn));
}

std::string SocketChannel::PeerName() const
{
    asio::error_code ec;
    auto ep = io_->socket.remote_endpoint(ec);
    if (ec) {
        return "?";
    }
    return ep.address().to_string() + ":" + std::to_string(ep.port());
}
