#include "platform/net/SocketChannelIo.h"

#include "platform/core/Exception.h"
#include "platform/net/FrameBuffer.h"

#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdint>
#include <cstring>

#include <poll.h>
#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <sys/uio.h>
#include <unistd.h>

namespace {

thread_local std::function<void()> waitHook;

// Runs fn on the stream the channel reads and writes: the TLS session when
// there is one, the socket otherwise.
template <class Fn>
void OnStream(SocketChannel::Io& io, Fn&& fn)
{
    if (io.tls) {
        fn(*io.tls);
    } else {
        fn(io.socket);
    }
}

std::string Hex(const unsigned char* bytes, unsigned size)
{
    static const char* digits = "0123456789abcdef";
    std::string hex;
    for (unsigned i = 0; i < size; ++i) {
        hex += digits[bytes[i] >> 4];
        hex += digits[bytes[i] & 15];
    }
    return hex;
}

// The SHA-256 fingerprint of the peer's certificate, empty when it sent none.
std::string PeerFingerprint(SSL* ssl)
{
    X509* cert = SSL_get1_peer_certificate(ssl);
    if (!cert) {
        return {};
    }
    unsigned char md[EVP_MAX_MD_SIZE];
    unsigned size = 0;
    const bool ok = X509_digest(cert, EVP_sha256(), md, &size) == 1;
    X509_free(cert);
    return ok ? Hex(md, size) : std::string();
}

std::string Seconds(SocketChannel::Duration d)
{
    auto ms = d.count();
    if (ms % 1000 == 0) {
        return std::to_string(ms / 1000) + " s";
    }
    return std::to_string(ms) + " ms";
}

// The payload's next stretch to read: never ahead of the bytes that arrived
// by more than the payload holds already (or kFirstChunk), so an announced
// length alone reserves nothing and a peer must send the bytes it wants the
// receiver to hold.
size_t NextRoom(size_t length, size_t got)
{
    return std::min(length - got, std::max(FrameBuffer::kFirstChunk, got));
}

// A frame's header and payload, as they go out.
using Parts = std::array<asio::const_buffer, 2>;

// Plain TCP without waiting: sends what the socket takes now of parts, and
// leaves in parts what it did not take. A failure other than "not yet" goes
// to ec.
void SendNow(int socket, Parts& parts, asio::error_code& ec)
{
    while (parts[0].size() + parts[1].size() > 0) {
        iovec iov[2] = {{const_cast<void*>(parts[0].data()), parts[0].size()},
                        {const_cast<void*>(parts[1].data()), parts[1].size()}};
        msghdr message{};
        message.msg_iov = iov;
        message.msg_iovlen = 2;
        const ssize_t n = ::sendmsg(socket, &message, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n > 0) {
            size_t taken = static_cast<size_t>(n);
            for (auto& part : parts) {
                const size_t k = std::min(taken, part.size());
                part += k;
                taken -= k;
            }
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else {
            if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) {
                ec = asio::error_code(errno, asio::error::get_system_category());
            }
            return;
        }
    }
}

} // namespace

SocketChannel::Io::Io() : wake(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK))
{
    if (wake < 0) {
        throw ESocketError(std::string("cannot make a connection's wake-up descriptor: ") + std::strerror(errno));
    }
    poller = ::epoll_create1(EPOLL_CLOEXEC);
    epoll_event ev{};
    ev.events = EPOLLIN;
    ev.data.fd = wake;
    if (poller < 0 || ::epoll_ctl(poller, EPOLL_CTL_ADD, wake, &ev) != 0) {
        const int error = errno;
        ::close(wake);
        if (poller >= 0) {
            ::close(poller);
        }
        throw ESocketError(std::string("cannot make a connection's wait descriptor: ") + std::strerror(error));
    }
}

void SocketChannel::Io::Watch()
{
    epoll_event ev{};
    ev.events = EPOLLIN;
    ev.data.fd = socket.native_handle();
    if (::epoll_ctl(poller, EPOLL_CTL_ADD, ev.data.fd, &ev) == 0 ||
        (errno == EEXIST && ::epoll_ctl(poller, EPOLL_CTL_MOD, ev.data.fd, &ev) == 0)) {
        return;
    }
    // Unwatched, a wait would never hear of the socket: the connection is
    // given up at once instead.
    const int error = errno;
    asio::error_code ignored;
    socket.close(ignored);
    throw ESocketError(std::string("cannot wait on the connection: ") + std::strerror(error));
}

SocketChannel::Io::~Io()
{
    ::close(poller);
    ::close(wake);
}

void SocketChannel::Io::RunPosted()
{
    std::uint64_t count = 0;
    (void)!::read(wake, &count, sizeof count);
    std::vector<std::function<void()>> work;
    {
        std::lock_guard lock(postLock);
        work.swap(posted);
    }
    for (auto& fn : work) {
        fn();
    }
}

SocketChannel::SocketChannel() : io_(std::make_unique<Io>()) {}

SocketChannel::~SocketChannel()
{
    Close();
}

void SocketChannel::Adopt()
{
    asio::error_code ec;
    io_->socket.set_option(asio::ip::tcp::no_delay(true), ec);
    io_->Watch();
}

bool SocketChannel::IsOpen() const
{
    return io_->socket.is_open();
}

std::function<void()> SocketChannel::SetWaitHook(std::function<void()> hook)
{
    std::swap(waitHook, hook);
    return hook;
}

bool SocketChannel::Run(Duration timeout)
{
    io_->ioc.restart();
    if (waitHook) {
        // The deadline stays the operation's: the hook only runs between
        // slices of the wait.
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        for (;;) {
            const auto left = std::chrono::duration_cast<Duration>(deadline - std::chrono::steady_clock::now());
            if (left <= Duration(0)) {
                break;
            }
            io_->ioc.run_for(std::min(left, kWaitHookPeriod));
            if (io_->ioc.stopped()) {
                break;
            }
            waitHook();
        }
    } else {
        io_->ioc.run_for(timeout);
    }
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
    // Over TLS a peer that closes without saying goodbye truncates the stream.
    if (ec == asio::error::eof || ec == asio::ssl::error::stream_truncated) {
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
    io_->tls.reset();
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
        resolver.async_resolve(
            host, std::to_string(port),
            [&](const asio::error_code& ec, asio::ip::tcp::resolver::results_type endpoints) {
                if (ec) {
                    result = ec;
                    return;
                }
                asio::async_connect(io_->socket, endpoints,
                                    [&](const asio::error_code& ec2, const asio::ip::tcp::endpoint&) { result = ec2; });
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
    io_->Watch();
    if (tls_) {
        Handshake(host, timeout);
    }
}

void SocketChannel::SetTls(std::shared_ptr<TlsContext> context)
{
    tls_ = std::move(context);
}

void SocketChannel::AcceptTls(Duration timeout)
{
    if (!tls_ || !tls_->IsServer()) {
        throw ESocketError("TLS handshake: the channel has no server certificate");
    }
    Handshake({}, timeout);
}

void SocketChannel::Handshake(const std::string& host, Duration timeout)
{
    io_->tls = std::make_unique<asio::ssl::stream<asio::ip::tcp::socket&>>(io_->socket, tls_->Asio().context);
    SSL* ssl = io_->tls->native_handle();
    const bool client = !tls_->IsServer();
    if (client && !tls_->CaFile().empty()) {
        io_->tls->set_verify_mode(asio::ssl::verify_peer);
        asio::error_code notAddress;
        asio::ip::make_address(host, notAddress);
        if (!notAddress) {
            X509_VERIFY_PARAM_set1_ip_asc(SSL_get0_param(ssl), host.c_str());
        } else {
            SSL_set1_host(ssl, host.c_str());
            SSL_set_tlsext_host_name(ssl, host.c_str());
        }
    } else if (client) {
        // Only the pinned fingerprint is checked, below.
        io_->tls->set_verify_mode(asio::ssl::verify_none);
    }
    asio::error_code result = asio::error::would_block;
    io_->tls->async_handshake(client ? asio::ssl::stream_base::client : asio::ssl::stream_base::server,
                              [&](const asio::error_code& ec) { result = ec; });
    if (Run(timeout)) {
        Close();
        throw ESocketError("TLS handshake: not done within " + Seconds(timeout), TSocketCause::scTimedOut);
    }
    if (result) {
        const long verify = client ? SSL_get_verify_result(ssl) : X509_V_OK;
        ERR_clear_error();
        if (verify != X509_V_OK) {
            Close();
            throw ESocketError(
                "the server's TLS certificate was refused: " + std::string(X509_verify_cert_error_string(verify)) +
                    " (checked against the CA file " + tls_->CaFile() + " for " + host + ")",
                TSocketCause::scCertificate);
        }
        Fail("TLS handshake", result);
    }
    if (client && !tls_->Fingerprint().empty()) {
        const std::string seen = PeerFingerprint(ssl);
        if (seen != tls_->Fingerprint()) {
            Close();
            throw ESocketError("the server's TLS certificate was refused: its SHA-256 fingerprint is " +
                                   (seen.empty() ? std::string("missing") : seen) + ", not the pinned " +
                                   tls_->Fingerprint(),
                               TSocketCause::scCertificate);
        }
    }
}

void SocketChannel::WriteFrame(std::string_view payload, Duration timeout, const std::function<void(size_t)>& written)
{
    const auto header = FrameBuffer::Header(payload.size());
    if (!io_->socket.is_open()) {
        throw ESocketError("send: the connection is not open", TSocketCause::scClosed);
    }
    Parts parts{asio::buffer(header), asio::buffer(payload.data(), payload.size())};
    // TLS seals what it is given a piece at a time: the frame goes to it
    // whole, so that its header does not take a record of its own.
    std::string frame;
    if (io_->tls) {
        frame = FrameBuffer::Wrap(payload);
        parts = {asio::buffer(frame), asio::const_buffer()};
    } else {
        // Plain TCP: header and payload go out together, the payload not
        // copied behind the header; a frame the socket takes at once costs
        // one system call, not a turn of the io_context, and what it does not
        // take goes the waiting way.
        asio::error_code ec;
        const size_t whole = parts[0].size() + parts[1].size();
        SendNow(io_->socket.native_handle(), parts, ec);
        if (ec) {
            Fail("send", ec);
        }
        if (written) {
            written(whole - parts[0].size() - parts[1].size());
        }
        if (parts[0].size() + parts[1].size() == 0) {
            return;
        }
    }
    asio::error_code result = asio::error::would_block;
    // Told in parts of at most kWritePart, each once the socket took it.
    size_t told = 0;
    const auto part = [&](const asio::error_code& ec, size_t done) -> size_t {
        if (written && done > told) {
            written(done - told);
            told = done;
        }
        return ec ? 0 : kWritePart;
    };
    OnStream(*io_, [&](auto& stream) {
        asio::async_write(stream, parts, part, [&](const asio::error_code& ec, size_t) { result = ec; });
    });
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
    return ReadFrameAfter(idleTimeout, frameTimeout, maxFrame, false);
}

std::string SocketChannel::ReadFrameWithin(Duration timeout, size_t maxFrame)
{
    return ReadFrameAfter(timeout, timeout, maxFrame, true);
}

std::string SocketChannel::ReadFrameAfter(Duration firstTimeout, Duration frameTimeout, size_t maxFrame, bool within)
{
    auto started = std::chrono::steady_clock::now();
    unsigned char header[FrameBuffer::kHeaderSize];
    size_t have = 0;
    if (io_->tls) {
        auto begun = started;
        ReadFirst(header, have, firstTimeout, frameTimeout, begun);
        if (!within) {
            // The frame's time runs from its first bytes on.
            started = begun;
            within = true;
        }
    } else {
        WaitReadable(firstTimeout);
    }
    if (within) {
        const auto left =
            frameTimeout - std::chrono::duration_cast<Duration>(std::chrono::steady_clock::now() - started);
        frameTimeout = std::max(left, Duration(1));
    }
    return ReadWhole(header, have, frameTimeout, maxFrame);
}

bool SocketChannel::Readable()
{
    if (!io_->socket.is_open()) {
        return false;
    }
    if (io_->Ahead() > 0 || (io_->tls && SSL_has_pending(io_->tls->native_handle()) == 1)) {
        return true;
    }
    pollfd fd{io_->socket.native_handle(), POLLIN, 0};
    return ::poll(&fd, 1, 0) == 1 && (fd.revents & (POLLIN | POLLHUP | POLLERR)) != 0;
}

SocketChannel::TWait SocketChannel::WaitFrameOrWake(Duration timeout)
{
    if (!io_->socket.is_open()) {
        throw ESocketError("receive: the connection is not open", TSocketCause::scClosed);
    }
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        if (Readable()) {
            return TWait::wtFrame;
        }
        const auto left = std::chrono::ceil<Duration>(deadline - std::chrono::steady_clock::now());
        if (left <= Duration(0)) {
            return TWait::wtTimedOut;
        }
        pollfd fds[2] = {{io_->socket.native_handle(), POLLIN, 0}, {io_->wake, POLLIN, 0}};
        const int n = ::poll(fds, 2, static_cast<int>(left.count()));
        if (n < 0 && errno != EINTR) {
            Fail("receive", asio::error_code(errno, asio::error::get_system_category()));
        }
        if (n > 0 && (fds[1].revents & POLLIN) != 0) {
            io_->RunPosted();
            if (!io_->socket.is_open()) {
                throw ESocketError("receive: the connection was closed", TSocketCause::scClosed);
            }
            return TWait::wtWoken;
        }
    }
}

void SocketChannel::WaitReadable(Duration timeout)
{
    if (!io_->socket.is_open()) {
        throw ESocketError("receive: the connection is not open", TSocketCause::scClosed);
    }
    if (io_->Ahead() > 0) {
        return;
    }
    // Plain TCP waits in the channel's epoll, where the socket and the
    // wake-up descriptor stay registered: a call's answer, or the next call,
    // costs one system call, not a turn of the io_context with its
    // registrations.
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        const auto left = std::chrono::ceil<Duration>(deadline - std::chrono::steady_clock::now());
        if (left <= Duration(0)) {
            Close();
            throw ESocketError("receive: nothing arrived within " + Seconds(timeout), TSocketCause::scTimedOut);
        }
        const Duration slice = waitHook ? std::min(left, kWaitHookPeriod) : left;
        epoll_event events[2];
        const int n = ::epoll_wait(io_->poller, events, 2, static_cast<int>(slice.count()));
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            Fail("receive", asio::error_code(errno, asio::error::get_system_category()));
        }
        bool readable = false;
        for (int i = 0; i < n; ++i) {
            if (events[i].data.fd == io_->wake) {
                io_->RunPosted();
                if (!io_->socket.is_open()) {
                    throw ESocketError("receive: the connection was closed", TSocketCause::scClosed);
                }
            } else {
                readable = true;
            }
        }
        if (readable) {
            // Bytes, the end of the stream or an error: the read says which.
            return;
        }
        if (n == 0 && waitHook) {
            waitHook();
        }
    }
}

void SocketChannel::ReadFirst(unsigned char* header, size_t& have, Duration timeout, Duration frameTimeout,
                              std::chrono::steady_clock::time_point& begun)
{
    if (!io_->socket.is_open()) {
        throw ESocketError("receive: the connection is not open", TSocketCause::scClosed);
    }
    // A record's bytes may trickle in long before it is whole and decoded:
    // its first bytes on the socket (or a part of one already in the TLS
    // layer) start the frame's time-out, as the first byte does over plain
    // TCP. The wait for the socket is queued before the read, so that it is
    // told of the first bytes before the read takes them.
    bool readable = SSL_has_pending(io_->tls->native_handle()) == 1;
    io_->socket.async_wait(asio::ip::tcp::socket::wait_read, [&](const asio::error_code& ec) {
        if (!ec) {
            readable = true;
        }
    });
    asio::error_code result = asio::error::would_block;
    io_->tls->async_read_some(asio::buffer(header, FrameBuffer::kHeaderSize),
                              [&](const asio::error_code& ec, size_t n) {
                                  result = ec;
                                  have = n;
                              });
    io_->ioc.restart();
    auto deadline = std::chrono::steady_clock::now() + timeout;
    bool started = false;
    bool timedOut = false;
    while (result == asio::error::would_block) {
        if (readable && !started) {
            started = true;
            begun = std::chrono::steady_clock::now();
            deadline = std::min(deadline, begun + frameTimeout);
        }
        if (io_->ioc.run_one_until(deadline) == 0 && result == asio::error::would_block) {
            timedOut = true;
            break;
        }
    }
    // The wait is still queued when the read needed no new bytes.
    asio::error_code ignored;
    if (timedOut) {
        io_->socket.close(ignored);
    } else {
        io_->socket.cancel(ignored);
    }
    io_->ioc.restart();
    io_->ioc.run();
    if (timedOut) {
        Close();
        throw ESocketError(started ? "receive: a message did not arrive whole within " + Seconds(frameTimeout)
                                   : "receive: nothing arrived within " + Seconds(timeout),
                           TSocketCause::scTimedOut);
    }
    if (!started) {
        begun = std::chrono::steady_clock::now();
    }
    if (result) {
        Fail("receive", result);
    }
}

bool SocketChannel::ReceiveNow(unsigned char* into, size_t size, size_t& got, asio::error_code& ec)
{
    while (got < size) {
        const ssize_t n = ::recv(io_->socket.native_handle(), into + got, size - got, MSG_DONTWAIT);
        if (n > 0) {
            got += static_cast<size_t>(n);
        } else if (n == 0) {
            ec = asio::error::eof;
            return false;
        } else if (errno == EINTR) {
            continue;
        } else {
            if (errno != EAGAIN && errno != EWOULDBLOCK) {
                ec = asio::error_code(errno, asio::error::get_system_category());
            }
            return false;
        }
    }
    return true;
}

void SocketChannel::TakeAhead(unsigned char* into, size_t size, size_t& got, asio::error_code& ec)
{
    if (io_->Ahead() == 0) {
        if (!io_->ahead) {
            io_->ahead = std::make_unique<unsigned char[]>(Io::kReadAhead);
        }
        io_->aheadBegin = io_->aheadEnd = 0;
        ssize_t n = 0;
        do {
            n = ::recv(io_->socket.native_handle(), io_->ahead.get(), Io::kReadAhead, MSG_DONTWAIT);
        } while (n < 0 && errno == EINTR);
        if (n > 0) {
            io_->aheadEnd = static_cast<size_t>(n);
        } else if (n == 0) {
            ec = asio::error::eof;
        } else if (errno != EAGAIN && errno != EWOULDBLOCK) {
            ec = asio::error_code(errno, asio::error::get_system_category());
        }
    }
    const size_t n = std::min(size - got, io_->Ahead());
    std::memcpy(into + got, io_->ahead.get() + io_->aheadBegin, n);
    io_->aheadBegin += n;
    got += n;
}

std::string SocketChannel::ReadWhole(unsigned char* header, size_t have, Duration frameTimeout, size_t maxFrame)
{
    asio::error_code result = asio::error::would_block;
    std::string payload;
    size_t length = 0;
    std::exception_ptr badLength;
    // Plain TCP: the bytes already there are taken without a turn of the
    // io_context, usually the whole frame in one system call; the rest goes
    // the waiting way.
    bool headerDone = false;
    if (!io_->tls) {
        asio::error_code ec;
        TakeAhead(header, FrameBuffer::kHeaderSize, have, ec);
        headerDone =
            have == FrameBuffer::kHeaderSize || (!ec && ReceiveNow(header, FrameBuffer::kHeaderSize, have, ec));
        if (headerDone) {
            length = FrameBuffer::PayloadLength(header, maxFrame);
            if (io_->Ahead() > 0) {
                size_t got = 0;
                payload.resize(std::min(length, io_->Ahead()));
                TakeAhead(reinterpret_cast<unsigned char*>(payload.data()), payload.size(), got, ec);
            }
            while (!ec && payload.size() < length) {
                const size_t got = payload.size();
                payload.resize(got + NextRoom(length, got));
                size_t filled = got;
                const bool full =
                    ReceiveNow(reinterpret_cast<unsigned char*>(payload.data()), payload.size(), filled, ec);
                payload.resize(filled);
                if (!full) {
                    break;
                }
            }
            if (!ec && payload.size() == length) {
                return payload;
            }
        }
        if (ec) {
            Fail("receive", ec);
        }
    }
    OnStream(*io_, [&](auto& stream) {
        std::function<void()> more = [&] {
            const size_t got = payload.size();
            const size_t room = NextRoom(length, got);
            payload.resize(got + room);
            stream.async_read_some(asio::buffer(payload.data() + got, room),
                                   [&, got](const asio::error_code& ec2, size_t n) {
                                       payload.resize(got + n);
                                       if (ec2) {
                                           result = ec2;
                                       } else if (payload.size() == length) {
                                           result = {};
                                       } else {
                                           more();
                                       }
                                   });
        };
        if (headerDone) {
            more();
        } else {
            asio::async_read(stream, asio::buffer(header + have, FrameBuffer::kHeaderSize - have),
                             [&](const asio::error_code& ec, size_t) {
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
        }
        if (Run(frameTimeout)) {
            Close();
            throw ESocketError("receive: a message did not arrive whole within " + Seconds(frameTimeout),
                               TSocketCause::scTimedOut);
        }
    });
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
    if (io_->Ahead() > 0) {
        return true;
    }
    char c = 0;
    const ssize_t n = ::recv(io_->socket.native_handle(), &c, 1, MSG_PEEK | MSG_DONTWAIT);
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) {
        return false;
    }
    // End of stream, an error, or unrequested bytes: the stream is of no use.
    return true;
}

void SocketChannel::Close()
{
    io_->aheadBegin = io_->aheadEnd = 0;
    if (io_->socket.is_open()) {
        asio::error_code ec;
        io_->socket.shutdown(asio::ip::tcp::socket::shutdown_both, ec);
        io_->socket.close(ec);
    }
}

void SocketChannel::Post(std::function<void()> fn)
{
    {
        std::lock_guard lock(io_->postLock);
        io_->posted.push_back(std::move(fn));
    }
    const std::uint64_t one = 1;
    (void)!::write(io_->wake, &one, sizeof one);
    asio::post(io_->ioc, [io = io_.get()] { io->RunPosted(); });
}

void SocketChannel::Wake()
{
    const std::uint64_t one = 1;
    (void)!::write(io_->wake, &one, sizeof one);
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

bool SocketChannel::PeerIsLoopback() const
{
    asio::error_code ec;
    auto ep = io_->socket.remote_endpoint(ec);
    return !ec && ep.address().is_loopback();
}

bool SocketChannel::IsRemoteAddress(const std::string& host)
{
    asio::error_code ec;
    auto address = asio::ip::make_address(host, ec);
    return !ec && !address.is_loopback();
}
