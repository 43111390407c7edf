#include "server/ServerSession.h"

#include "platform/core/Exception.h"
#include "platform/net/Protocol.h"
#include "platform/net/SocketChannelIo.h"
#include "server/LogText.h"
#include "server/LogThrottle.h"
#include "server/ServerMetrics.h"

#include <spdlog/spdlog.h>

#include <algorithm>
#include <new>
#include <poll.h>
#include <thread>

namespace {

// Whether the peer has closed its end or the connection broke; bytes it sent
// beyond its handshake do not count, nor does anything waiting to be read.
bool PeerLeft(SocketChannel& channel)
{
    auto& socket = channel.Asio().socket;
    if (!socket.is_open()) {
        return true;
    }
    pollfd p{socket.native_handle(), POLLRDHUP, 0};
    return ::poll(&p, 1, 0) > 0 && (p.revents & (POLLRDHUP | POLLHUP | POLLERR)) != 0;
}

std::string KiB(size_t bytes)
{
    return std::to_string(bytes / 1024) + " KiB";
}

} // namespace

ServerSession::ServerSession(const ServerOptions& options, const ModuleRegistry& registry, ConnectionBudget& budget,
                             AnswerBudget& answers, std::string address, std::uint64_t ticket,
                             CredentialsNow credentials, LiveUpdates* live, LivenessProbe* liveness)
    : options_(options),
      registry_(registry),
      budget_(budget),
      answers_(answers),
      address_(std::move(address)),
      network_(ConnectionBudget::Network(address_)),
      ticket_(ticket),
      credentialsNow_(std::move(credentials)),
      liveness_(liveness),
      live_(live)
{}

std::string ServerSession::OperatorName()
{
    std::lock_guard lock(nameMutex_);
    return operatorName_;
}

bool ServerSession::StillHolds(const Credentials& credentials)
{
    std::lock_guard lock(nameMutex_);
    return operatorName_.empty() || credentials.Holds(operatorName_, entry_);
}

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
        budget_.EndHandshake(ticket_);
    }
}

bool ServerSession::BeginWait()
{
    wait_ = budget_.BeginWait(network_);
    return wait_.taken;
}

void ServerSession::EndWait()
{
    if (wait_.taken) {
        wait_.taken = false;
        budget_.EndWait(wait_.ticket);
    }
}

bool ServerSession::StillWanted()
{
    return !stopping_ && (!wait_.taken || budget_.Waiting(wait_.ticket)) && !PeerLeft(channel_);
}

void ServerSession::ReleasePlaces()
{
    EndHandshake();
    EndWait();
    if (placed_) {
        ServerMetrics::Instance().SessionClosed();
        budget_.ReleasePlace(OperatorName(), network_);
        placed_ = false;
    }
}

bool ServerSession::Pause(std::chrono::milliseconds delay)
{
    const auto until = std::chrono::steady_clock::now() + delay;
    while (std::chrono::steady_clock::now() < until) {
        if (!StillWanted()) {
            return false;
        }
        std::this_thread::sleep_for(std::min<std::chrono::steady_clock::duration>(
            std::chrono::milliseconds(20), until - std::chrono::steady_clock::now()));
    }
    return true;
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
        if (!placed_) {
            ServerMetrics::Instance().Handshake(ServerMetrics::THandshake::Dropped);
            // A peer that never finishes its handshake; flooding is logged at
            // the budget's rate.
            auto f = budget_.Failed(network_, {});
            if (f.log) {
                spdlog::info("{}: connection ended in the handshake ({} more from this address since the last "
                             "line): {}",
                             LogText(peer_), f.suppressed, LogText(e.what()));
            }
        } else {
            spdlog::info("{}: connection ended: {}", LogText(peer_), LogText(e.what()));
        }
    }
    if (const long held = warnings_.Held(); held > 0) {
        spdlog::warn("{}: {} more warnings about this connection's calls were held back", LogText(peer_), held);
    }
    if (mailbox_) {
        live_->Leave(mailbox_);
        mailbox_.reset();
    }
    channel_.Close();
    answered_ = {};
    module_.reset();
    db_.reset();
    ReleasePlaces();
    done_ = true;
    if (ended_) {
        ended_();
    }
}

void ServerSession::RefuseHandshake(const Protocol::HelloReply& reply, const std::string& name)
{
    ServerMetrics::Instance().Handshake(ServerMetrics::THandshake::Refused);
    auto f = budget_.Failed(network_, name);
    if (f.log) {
        spdlog::warn("{}: {} ({} more from this address since the last line; answers delayed {} ms)", LogText(peer_),
                     LogText(reply.message), f.suppressed, f.delay.count());
    }
    // The handshake place goes back before the delay, which a peer could
    // otherwise use to hold it for free; the delay holds a wait place, and a
    // refusal without one, or whose place goes to another's try, is closed
    // unanswered.
    EndHandshake();
    if (!wait_.taken && !BeginWait()) {
        return;
    }
    if (!budget_.Refusing(wait_.ticket)) {
        wait_.taken = false;
        return;
    }
    if (!Pause(f.delay)) {
        return;
    }
    EndWait();
    Send(Protocol::EncodeHelloReply(reply));
}

bool ServerSession::TakeTurn(const std::string& name, Protocol::HelloReply& reply)
{
    const auto until = std::chrono::steady_clock::now() + ConnectionBudget::kLongestNameWait;
    bool taken = false;
    while (!(taken = budget_.TakeTurn(network_, name)) && std::chrono::steady_clock::now() < until) {
        // A try whose peer left gives its place in the line up at once.
        if (!StillWanted()) {
            throw ESocketError("closed unanswered: the try was given up while it waited for its turn");
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    if (!taken) {
        reply.message = "Handshake refused: too many failed tries for this operator; try again in a few seconds";
        reply.code = "srv.operador_tentativas";
    }
    return taken;
}

bool ServerSession::TakeCheck(Protocol::HelloReply& reply)
{
    const auto until = std::chrono::steady_clock::now() + ConnectionBudget::kLongestNameWait;
    bool taken = false;
    while (!(taken = budget_.TakeCheck(wait_.ticket)) && std::chrono::steady_clock::now() < until) {
        if (!StillWanted()) {
            throw ESocketError("closed unanswered: the try was given up while it waited for its secret's check");
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    if (taken && !StillWanted()) {
        // Its peer left while it waited: the check goes to the next in line.
        budget_.EndCheck(wait_.ticket);
        throw ESocketError("closed unanswered: the try was given up while it waited for its secret's check");
    }
    if (!taken) {
        reply.message = "The application server is checking as many secrets as it can; try again later";
        reply.code = "srv.ocupado";
    }
    return taken;
}

Protocol::HelloReply ServerSession::CheckHello(const Protocol::Hello& hello, Caller& caller)
{
    Protocol::HelloReply reply;
    credentials_ = credentialsNow_ ? credentialsNow_() : nullptr;
    if (hello.version != Protocol::kVersion) {
        reply.message = "Handshake refused: protocol version " + std::to_string(hello.version) +
                        " is not supported; this server speaks version " + std::to_string(Protocol::kVersion);
        reply.code = "srv.protocolo";
    } else if (credentials_ && hello.operatorName.empty()) {
        reply.message = "Handshake refused: this server serves named operators only; name the operator "
                        "(Operator in the session) and their secret";
        reply.code = "srv.operador_requerido";
    } else if (credentials_) {
        if (TakeTurn(hello.operatorName, reply)) {
            bool failed = true;
            auto endTurn =
                std::shared_ptr<void>(nullptr, [&](void*) { budget_.EndTurn(network_, hello.operatorName, failed); });
            // A made-up name costs a derivation as a real one does, counted
            // for its own network.
            if (!TakeCheck(reply)) {
                failed = false;
                return reply;
            }
            auto endCheck = std::shared_ptr<void>(nullptr, [&](void*) { budget_.EndCheck(wait_.ticket); });
            const Credentials::Entry* entry = credentials_->Verify(hello.operatorName, hello.secret);
            failed = entry == nullptr;
            if (entry) {
                caller.operatorName = hello.operatorName;
                caller.allBranches = entry->allBranches;
                caller.branches = entry->branches;
                entry_ = *entry;
            } else {
                reply.message = "Handshake refused: unknown operator or wrong secret";
                reply.code = "srv.operador";
            }
        }
    } else if (!options_.secret.empty()) {
        // The shared secret is one name's secret: guesses at it are counted
        // under the empty name.
        if (TakeTurn({}, reply)) {
            const bool wrong = !SecretsEqual(options_.secret, hello.secret);
            budget_.EndTurn(network_, {}, wrong);
            if (wrong) {
                reply.message = "Handshake refused: the shared secret is wrong";
                reply.code = "srv.segredo";
            }
        }
    }
    if (!reply.message.empty()) {
        return reply;
    }
    if (!registry_.Create(hello.serverName, nullptr)) {
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
    ServerMetrics::Instance().Handshake(ServerMetrics::THandshake::Liveness);
    std::string why;
    const auto wanted = [this] { return StillWanted(); };
    bool answers = false;
    if (liveness_ != nullptr) {
        answers = liveness_->DatabaseAnswers(wanted, why);
    } else {
        LivenessProbe own(options_.db, options_.database);
        answers = own.DatabaseAnswers(wanted, why);
    }
    if (answers) {
        reply.message = "The application server is alive and its database answers";
        reply.args = {kDatabaseAnswers};
    } else {
        // The reason stays in the log: the question comes without a secret.
        reply.message = "The application server is alive but its database does not answer";
        reply.args = {kDatabaseSilent};
        static LogThrottle silentLog{std::chrono::seconds(5)};
        long suppressed = 0;
        if (silentLog.Allow(suppressed)) {
            spdlog::warn("{}: liveness: the database does not answer ({} more since the last line): {}", LogText(peer_),
                         suppressed, LogText(why));
        }
    }
    Send(Protocol::EncodeHelloReply(reply));
}

Protocol::HelloReply ServerSession::RefusePlace(ConnectionBudget::TPlace place, const std::string& operatorName) const
{
    Protocol::HelloReply reply;
    if (place == ConnectionBudget::TPlace::OperatorFull) {
        const auto n = std::to_string(options_.maxSessionsPerOperator);
        reply.message = "The operator " + operatorName + " already has the application server's limit of " + n +
                        " sessions open; close one of them and try again";
        reply.code = "srv.limite_operador";
        reply.args = {operatorName, n};
    } else if (place == ConnectionBudget::TPlace::NetworkFull) {
        const auto n = std::to_string(options_.maxSessionsPerAddress);
        reply.message = "This address already has the application server's limit of " + n +
                        " sessions open; close one of them and try again";
        reply.code = "srv.limite_endereco";
        reply.args = {n};
    } else {
        reply.message = "The application server is serving its limit of " + std::to_string(options_.maxConnections) +
                        " connections; try again later";
        reply.code = "srv.limite";
        reply.args = {std::to_string(options_.maxConnections)};
    }
    return reply;
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
        reply.message = std::string("Handshake refused: ") + e.what();
        reply.code = "srv.protocolo";
        RefuseHandshake(reply, {});
        return false;
    }
    // The place guards the handshake's arrival, which a silent peer would
    // hold; what comes after it holds a wait place, a share per network.
    EndHandshake();
    if (!BeginWait()) {
        reply.message = "The application server has its limit of " + std::to_string(options_.maxHandshakesPerAddress) +
                        " handshakes from one address (" + network_ + ") waiting to be answered; try again later";
        reply.code = "srv.ocupado";
        ServerMetrics::Instance().Handshake(ServerMetrics::THandshake::Full);
        static LogThrottle busyLog{std::chrono::seconds(1)};
        long suppressed = 0;
        if (busyLog.Allow(suppressed)) {
            spdlog::warn("{}: handshake refused ({} more since the last line): {}", LogText(peer_), suppressed,
                         LogText(reply.message));
        }
        Send(Protocol::EncodeHelloReply(reply));
        return false;
    }
    if (hello.serverName == kLivenessQuestion) {
        AnswerLiveness();
        EndWait();
        return false;
    }
    Caller caller;
    caller.peer = peer_;
    if (live_ != nullptr) {
        caller.origin = live_->ServerId() + ":" + std::to_string(ticket_);
    }
    reply = CheckHello(hello, caller);
    if (stopping_) {
        return false;
    }
    if (reply.code == "srv.ocupado") {
        // No check came in time: the server is busy, not the secret wrong.
        ServerMetrics::Instance().Handshake(ServerMetrics::THandshake::Full);
        EndWait();
        Send(Protocol::EncodeHelloReply(reply));
        return false;
    }
    if (!reply.message.empty()) {
        RefuseHandshake(reply, credentials_ ? hello.operatorName : std::string());
        return false;
    }
    EndWait();
    budget_.Succeeded(network_, caller.operatorName);
    const auto place = budget_.TakePlace(caller.operatorName, network_);
    if (place != ConnectionBudget::TPlace::Taken) {
        reply = RefusePlace(place, caller.operatorName);
        ServerMetrics::Instance().Handshake(ServerMetrics::THandshake::Full);
        static LogThrottle fullLog{std::chrono::seconds(1)};
        long suppressed = 0;
        if (fullLog.Allow(suppressed)) {
            spdlog::warn("{}: connection refused ({} more since the last line): {}", LogText(peer_), suppressed,
                         LogText(reply.message));
        }
        Send(Protocol::EncodeHelloReply(reply));
        return false;
    }
    {
        std::lock_guard lock(nameMutex_);
        operatorName_ = caller.operatorName;
    }
    // A reload that came while the secret was checked either finds the name
    // just set and ends the session, or came first and is seen here.
    if (credentialsNow_ && !caller.operatorName.empty()) {
        if (auto now = credentialsNow_(); now && !StillHolds(*now)) {
            ServerMetrics::Instance().Handshake(ServerMetrics::THandshake::Refused);
            reply.message = "Handshake refused: unknown operator or wrong secret";
            reply.code = "srv.operador";
            Send(Protocol::EncodeHelloReply(reply));
            return false;
        }
    }
    placed_ = true;
    ServerMetrics::Instance().SessionOpened();
    holder_ = caller.operatorName.empty() ? "network " + network_ : "operator " + caller.operatorName;
    try {
        db_ = Database::Open(options_.db, options_.database);
        module_ = registry_.Create(hello.serverName, db_.get(), caller);
    } catch (const std::exception& e) {
        reply.message = std::string("The application server cannot reach its database: ") + e.what();
        reply.code = "srv.banco";
        ServerMetrics::Instance().Handshake(ServerMetrics::THandshake::NoDatabase);
        spdlog::warn("{}: {}", LogText(peer_), LogText(reply.message));
        Send(Protocol::EncodeHelloReply(reply));
        return false;
    }
    reply.accepted = true;
    ServerMetrics::Instance().Handshake(ServerMetrics::THandshake::Accepted);
    who_ = caller.Who();
    origin_ = caller.origin;
    if (live_ != nullptr && (hello.flags & Protocol::kLiveUpdates) != 0) {
        // The channel's wait ends when updates come: they go between answers.
        mailbox_ = live_->Join([this] { channel_.Wake(); }, origin_);
    }
    Send(Protocol::EncodeHelloReply(reply));
    spdlog::info("{}: connected to {}{}{}", LogText(peer_), LogText(module_->ServerName()),
                 caller.operatorName.empty() ? "" : " as ", LogText(caller.operatorName));
    return true;
}

void ServerSession::Warn(const std::string& text)
{
    long held = 0;
    if (!warnings_.Allow(held)) {
        return;
    }
    long networkHeld = 0;
    if (!budget_.AllowWarning(network_, networkHeld)) {
        return;
    }
    if (held + networkHeld == 0) {
        spdlog::warn("{}: {}", LogText(peer_), LogText(text));
    } else {
        spdlog::warn("{}: {} ({} more from this connection and {} from its address held back)", LogText(peer_),
                     LogText(text), held, networkHeld);
    }
}

std::string ServerSession::Reply(const std::string& payload, size_t& held)
{
    Protocol::CallReply reply;
    Protocol::Call call;
    std::string method = "a call";
    bool decoded = false;
    const auto busy = [&](const char* what) {
        reply = {};
        reply.message = "The application server is " + std::string(what) +
                        " as many answers at once as its memory allows; " + method + " was not run: send it again";
        reply.code = "srv.respostas_ocupado";
        reply.args = {method};
        Warn(reply.message);
        return Protocol::EncodeCallReply(reply);
    };
    try {
        call = Protocol::DecodeCall(payload, options_.maxCells);
        decoded = true;
        method = call.descriptor.Method();
        // Only an answer that carries a data set can grow large: a count
        // takes no room of the budget, so changes never wait behind reads.
        // Such a call reserves what its method's answers have needed of late
        // before it reads, and what its own answer needs once read.
        const bool large = module_->AnswersDataSet(method);
        if (large) {
            const size_t estimate = std::min(answers_.Estimate(method), options_.maxAnswer);
            if (!answers_.Take(holder_, estimate, options_.answerWait, stopping_)) {
                return busy("building");
            }
            held = estimate;
        }
        auto started = std::chrono::steady_clock::now();
        reply = module_->Dispatch(call);
        // Told only once stored: Dispatch has committed the call.
        auto stored = module_->TakeStored();
        if (reply.ok && live_ != nullptr) {
            if (mailbox_) {
                if (auto key = module_->Watched(call)) {
                    mailbox_->Watch(std::move(*key));
                }
            }
            // A database that carries announcements to every server tells
            // this one's sessions too (the module announced in its
            // transaction); otherwise they are told from here.
            if (!db_->AnnouncesToOtherServers()) {
                for (const auto& s : stored) {
                    live_->Publish(origin_, s.key, who_, s.changes, s.reread);
                }
            }
        }
        auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - started);
        ServerMetrics::Instance().Call(method, reply, std::chrono::steady_clock::now() - started);
        if (reply.ok) {
            // The texts are escaped only for a line that is written.
            if (spdlog::should_log(spdlog::level::debug)) {
                spdlog::debug("{}: {} answered in {} ms", LogText(peer_), LogText(method), ms.count());
            }
        } else {
            Warn(method + " failed: " + reply.message);
        }
        // The size is known before the bytes are built, so an answer over
        // the bound is never built whole.
        const size_t size = Protocol::EncodedSize(reply);
        if (large) {
            answers_.Answered(method, size);
        }
        if (large && size <= options_.maxAnswer && size != held) {
            if (size < held) {
                answers_.Give(holder_, held - size);
            } else if (!answers_.Take(holder_, size - held, options_.answerWait, stopping_)) {
                return busy("sending");
            }
            held = size;
        }
        if (size <= options_.maxAnswer) {
            std::string bytes = Protocol::EncodeCallReply(reply, size);
            // The result's rows are freed once the answer is on its way,
            // while the peer reads it.
            answered_ = std::move(reply);
            return bytes;
        }
        reply = {};
        reply.message = "The answer of " + method + " has " + KiB(size) +
                        ", more than the application server's limit of " + KiB(options_.maxAnswer) +
                        " for one answer; narrow the search";
        reply.code = "srv.resposta_grande";
        reply.args = {method, std::to_string((size + 1023) / 1024), std::to_string(options_.maxAnswer / 1024)};
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
    Warn(reply.message);
    return Protocol::EncodeCallReply(reply);
}

void ServerSession::SendUpdates()
{
    if (!mailbox_ || std::chrono::steady_clock::now() < nextUpdate_) {
        return;
    }
    for (const Protocol::Update& update : mailbox_->Take()) {
        Send(Protocol::EncodeUpdate(update));
        ServerMetrics::Instance().UpdateSent();
        nextUpdate_ = std::chrono::steady_clock::now() + kUpdateInterval;
    }
}

void ServerSession::AwaitCall(std::chrono::steady_clock::time_point idleUntil)
{
    for (;;) {
        SendUpdates();
        auto until = idleUntil;
        if (mailbox_->HasPending()) {
            until = std::min(until, nextUpdate_);
        }
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(until - std::chrono::steady_clock::now());
        const auto wait = channel_.WaitFrameOrWake(std::max(left, std::chrono::milliseconds(0)));
        if (wait == SocketChannel::TWait::wtFrame) {
            return;
        }
        if (wait == SocketChannel::TWait::wtTimedOut && std::chrono::steady_clock::now() >= idleUntil) {
            channel_.Close();
            throw ESocketError("receive: nothing arrived within the idle time-out", TSocketCause::scTimedOut);
        }
    }
}

void ServerSession::Serve()
{
    auto idleUntil = std::chrono::steady_clock::now() + options_.idleTimeout;
    while (!stopping_) {
        std::string payload;
        Protocol::CallReply fault;
        try {
            if (mailbox_) {
                AwaitCall(idleUntil);
            }
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
            Warn(fault.message + "; closing the connection");
            Send(Protocol::EncodeCallReply(fault));
            return;
        }
        inCall_ = true;
        size_t held = 0;
        std::string answer = Reply(payload, held);
        payload = std::string();
        // The room goes back as the answer's bytes are written, the rest
        // once they are gone, also when sending them fails.
        auto give = std::shared_ptr<void>(nullptr, [&](void*) { answers_.Give(holder_, held); });
        channel_.WriteFrame(answer, options_.frameTimeout, [&](size_t written) {
            const size_t back = std::min(written, held);
            answers_.Give(holder_, back);
            held -= back;
        });
        answered_ = {};
        inCall_ = false;
        idleUntil = std::chrono::steady_clock::now() + options_.idleTimeout;
    }
}
