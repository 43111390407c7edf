#include "server/ServerSession.h"

#include "platform/core/Exception.h"
#include "platform/net/Protocol.h"

#include <spdlog/spdlog.h>

ServerSession::ServerSession(const ServerOptions& options, const ModuleRegistry& registry)
    : options_(options), registry_(registry)
{
}

ServerSession::~ServerSession()
{
    Stop();
    Join();
}

void ServerSession::Start()
{
    peer_ = channel_.PeerName();
    thread_ = std::thread([this] { Run(); });
}

void ServerSession::Stop()
{
    stopping_ = true;
    channel_.Post([this] {
        if (!inCall_) {
            channel_.Close();
        }
    });
}

void ServerSession::Join()
{
    if (thread_.joinable()) {
        thread_.join();
    }
}

bool ServerSession::SecretsEqual(const std::string& a, const std::string& b)
{
    // Every byte of the expected secret is looked at whatever the other holds.
    unsigned char diff = a.size() == b.size() ? 0 : 1;
    for (size_t i = 0; i < a.size(); ++i) {
        unsigned char other = i < b.size() ? static_cast<unsigned char>(b[i]) : 0;
        diff |= static_cast<unsigned char>(static_cast<unsigned char>(a[i]) ^ other);
    }
    return diff == 0;
}

void ServerSession::Send(const std::string& payload)
{
    channel_.WriteFrame(payload, options_.frameTimeout);
}

void ServerSession::Run()
{
    try {
        if (Handshake()) {
            Serve();
        }
    } catch (const std::exception& e) {
        spdlog::info("{}: connection ended: {}", peer_, e.what());
    }
    channel_.Close();
    module_.reset();
    db_.reset();
    done_ = true;
}

bool ServerSession::Handshake()
{
    Protocol::HelloReply reply;
    Protocol::Hello hello;
    try {
        hello = Protocol::DecodeHello(channel_.ReadFrame(options_.frameTimeout, options_.frameTimeout, 4096));
    } catch (const EPacketError& e) {
        spdlog::warn("{}: bad handshake: {}", peer_, e.what());
        reply.message = std::string("Handshake refused: ") + e.what();
        Send(Protocol::EncodeHelloReply(reply));
        return false;
    }
    if (hello.version != Protocol::kVersion) {
        reply.message = "Handshake refused: protocol version " + std::to_string(hello.version) +
                        " is not supported; this server speaks version " + std::to_string(Protocol::kVersion);
    } else if (!options_.secret.empty() && !SecretsEqual(options_.secret, hello.secret)) {
        reply.message = "Handshake refused: the shared secret is wrong";
    } else if (!registry_.Create(hello.serverName, nullptr)) {
        reply.message = "Handshake refused: this server has no server object named '" + hello.serverName + "'";
    } else {
        try {
            db_ = Database::Open(options_.db, options_.database);
            module_ = registry_.Create(hello.serverName, db_.get());
        } catch (const std::exception& e) {
            reply.message = std::string("The application server cannot reach its database: ") + e.what();
        }
    }
    if (!module_) {
        spdlog::warn("{}: {}", peer_, reply.message);
        Send(Protocol::EncodeHelloReply(reply));
        return false;
    }
    reply.accepted = true;
    Send(Protocol::EncodeHelloReply(reply));
    spdlog::info("{}: connected to {}", peer_, module_->ServerName());
    return true;
}

std::string ServerSession::Reply(const std::string& payload)
{
    Protocol::CallReply reply;
    Protocol::Call call;
    try {
        call = Protocol::DecodeCall(payload);
    } catch (const EPacketError& e) {
        reply.message = e.what();
        spdlog::warn("{}: {}", peer_, reply.message);
        return Protocol::EncodeCallReply(reply);
    }
    auto started = std::chrono::steady_clock::now();
    reply = module_->Dispatch(call);
    auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - started);
    if (reply.ok) {
        spdlog::debug("{}: {} answered in {} ms", peer_, call.descriptor.Method(), ms.count());
    } else {
        spdlog::warn("{}: {} failed: {}", peer_, call.descriptor.Method(), reply.message);
    }
    try {
        return Protocol::EncodeCallReply(reply);
    } catch (const EPacketError& e) {
        // The method's result broke the packet rules; tell the client instead.
        Protocol::CallReply fault;
        fault.message = call.descriptor.Method() + ": the answer could not be sent: " + e.what();
        spdlog::error("{}: {}", peer_, fault.message);
        return Protocol::EncodeCallReply(fault);
    }
}

void ServerSession::Serve()
{
    while (!stopping_) {
        std::string payload;
        try {
            payload = channel_.ReadFrame(options_.idleTimeout, options_.frameTimeout, options_.maxFrame);
        } catch (const EPacketError& e) {
            spdlog::warn("{}: {}; closing the connection", peer_, e.what());
            Protocol::CallReply fault;
            fault.message = e.what();
            Send(Protocol::EncodeCallReply(fault));
            return;
        }
        inCall_ = true;
        std::string answer = Reply(payload);
        Send(answer);
        inCall_ = false;
    }
}
