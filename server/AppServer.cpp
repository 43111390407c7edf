#include "server/AppServer.h"

#include "platform/core/Exception.h"
#include "platform/net/FrameBuffer.h"
#include "platform/net/Protocol.h"
#include "platform/net/SocketChannelIo.h"
#include "server/Schema.h"

#include <spdlog/spdlog.h>

struct AppServer::Io {
    asio::io_context ioc;
    asio::ip::tcp::acceptor acceptor{ioc};
    asio::signal_set signals{ioc};
};

namespace {

// Writes the refusal, then drains the client's handshake for a moment so
// that closing does not reset the stream before the client has read why it
// was refused.
void Refuse(asio::io_context& ioc, std::shared_ptr<asio::ip::tcp::socket> socket, const std::string& message)
{
    Protocol::HelloReply reply;
    reply.message = message;
    auto frame = std::make_shared<std::string>(FrameBuffer::Wrap(Protocol::EncodeHelloReply(reply)));
    auto timer = std::make_shared<asio::steady_timer>(ioc, std::chrono::seconds(2));
    timer->async_wait([socket](const asio::error_code& ec) {
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

} // namespace

AppServer::AppServer(ServerOptions options, const ModuleRegistry& registry)
    : options_(std::move(options)), registry_(registry), io_(std::make_unique<Io>())
{
}

AppServer::~AppServer()
{
    Stop();
    std::lock_guard lock(mutex_);
    sessions_.clear();
}

void AppServer::Start()
{
    asio::error_code ec;
    auto address = asio::ip::make_address(options_.listenHost, ec);
    if (ec) {
        throw ESocketError("Cannot listen on '" + options_.listenHost + "': not an IP address");
    }
    if (!address.is_loopback() && options_.secret.empty()) {
        throw EInvalidOperation("Refusing to listen on " + options_.listenHost +
                                " without a shared secret: clients elsewhere on the network must present one "
                                "(--secret-file or SERVCLIENTE_SECRET)");
    }
    auto db = Database::Open(options_.db, options_.database);
    Schema::Create(*db);
    spdlog::info("database: {} ready", db->Kind());

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
    io_->signals.async_wait([this](const asio::error_code& ec, int signal) {
        if (!ec) {
            spdlog::info("signal {}: stopping", signal);
            Stop();
        }
    });
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

void AppServer::Accept()
{
    auto session = std::make_unique<ServerSession>(options_, registry_);
    auto* raw = session.get();
    io_->acceptor.async_accept(raw->Channel().Asio().socket, [this, session = std::move(session)](
                                                                 const asio::error_code& ec) mutable {
        if (ec || stopped_) {
            return;
        }
        Reap();
        if (ActiveConnections() >= options_.maxConnections) {
            auto& socket = session->Channel().Asio().socket;
            auto peer = std::make_shared<asio::ip::tcp::socket>(io_->ioc);
            asio::error_code e2;
            auto protocol = socket.local_endpoint(e2).protocol();
            if (!e2) {
                auto native = socket.release(e2);
                if (!e2) {
                    peer->assign(protocol, native, e2);
                }
            }
            std::string message = "The application server is serving its limit of " +
                                  std::to_string(options_.maxConnections) +
                                  " connections; try again later";
            spdlog::warn("connection refused: {}", message);
            if (!e2) {
                Refuse(io_->ioc, peer, message);
            }
        } else {
            session->Channel().Adopt();
            session->Start();
            std::lock_guard lock(mutex_);
            sessions_.push_back(std::move(session));
        }
        Accept();
    });
}

void AppServer::Run()
{
    Accept();
    io_->ioc.run();
    std::list<std::unique_ptr<ServerSession>> ending;
    {
        std::lock_guard lock(mutex_);
        for (auto& s : sessions_) {
            s->Stop();
        }
        ending.swap(sessions_);
    }
    for (auto& s : ending) {
        s->Join();
    }
    spdlog::info("stopped");
}
