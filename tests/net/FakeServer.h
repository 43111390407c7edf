#pragma once
// A scripted peer for the client's tests: accepts connections on a loopback
// port, one at a time, reads frames and answers each as the script says. It
// can also stay silent, close the connection or send raw bytes, which is how
// the tests meet dead, silent and broken servers.
#include "Answers.h"
#include "platform/net/FrameBuffer.h"
#include "platform/net/Protocol.h"

#include <asio.hpp>
#include <poll.h>

#include <atomic>
#include <functional>
#include <string>
#include <thread>

struct FakeAction {
    enum class TKind { Reply, ReplyThenClose, Silence, Close, Raw } kind = TKind::Silence;
    std::string bytes;

    static FakeAction Reply(std::string payload) { return {TKind::Reply, std::move(payload)}; }
    static FakeAction ReplyThenClose(std::string payload) { return {TKind::ReplyThenClose, std::move(payload)}; }
    static FakeAction Silence() { return {TKind::Silence, {}}; }
    static FakeAction Close() { return {TKind::Close, {}}; }
    static FakeAction Raw(std::string bytes) { return {TKind::Raw, std::move(bytes)}; }
    static FakeAction Welcome() { return Reply(HelloAnswer(true)); }
    static FakeAction Result(Variant v) { return Reply(ResultAnswer(std::move(v))); }
};

class FakeServer {
public:
    // The script sees every payload and the number of the connection it came on.
    using Script = std::function<FakeAction(const std::string& payload, int connection)>;

    explicit FakeServer(Script script) : acceptor_(ioc_), script_(std::move(script))
    {
        asio::ip::tcp::endpoint ep(asio::ip::make_address("127.0.0.1"), 0);
        acceptor_.open(ep.protocol());
        acceptor_.set_option(asio::ip::tcp::acceptor::reuse_address(true));
        acceptor_.bind(ep);
        acceptor_.listen();
        thread_ = std::thread([this] { Loop(); });
    }

    ~FakeServer()
    {
        stop_ = true;
        thread_.join();
    }

    int Port() const { return acceptor_.local_endpoint().port(); }
    int Connections() const { return connections_; }

    // Welcomes every handshake and hands calls to the script.
    static Script Calls(std::function<FakeAction(const Protocol::Call& call, int connection)> onCall)
    {
        return [onCall](const std::string& payload, int connection) {
            if (Protocol::Kind(payload) == TMessageKind::mkHello) {
                return FakeAction::Welcome();
            }
            return onCall(Protocol::DecodeCall(payload), connection);
        };
    }

private:
    // Waits for fd to become readable for up to 50 ms.
    static bool Readable(int fd)
    {
        pollfd p{fd, POLLIN, 0};
        return ::poll(&p, 1, 50) > 0;
    }

    void Loop()
    {
        while (!stop_) {
            if (!Readable(acceptor_.native_handle())) {
                continue;
            }
            asio::ip::tcp::socket s(ioc_);
            asio::error_code ec;
            acceptor_.accept(s, ec);
            if (ec) {
                continue;
            }
            ++connections_;
            Serve(s, connections_);
        }
    }

    void Serve(asio::ip::tcp::socket& s, int connection)
    {
        FrameBuffer frames;
        char buf[4096];
        while (!stop_) {
            if (!Readable(s.native_handle())) {
                continue;
            }
            asio::error_code ec;
            size_t n = s.read_some(asio::buffer(buf), ec);
            if (ec) {
                return;
            }
            frames.Append(std::string_view(buf, n));
            while (auto payload = frames.Next()) {
                FakeAction a = script_(*payload, connection);
                switch (a.kind) {
                case FakeAction::TKind::Reply: asio::write(s, asio::buffer(FrameBuffer::Wrap(a.bytes)), ec); break;
                case FakeAction::TKind::ReplyThenClose:
                    asio::write(s, asio::buffer(FrameBuffer::Wrap(a.bytes)), ec);
                    s.close(ec);
                    return;
                case FakeAction::TKind::Raw: asio::write(s, asio::buffer(a.bytes), ec); break;
                case FakeAction::TKind::Close: s.close(ec); return;
                case FakeAction::TKind::Silence: break;
                }
            }
        }
    }

    asio::io_context ioc_;
    asio::ip::tcp::acceptor acceptor_;
    Script script_;
    std::atomic<bool> stop_{false};
    std::atomic<int> connections_{0};
    std::thread thread_;
};
