#include "server/AppServer.h"

#include "server/FileAccess.h"

#include "platform/core/Exception.h"
#include "platform/net/FrameBuffer.h"
#include "platform/net/Protocol.h"
#include "platform/net/SocketChannelIo.h"
#include "server/DescriptorLimit.h"
#include "server/LogText.h"
#include "server/PrivateFile.h"
#include "server/Schema.h"
#include "server/ServerMetrics.h"

#include <algorithm>
#include <prometheus/exposer.h>
#include <prometheus/registry.h>
#include <spdlog/spdlog.h>
#include <thread>

#include <unistd.h>

#include <utility>

struct AppServer::Io {
    asio::io_context ioc;
    asio::ip::tcp::acceptor acceptor{ioc};
    asio::signal_set signals{ioc};
    asio::steady_timer pause{ioc};
};

struct AppServer::Accepted {
    asio::ip::tcp::socket socket;
    asio::ip::tcp::endpoint remote;
    std::string address;
    ConnectionBudget::Handshake handshake;
};

namespace {

// Writes the refusal, then drains the client's handshake for a moment so
// that closing does not reset the stream before the client has read why it
// was refused.
// The counter counts the refusal until its socket is closed.
void Refuse(asio::io_context& ioc, std::shared_ptr<asio::ip::tcp::socket> socket, const std::string& message,
            int& counter)
{
    Protocol::HelloReply reply;
    reply.message = message;
    reply.code = "srv.ocupado";
    auto frame = std::make_shared<std::string>(FrameBuffer::Wrap(Protocol::EncodeHelloReply(reply)));
    auto timer = std::make_shared<asio::steady_timer>(ioc, std::chrono::seconds(2));
    ++counter;
    auto held = std::shared_ptr<void>(nullptr, [&counter](void*) { --counter; });
    timer->async_wait([socket, held](const asio::error_code& ec) {
        if (!ec) {
            asio::error_code ignored;
            socket->close(ignored);
        }
    });
    asio::async_write(*socket, asio::buffer(*frame), [socket, frame, timer](const asio::error_code& ec, size_t) {
        if (ec) {
            timer->cancel();
            asio::error_code ignored;
            socket->close(ignored);
            return;
        }
        asio::error_code ignored;
        socket->shutdown(asio::ip::tcp::socket::shutdown_send, ignored);
        auto sink = std::make_shared<std::array<char, 512>>();
        auto drain = std::make_shared<std::function<void()>>();
        *drain = [socket, sink, timer, drain]() {
            socket->async_read_some(asio::buffer(*sink), [socket, timer, drain](const asio::error_code& ec2, size_t) {
                if (ec2) {
                    timer->cancel();
                    asio::error_code ignored2;
                    socket->close(ignored2);
                    *drain = nullptr;
                    return;
                }
                (*drain)();
            });
        };
        (*drain)();
    });
}

constexpr int kMaxRefusing = 16;
constexpr auto kAcceptPause = std::chrono::milliseconds(100);

} // namespace

AppServer::AppServer(ServerOptions options, const ModuleRegistry& registry)
    : options_(std::move(options)),
      registry_(registry),
      io_(std::make_unique<Io>()),
      budget_({options_.maxConnections, options_.maxPendingHandshakes, options_.maxHandshakesPerAddress,
               options_.maxSessionsPerOperator, options_.maxSessionsPerAddress}),
      answers_(options_.answerMemory),
      liveness_(options_.db, options_.database)
{}

AppServer::~AppServer()
{
    // Sessions abandoned by a stop use the server's members: they are let go
    // with the process, never destroyed.
    for (auto& s : abandoned_) {
        (void)s.release();
    }
    Stop();
    {
        std::lock_guard lock(mutex_);
        sessions_.clear();
    }
    // Handlers still queued (refusals being written) count in refusing_, so
    // the loop goes before the members it refers to.
    io_.reset();
}

void AppServer::Start()
{
    asio::error_code ec;
    auto address = asio::ip::make_address(options_.listenHost, ec);
    if (ec) {
        throw ESocketError("Cannot listen on '" + options_.listenHost + "': not an IP address");
    }
    if (options_.tlsCert.empty() != options_.tlsKey.empty()) {
        throw EInvalidOperation("TLS needs both a certificate and its key (--tls-cert and --tls-key)");
    }
    if (!address.is_loopback() && options_.tlsCert.empty()) {
        throw EInvalidOperation("Refusing to listen on " + options_.listenHost +
                                " without TLS: secrets would cross the network in clear; name a certificate and "
                                "its key (--tls-cert and --tls-key)");
    }
    if (!address.is_loopback() && options_.secret.empty() && options_.credentialsFile.empty()) {
        throw EInvalidOperation("Refusing to listen on " + options_.listenHost +
                                " without a shared secret: clients elsewhere on the network must present one "
                                "(--secret-file or SERVCLIENTE_SECRET, or operators' secrets with --credentials)");
    }
    if (!options_.tlsCert.empty()) {
        // OpenSSL's words are the same whatever is wrong with either file.
        for (const auto& [path, what] :
             {std::pair{options_.tlsCert, "TLS certificate file"}, std::pair{options_.tlsKey, "TLS key file"}}) {
            if (const std::string why = FileAccess::WhyNotReadable(path); !why.empty()) {
                throw EInvalidOperation(std::string("The ") + what + " " + path + " " + why);
            }
        }
        // The certificate is public; only its key is private.
        PrivateFile::RequirePrivate(options_.tlsKey, "TLS key file");
        tls_ = TlsContext::ForServer(options_.tlsCert, options_.tlsKey);
    }
    if (!options_.credentialsFile.empty()) {
        credentials_ = Credentials::Load(options_.credentialsFile);
        spdlog::info("credentials: {} operators from {}", credentials_->Size(), options_.credentialsFile);
    }
    DescriptorLimit::Ensure(options_);
    auto db = Database::Open(options_.db, options_.database);
    Schema::Create(*db);
    spdlog::info("database: {} ready", db->Kind());
    listener_ = Database::Listen(
        options_.db, [this](const std::string& text) { live_.Receive(text); }, [this] { live_.ReloadAll(); });

    asio::ip::tcp::endpoint endpoint(address, static_cast<unsigned short>(options_.listenPort));
    io_->acceptor.open(endpoint.protocol(), ec);
    if (!ec) {
        io_->acceptor.set_option(asio::ip::tcp::acceptor::reuse_address(true), ec);
        io_->acceptor.bind(endpoint, ec);
    }
    if (!ec) {
        io_->acceptor.listen(asio::socket_base::max_listen_connections, ec);
    }
    if (ec) {
        throw ESocketError("Cannot listen on " + options_.listenHost + ":" + std::to_string(options_.listenPort) +
                           ": " + ec.message());
    }
    ServeMetrics();
}

void AppServer::ServeMetrics()
{
    if (options_.metricsPort < 0) {
        return;
    }
    asio::error_code ec;
    const auto address = asio::ip::make_address(options_.metricsHost, ec);
    if (ec) {
        throw ESocketError("Cannot serve metrics on '" + options_.metricsHost + "': not an IP address");
    }
    const std::string host = address.is_v6() ? "[" + address.to_string() + "]" : address.to_string();
    const std::string bind = host + ":" + std::to_string(options_.metricsPort);
    try {
        metrics_ = std::make_unique<prometheus::Exposer>(bind);
    } catch (const std::exception& e) {
        // The HTTP server's own words say only that it did not start.
        throw ESocketError("Cannot serve metrics on " + bind + " (is the port taken?): " + e.what());
    }
    metrics_->RegisterCollectable(ServerMetrics::Instance().Registry());
}

std::string AppServer::MetricsAddress() const
{
    if (!metrics_ || metrics_->GetListeningPorts().empty()) {
        return {};
    }
    const auto address = asio::ip::make_address(options_.metricsHost);
    const std::string host = address.is_v6() ? "[" + address.to_string() + "]" : address.to_string();
    return host + ":" + std::to_string(metrics_->GetListeningPorts().front());
}

std::string AppServer::ListenAddress() const
{
    auto ep = io_->acceptor.local_endpoint();
    return ep.address().to_string() + ":" + std::to_string(ep.port());
}

int AppServer::Port() const
{
    return io_->acceptor.local_endpoint().port();
}

void AppServer::HandleSignals()
{
    io_->signals.add(SIGTERM);
    io_->signals.add(SIGINT);
    io_->signals.add(SIGHUP);
    WaitForSignal();
}

void AppServer::WaitForSignal()
{
    io_->signals.async_wait([this](const asio::error_code& ec, int signal) {
        if (ec) {
            return;
        }
        if (signal == SIGHUP) {
            spdlog::info("signal {}: reading the credentials again", signal);
            ReloadCredentials();
            WaitForSignal();
            return;
        }
        spdlog::info("signal {}: stopping", signal);
        Stop();
    });
}

std::shared_ptr<const Credentials> AppServer::CurrentCredentials()
{
    std::lock_guard lock(credentialsMutex_);
    return credentials_;
}

bool AppServer::ReloadCredentials()
{
    if (options_.credentialsFile.empty()) {
        spdlog::warn("credentials: none to read again (the server was started without --credentials)");
        return false;
    }
    std::shared_ptr<const Credentials> fresh;
    try {
        fresh = Credentials::Load(options_.credentialsFile);
    } catch (const std::exception& e) {
        spdlog::error("credentials: {} not read again, the {} operators loaded before are kept: {}",
                      options_.credentialsFile, CurrentCredentials()->Size(), e.what());
        return false;
    }
    {
        std::lock_guard lock(credentialsMutex_);
        credentials_ = fresh;
    }
    int ended = 0;
    {
        std::lock_guard lock(mutex_);
        // Each session against the entry it was accepted with, however
        // long ago: one accepted with a secret since rotated ends too.
        for (auto& s : sessions_) {
            if (!s->StillHolds(*fresh)) {
                s->Stop();
                ++ended;
            }
        }
    }
    spdlog::info("credentials: {} operators from {}; {} sessions of operators removed or changed ended", fresh->Size(),
                 options_.credentialsFile, ended);
    return true;
}

void AppServer::Stop()
{
    asio::post(io_->ioc, [this] {
        if (stopped_.exchange(true)) {
            return;
        }
        asio::error_code ec;
        io_->acceptor.close(ec);
        io_->signals.cancel(ec);
        io_->pause.cancel();
        std::lock_guard lock(mutex_);
        for (auto& s : sessions_) {
            s->Stop();
        }
    });
}

int AppServer::ActiveConnections()
{
    std::lock_guard lock(mutex_);
    int n = 0;
    for (auto& s : sessions_) {
        n += s->Done() ? 0 : 1;
    }
    return n;
}

void AppServer::Reap()
{
    std::lock_guard lock(mutex_);
    for (auto it = sessions_.begin(); it != sessions_.end();) {
        if ((*it)->Done()) {
            (*it)->Join();
            it = sessions_.erase(it);
        } else {
            ++it;
        }
    }
}

void AppServer::AcceptLater()
{
    paused_ = true;
    io_->pause.expires_after(kAcceptPause);
    // Cancelled early by SessionEnded, and by Stop, which the flag tells apart.
    io_->pause.async_wait([this](const asio::error_code&) {
        paused_ = false;
        if (!stopped_) {
            // Sessions that ended still hold their loop's descriptors until
            // they are reaped, and a failed accept reaps nothing.
            Reap();
            Accept();
        }
    });
}

void AppServer::SessionEnded()
{
    asio::post(io_->ioc, [this] {
        if (paused_) {
            io_->pause.cancel();
        } else if (!stopped_) {
            // The session's loop and database hold descriptors until it is
            // reaped; they go back now, not at the next accept.
            Reap();
        }
    });
}

void AppServer::Accept()
{
    io_->acceptor.async_accept([this](const asio::error_code& ec, asio::ip::tcp::socket socket) {
        if (stopped_ || ec == asio::error::operation_aborted) {
            return;
        }
        // Every way out accepts again, at once or after a pause.
        long suppressed = 0;
        try {
            if (ec) {
                // Out of descriptors or buffers: the pending connections stay in
                // the backlog until some are freed.
                if (acceptLog_.Allow(suppressed)) {
                    spdlog::error("accept failed: {} ({} more since the last line); accepting again shortly",
                                  ec.message(), suppressed);
                }
                AcceptLater();
                return;
            }
            Accepted accepted{std::move(socket), {}, {}, {}};
            Serve(accepted);
        } catch (const std::exception& e) {
            if (acceptLog_.Allow(suppressed)) {
                spdlog::error("accepting a connection failed: {} ({} more since the last line)", e.what(), suppressed);
            }
            AcceptLater();
        }
    });
}

void AppServer::Serve(Accepted& accepted)
{
    Reap();
    asio::error_code ec;
    accepted.remote = accepted.socket.remote_endpoint(ec);
    if (ec) {
        Accept();
        return;
    }
    accepted.address = accepted.remote.address().to_string();
    accepted.handshake = budget_.BeginHandshake(ConnectionBudget::Network(accepted.address));
    if (!accepted.handshake.taken) {
        RefuseOverBudget(accepted);
        Accept();
        return;
    }
    if (accepted.handshake.evicted != 0) {
        // Every place was taken: the oldest handshake gave its own to this one.
        std::lock_guard lock(mutex_);
        for (auto& s : sessions_) {
            if (s->Ticket() == accepted.handshake.evicted) {
                s->Stop();
            }
        }
    }
    if (!StartSession(accepted)) {
        AcceptLater();
        return;
    }
    Accept();
}

void AppServer::RefuseOverBudget(Accepted& accepted)
{
    std::string message = "The application server has its limit of " +
                          std::to_string(options_.maxHandshakesPerAddress) +
                          " connections in the handshake from one address (" +
                          ConnectionBudget::Network(accepted.address) + "); try again later";
    long suppressed = 0;
    if (acceptLog_.Allow(suppressed)) {
        spdlog::warn("{}: connection refused ({} more since the last line): {}", LogText(accepted.address), suppressed,
                     message);
    }
    if (refusing_ < kMaxRefusing) {
        Refuse(io_->ioc, std::make_shared<asio::ip::tcp::socket>(std::move(accepted.socket)), message, refusing_);
    }
}

bool AppServer::StartSession(Accepted& accepted)
{
    std::unique_ptr<ServerSession> session;
    try {
        // From here the session ends the handshake place it was given.
        session = std::make_unique<ServerSession>(
            options_, registry_, budget_, answers_, accepted.address, accepted.handshake.ticket,
            [this] { return CurrentCredentials(); }, &live_, &liveness_);
        session->Channel().SetTls(tls_);
        auto& own = session->Channel().Asio().socket;
        asio::error_code ec;
        auto native = accepted.socket.release(ec);
        if (!ec) {
            own.assign(accepted.remote.protocol(), native, ec);
            if (ec) {
                ::close(native);
            }
        }
        if (ec) {
            throw asio::system_error(ec);
        }
        session->Channel().Adopt();
        session->Start([this] { SessionEnded(); });
        std::lock_guard lock(mutex_);
        sessions_.push_back(std::move(session));
        return true;
    } catch (const std::exception& e) {
        if (!session) {
            budget_.EndHandshake(accepted.handshake.ticket);
        }
        session.reset();
        // The session was not made (no descriptor for its loop, no thread):
        // the connection is dropped and the server goes on.
        long suppressed = 0;
        if (acceptLog_.Allow(suppressed)) {
            spdlog::error("{}: connection dropped ({} more since the last line): {}", LogText(accepted.address),
                          suppressed, e.what());
        }
        return false;
    }
}

void AppServer::Run()
{
    Accept();
    for (;;) {
        try {
            io_->ioc.run();
            break;
        } catch (const std::exception& e) {
            // A handler that failed for want of a resource; the loop goes on.
            spdlog::error("server loop: {}", e.what());
        }
    }
    std::list<std::unique_ptr<ServerSession>> ending;
    {
        std::lock_guard lock(mutex_);
        for (auto& s : sessions_) {
            s->Stop();
        }
        ending.swap(sessions_);
    }
    // Sessions end once their call has: one stuck in the database past the
    // stop time-out is left behind; what it sent, the database finishes or
    // undoes, and its client, which loses the answer, settles it.
    const auto until = std::chrono::steady_clock::now() + options_.stopTimeout;
    while (std::chrono::steady_clock::now() < until &&
           std::any_of(ending.begin(), ending.end(), [](const auto& s) { return !s->Done(); })) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    for (auto it = ending.begin(); it != ending.end();) {
        if ((*it)->Done()) {
            (*it)->Join();
            it = ending.erase(it);
        } else {
            ++it;
        }
    }
    abandoned_.splice(abandoned_.end(), ending);
    if (!abandoned_.empty()) {
        spdlog::warn("{} sessions still in a call {} s after the stop (the database does not answer them); stopping "
                     "without them: what they sent is the database's to finish or undo",
                     abandoned_.size(), std::chrono::duration_cast<std::chrono::seconds>(options_.stopTimeout).count());
    }
    spdlog::info("stopped");
}
