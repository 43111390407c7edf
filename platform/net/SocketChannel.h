#pragma once
// A TCP stream of frames with a deadline on every operation. Each channel has
// its own io_context that runs only while one of its operations is waiting
// (a plain TCP channel waits for the next frame in epoll instead), so a
// caller blocks for at most the time it allows and a dead or silent peer
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
//
// TLS: a channel given a TlsContext speaks TLS. A client context is used by
// Connect, which checks the server's certificate against the context's CA
// file (and the host's name or address) and its pinned fingerprint, and
// throws ESocketError saying which check failed; a server context by
// AcceptTls on an adopted socket.
//
// Asio stays out of this header; code that works on the socket itself (the
// server's acceptor, tests writing raw bytes) includes SocketChannelIo.h.
#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

class TlsContext;

class SocketChannel {
public:
    using Duration = std::chrono::milliseconds;

    SocketChannel();
    ~SocketChannel();
    SocketChannel(const SocketChannel&) = delete;
    SocketChannel& operator=(const SocketChannel&) = delete;

    // The channel's io_context and socket (defined in SocketChannelIo.h).
    struct Io;
    Io& Asio() { return *io_; }

    // Takes up the socket an acceptor has just connected in Asio().socket.
    void Adopt();

    // TLS from the next Connect or AcceptTls on; nullptr for plain TCP.
    void SetTls(std::shared_ptr<TlsContext> context);
    bool IsTls() const { return tls_ != nullptr; }
    // The server's TLS handshake on an adopted socket, within timeout.
    void AcceptTls(Duration timeout);

    void Connect(const std::string& host, int port, Duration timeout);
    // written, when given, is told each part of the frame the socket took,
    // in bytes, as it goes.
    void WriteFrame(std::string_view payload, Duration timeout, const std::function<void(size_t)>& written = {});
    // Waits up to idleTimeout for the first byte of a frame, then allows
    // frameTimeout for the whole frame, so a peer that trickles bytes is cut
    // off however slowly it sends.
    std::string ReadFrame(Duration idleTimeout, Duration frameTimeout, size_t maxFrame);
    // A frame whose first byte and last byte both arrive within timeout.
    std::string ReadFrameWithin(Duration timeout, size_t maxFrame);

    enum class TWait { wtFrame, wtWoken, wtTimedOut };
    // Waits up to timeout until the peer sent something (wtFrame: ReadFrame
    // reads it) or Post woke the channel (wtWoken: the posted work has run).
    // No read is begun, so a frame's bytes stay whole, over TLS too. Throws
    // ESocketError when the channel is or gets closed.
    TWait WaitFrameOrWake(Duration timeout);
    // True when bytes of a frame wait to be read; never waits.
    bool Readable();

    // True when the peer has closed or reset the connection, or sent bytes
    // that nobody asked for; never waits.
    bool PeerGone();

    bool IsOpen() const;
    void Close();
    // Runs fn on the thread that uses the channel, at its next wait.
    void Post(std::function<void()> fn);
    // Ends the channel's wait in WaitFrameOrWake (wtWoken), posting nothing:
    // cheap enough to call for every piece of news. Any thread.
    void Wake();

    // "HOST:PORT" of the peer, or "?" when unknown.
    std::string PeerName() const;
    // True when the connected peer's address is a loopback address.
    bool PeerIsLoopback() const;
    // True when host is a literal IP address outside loopback.
    static bool IsRemoteAddress(const std::string& host);

    // While a hook is set on a thread, every wait of that thread's channels
    // for the peer calls it about every kWaitHookPeriod, on that thread; the
    // desktop shell keeps its progress window painted through it during a
    // long call. An empty function removes it. Returns the previous hook.
    static std::function<void()> SetWaitHook(std::function<void()> hook);
    static constexpr Duration kWaitHookPeriod{50};
    // The largest part of a frame written at once when the socket does not
    // take it whole.
    static constexpr size_t kWritePart = 64 * 1024;

private:
    // Runs the io_context until its work is done or the time is up; on time-out
    // closes the socket so the pending operation ends. True when it timed out.
    bool Run(Duration timeout);
    void WaitReadable(Duration timeout);
    // Over TLS, waiting for the socket to be readable says nothing (a record
    // may sit decoded in the TLS layer): the first bytes of the header are
    // read instead, within timeout, or within frameTimeout from the moment
    // the record's first bytes arrived (begun); they count in have.
    void ReadFirst(unsigned char* header, size_t& have, Duration timeout, Duration frameTimeout,
                   std::chrono::steady_clock::time_point& begun);
    std::string ReadWhole(unsigned char* header, size_t have, Duration frameTimeout, size_t maxFrame);
    // Plain TCP without waiting: reads into[got, size) what has arrived
    // (true when all of it). A failure other than "not yet" goes to ec; the
    // end of the stream reads as eof.
    bool ReceiveNow(unsigned char* into, size_t size, size_t& got, std::error_code& ec);
    // Plain TCP: when nothing is left over from the last frame, takes what
    // has arrived (up to Io::kReadAhead bytes) with one system call; then
    // moves up to size - got of those bytes to into.
    void TakeAhead(unsigned char* into, size_t size, size_t& got, std::error_code& ec);
    std::string ReadFrameAfter(Duration firstTimeout, Duration frameTimeout, size_t maxFrame, bool within);
    void Handshake(const std::string& host, Duration timeout);
    [[noreturn]] void Fail(const std::string& what, const std::error_code& ec);

    std::unique_ptr<Io> io_;
    std::shared_ptr<TlsContext> tls_;
};
