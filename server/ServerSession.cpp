#include "server/ServerSession.h"

#include "platform/core/Exception.h"
#include "platform/net/Protocol.h"
#include "server/LogText.h"
#include "server/LogThrottle.h"

#include <spdlog/spdlog.h>

#include <algorithm>
#include <new>
#include <thread>

namespace {

std::string KiB(size_t bytes)
{
    return std::to_string(bytes / 1024) + " KiB";
}

} // namespace

ServerSession::ServerSession(const ServerOptions& options, const ModuleRegistry& registry, ConnectionBudget& budget,
                             std::string address, const Credentials* credentials)
    : options_(options), registry_(registry), budget_(budget), address_(std::move(address)), credentials_(credentials)
{}

ServerSession::~ServerSession()
{
    Stop();
    Join();
    ReleasePlaces();
}

void ServerSession::EndHandshake()
{
    if (pending_) {
        pending_ = false;
        budget_.EndHandshake(address_);
    }
}

void ServerSession::ReleasePlaces()
{
    EndHandshake();
    if (placed_) {
        budget_.ReleasePlace();
        placed_ = false;
    }
}

void ServerSession::Pause(std::chrono::milliseconds delay)
{
    const auto until = std::chrono::steady_clock::now() + delay;
    while (!stopping_ && std::chrono::steady_clock::now() < until) {
        std::this_thread::sleep_for(std::min<std::chrono::steady_clock::duration>(
            std::chrono::milliseconds(20), until - std::chrono::steady_clock::now()));
    }
}

void ServerSession::Start(std::function<void()> ended)
{
    peer_ = channel_.PeerName();
    ended_ = std::move(ended);
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
        if (pending_) {
            // A peer that never finishes its handshake; flooding is logged at
            // the budget's rate.
            auto f = budget_.Failed(address_);
            if (f.log) {
                spdlog::info("{}: connection ended in the handshake ({} more from this address since the last "
                             "line): {}",
                             LogText(peer_), f.suppressed, LogText(e.what()));
            }
        } else {
            spdlog::info("{}: connection ended: {}", LogText(peer_), LogText(e.what()));
        }
    }
    channel_.Close();
    module_.reset();
    db_.reset();
    ReleasePlaces();
    done_ = true;
    if (ended_) {
        ended_();
    }
}

void ServerSession::RefuseHandshake(const std::string& message, const std::string& code,
                                    const std::vector<std::string>& args)
{
    auto f = budget_.Failed(address_);
    if (f.log) {
        spdlog::warn("{}: {} ({} more from this address since the last line; answers delayed {} ms)", LogText(peer_),
                     LogText(message), f.suppressed, f.delay.count());
    }
    Pause(f.delay);
    Protocol::HelloReply reply;
    reply.message = message;
    reply.code = code;
    reply.args = args;
    Send(Protocol::EncodeHelloReply(reply));
}

Protocol::HelloReply ServerSession::CheckHello(const Protocol::Hello& hello, Caller& caller) const
{
    Protocol::HelloReply reply;
    if (hello.version != Protocol::kVersion) {
        reply.message = "Handshake refused: protocol version " + std::to_string(hello.version) +
                        " is not supported; this server speaks version " + std::to_string(Protocol::kVersion);
        reply.code = "srv.protocolo";
    } else if (credentials_) {
        const Credentials::Entry* entry =
            hello.operatorName.empty() ? nullptr : credentials_->Verify(hello.operatorName, hello.secret);
        if (hello.operatorName.empty()) {
            reply.message = "Handshake refused: this server serves named operators only; name the operator "
                            "(Operator in the session) and their secret";
            reply.code = "srv.operador_requerido";
        } else if (!entry) {
            reply.message = "Handshake refused: unknown operator or wrong secret";
            reply.code = "srv.operador";
        } else {
            caller.operatorName = hello.operatorName;
            caller.allBranches = entry->allBranches;
            caller.branches = entry->branches;
        }
    } else if (!options_.secret.empty() && !SecretsEqual(options_.secret, hello.secret)) {
        reply.message = "Handshake refused: the shared secret is wrong";
        reply.code = "srv.segredo";
    } else if (!registry_.Create(hello.serverName, nullptr)) {
        reply.message = "Handshake refused: this server has no server object named '" + hello.serverName + "'";
        reply.code = "srv.objeto";
        reply.args = {hello.serverName};
    }
    return reply;
}

void ServerSession::AnswerLiveness()
{
    Protocol::HelloReply reply;
    reply.code = kLivenessCode;
    try {
        auto db = Database::Open(options_.db, options_.database);
        db->Query("SELECT 1 FROM FILIAL WHERE 1 = 0", {});
        reply.message = "The application server is alive and its database answers";
        reply.args = {kDatabaseAnswers};
    } catch (const std::exception& e) {
        // The reason stays in the log: the question comes without a secret.
        reply.message = "The application server is alive but its database does not answer";
        reply.args = {kDatabaseSilent};
        static LogThrottle silentLog{std::chrono::seconds(5)};
        long suppressed = 0;
        if (silentLog.Allow(suppressed)) {
            spdlog::warn("{}: liveness: the database does not answer ({} more since the last line): {}", LogText(peer_),
                         suppressed, LogText(e.what()));
        }
    }
    EndHandshake();
    Send(Protocol::EncodeHelloReply(reply));
}

bool ServerSession::Handshake()
{
    Protocol::HelloReply reply;
    Protocol::Hello hello;
    const auto started = std::chrono::steady_clock::now();
    if (channel_.IsTls()) {
        channel_.AcceptTls(options_.handshakeTimeout);
    }
    const auto left = options_.handshakeTimeout -
                      std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - started);
    try {
        hello = Protocol::DecodeHello(channel_.ReadFrameWithin(std::max(left, std::chrono::milliseconds(1)), 4096));
    } catch (const EPacketError& e) {
        RefuseHandshake(std::string("Handshake refused: ") + e.what(), "srv.protocolo");
        return false;
    }
    if (hello.serverName == kLivenessQuestion) {
        AnswerLiveness();
        return false;
    }
    Caller caller;
    caller.peer = peer_;
    reply = CheckHello(hello, caller);
    if (!reply.message.empty()) {
        RefuseHandshake(reply.message, reply.code, reply.args);
        return false;
    }
    EndHandshake();
    budget_.Succeeded(address_);
    if (!budget_.TakePlace()) {
        reply.message = "The application server is serving its limit of " + std::to_string(options_.maxConnections) +
                        " connections; try again later";
        reply.code = "srv.limite";
        reply.args = {std::to_string(options_.maxConnections)};
        static LogThrottle fullLog{std::chrono::seconds(1)};
        long suppressed = 0;
        if (fullLog.Allow(suppressed)) {
            spdlog::warn("{}: connection refused ({} more since the last line): {}", LogText(peer_), suppressed,
                         reply.message);
        }
        Send(Protocol::EncodeHelloReply(reply));
        return false;
    }
    placed_ = true;
    try {
        db_ = Database::Open(options_.db, options_.database);
        module_ = registry_.Create(hello.serverName, db_.get(), caller);
    } catch (const std::exception& e) {
        reply.message = std::string("The application server cannot reach its database: ") + e.what();
        reply.code = "srv.banco";
        spdlog::warn("{}: {}", LogText(peer_), LogText(reply.message));
        Send(Protocol::EncodeHelloReply(reply));
        return false;
    }
    reply.accepted = true;
    Send(Protocol::EncodeHelloReply(reply));
    spdlog::info("{}: connected to {}{}{}", LogText(peer_), LogText(module_->ServerName()),
                 caller.operatorName.empty() ? "" : " as ", LogText(caller.operatorName));
    return true;
}

std::string ServerSession::Reply(const std::string& payload)
{
    Protocol::CallReply reply;
    Protocol::Call call;
    std::string method = "a call";
    bool decoded = false;
    try {
        call = Protocol::DecodeCall(payload, options_.maxCells);
        decoded = true;
        method = call.descriptor.Method();
        auto started = std::chrono::steady_clock::now();
        reply = module_->Dispatch(call);
        auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - started);
        if (reply.ok) {
            // The texts are escaped only for a line that is written.
            if (spdlog::should_log(spdlog::level::debug)) {
                spdlog::debug("{}: {} answered in {} ms", LogText(peer_), LogText(method), ms.count());
            }
        } else {
            spdlog::warn("{}: {} failed: {}", LogText(peer_), LogText(method), LogText(reply.message));
        }
        std::string answer = Protocol::EncodeCallReply(reply);
        if (answer.size() <= options_.maxAnswer) {
            return answer;
        }
        reply = {};
        reply.message = "The answer of " + method + " has " + KiB(answer.size()) +
                        ", more than the application server's limit of " + KiB(options_.maxAnswer) +
                        " for one answer; narrow the search";
        reply.code = "srv.resposta_grande";
        reply.args = {method, std::to_string((answer.size() + 1023) / 1024), std::to_string(options_.maxAnswer / 1024)};
    } catch (const EPacketError& e) {
        // A call that does not decode never will: it is refused for good. An
        // answer that broke the packet rules is the server's own failure.
        reply = {};
        reply.message = e.what();
        reply.code = "srv.chamada_invalida";
        if (!decoded) {
            reply.faultKind = TFaultKind::fkRefused;
        }
    } catch (const std::bad_alloc&) {
        reply = {};
        reply.message =
            "The application server ran out of memory for " + method + "; try again later, or with fewer rows";
        reply.code = "srv.sem_memoria";
        reply.args = {method};
    }
    spdlog::warn("{}: {}", LogText(peer_), LogText(reply.message));
    return Protocol::EncodeCallReply(reply);
}

void ServerSession::Serve()
{
    while (!stopping_) {
        std::string payload;
        Protocol::CallReply fault;
        try {
            payload = channel_.ReadFrame(options_.idleTimeout, options_.frameTimeout, options_.maxFrame);
        } catch (const EPacketError& e) {
            fault.message = e.what();
            fault.code = "srv.chamada_invalida";
        } catch (const std::bad_alloc&) {
            fault.message = "The application server ran out of memory reading a call";
            fault.code = "srv.sem_memoria";
            fault.args = {"?"};
        }
        if (!fault.message.empty()) {
            // The stream has lost its place: the fault is the last word.
            spdlog::warn("{}: {}; closing the connection", LogText(peer_), LogText(fault.message));
            Send(Protocol::EncodeCallReply(fault));
            return;
        }
        inCall_ = true;
        std::string answer = Reply(payload);
        payload = std::string();
        Send(answer);
        inCall_ = false;
    }
}
