#pragma once
// One client connection of the application server, served on its own thread:
// the handshake, then one call after another, each answered before the next
// is read.
//
// Failure behaviour: nothing a client sends ends the process. A handshake that
// names an unknown server object, presents a wrong secret or another protocol
// version is refused with a message; a call that does not decode, names an
// unknown method or carries a descriptor that does not match the method's
// declaration is answered with a fault and the connection goes on; a frame of
// bad length is answered with a fault and the connection is closed, since the
// stream has lost its place; a client silent past the idle time-out, or whose
// message does not arrive whole within the frame time-out, is disconnected.
//
// The handshake must arrive whole within the handshake time-out. The session
// holds a handshake place of the server's ConnectionBudget from its making
// until its handshake has arrived (or until a newer connection takes the
// place, which closes it), and a connection place once it is accepted,
// counted for its operator and its network too; a session over the
// operator's or the network's share is refused with a message saying which.
// Once its handshake has arrived, the session holds a wait place of the
// budget until it is answered: a session beyond its network's share is
// answered at once that the server is busy, and one whose place went to
// another network's try ends unanswered. A name has its secret checked only
// at the rate the budget allows its network, and a secret's hash is derived
// only when the budget gives the session a check; a try gives up its turn as
// soon as its peer leaves. A refused handshake is answered after the delay
// the budget sets for its network and operator name, and logged at the rate
// the budget allows. Texts from the peer are escaped (LogText)
// before they are logged, and warnings about its calls are logged a few at a time per session and per network, with a
// count of those held back. A call that runs out of memory, or whose answer is larger than the answer bound, is
// answered with a fault and the connection goes on; the answer's size is worked out before its bytes are built. A call
// answering a data set waits for room in the server's AnswerBudget before it runs (what its method's answers needed of
// late) and before its answer is built (what that answer needs), in its operator's share (its network's without one),
// and gives the room back as the answer is written; it is answered with a fault that it may send again when no room is
// found in time.
//
// Over TLS the TLS handshake comes first, and it and the protocol's
// handshake together must end within the handshake time-out. With
// credentials, the handshake must name a known operator and their secret;
// the module is made for that operator (or, without credentials, for the
// peer's address) and the branches they may touch.
//
// A handshake naming kLivenessQuestion as its server object needs no secret:
// it is refused with the code kLivenessCode and one argument, kDatabaseAnswers
// or kDatabaseSilent, and counts neither as a failure nor as a success of its
// address, so that a load balancer's probes never slow down an operator. The
// answer comes from the server's LivenessProbe, and the question holds the
// places of a handshake until it is answered.
#include "platform/net/SocketChannel.h"
#include "server/AnswerBudget.h"
#include "server/ConnectionBudget.h"
#include "server/Credentials.h"
#include "server/LiveUpdates.h"
#include "server/LivenessProbe.h"
#include "server/LogThrottle.h"
#include "server/ModuleRegistry.h"
#include "server/ServerOptions.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class ServerSession {
public:
    static constexpr const char* kLivenessQuestion = "?liveness";
    static constexpr const char* kLivenessCode = "srv.vivo";
    static constexpr const char* kDatabaseAnswers = "database";
    static constexpr const char* kDatabaseSilent = "no-database";

    // The credentials in force now (null: the shared secret alone, every
    // branch), asked when a handshake arrives, not when its connection was
    // accepted, so that a reload in between counts.
    using CredentialsNow = std::function<std::shared_ptr<const Credentials>()>;
    // Takes over the handshake place (ticket) the acceptor took for address.
    ServerSession(const ServerOptions& options, const ModuleRegistry& registry, ConnectionBudget& budget,
                  AnswerBudget& answers, std::string address, std::uint64_t ticket, CredentialsNow credentials = {},
                  LiveUpdates* live = nullptr, LivenessProbe* liveness = nullptr);

    // At most this often a session is sent an update; what comes meanwhile
    // is joined into the next.
    static constexpr std::chrono::milliseconds kUpdateInterval{50};
    ~ServerSession();

    // The channel on whose io_context the acceptor puts the new socket.
    SocketChannel& Channel() { return channel_; }

    // ended runs on the session's thread once it has ended and released its
    // places, so that whoever waits for descriptors can reap it at once.
    void Start(std::function<void()> ended = {});
    // Asks the session to end: a session waiting for a call is closed at
    // once, a running call is finished and answered first. Any thread.
    void Stop();
    void Join();
    bool Done() const { return done_; }
    // The ticket of the handshake place the session was given.
    std::uint64_t Ticket() const { return ticket_; }
    // The operator accepted in the handshake; empty before it or without one.
    std::string OperatorName();
    // Whether credentials still give the operator the secret and branches
    // the session was accepted with (true for a session of no operator).
    bool StillHolds(const Credentials& credentials);

    // Compares two secrets in a time that depends only on their lengths.
    static bool SecretsEqual(const std::string& a, const std::string& b);

private:
    void Run();
    // The handshake's checks: the protocol version, the operator or the shared
    // secret, the server object. A refusal comes back with its message; an
    // accepted operator is written into caller.
    Protocol::HelloReply CheckHello(const Protocol::Hello& hello, Caller& caller);
    // Waits for name's turn to have a secret checked (see ConnectionBudget);
    // false, with the refusal in reply, when it did not come in time. Throws
    // ESocketError when the try is no longer wanted.
    bool TakeTurn(const std::string& name, Protocol::HelloReply& reply);
    // Waits until the budget gives the session a secret check; false, with
    // the refusal in reply, when none came in time. Throws as TakeTurn.
    bool TakeCheck(Protocol::HelloReply& reply);
    // Takes a wait place for the handshake that arrived; false when the
    // network's share is taken.
    bool BeginWait();
    void EndWait();
    // Whether the try should go on waiting: the server is not stopping, its
    // wait place is still its own, and its peer has not left.
    bool StillWanted();
    bool Handshake();
    // The refusal when no connection place is left for the operator.
    Protocol::HelloReply RefusePlace(ConnectionBudget::TPlace place, const std::string& operatorName) const;
    // Answers a refused handshake after the delay for the network and name.
    void RefuseHandshake(const Protocol::HelloReply& reply, const std::string& name);
    // A warning about the peer's calls, within the session's and the
    // network's share of log lines.
    void Warn(const std::string& text);
    void EndHandshake();
    // Answers the liveness question: alive, and whether the database answers.
    void AnswerLiveness();
    // Gives back the handshake place or the connection place the session holds.
    void ReleasePlaces();
    // False when the pause ended early: the try is no longer wanted.
    bool Pause(std::chrono::milliseconds delay);
    void Serve();
    // Waits for the next call, sending the updates that come meanwhile.
    // False when woken to stop.
    void AwaitCall(std::chrono::steady_clock::time_point idleUntil);
    // Sends the updates waiting, when the interval since the last allows.
    void SendUpdates();
    void Send(const std::string& payload);
    // held tells how much room of the answer budget the call took, to give
    // back as its answer is sent.
    std::string Reply(const std::string& payload, size_t& held);
    // Whose share of the answer budget the session's answers take: its
    // operator's, or its network's without one.
    std::string holder_;
    // The last call's result, kept until its answer was sent.
    Protocol::CallReply answered_;

    const ServerOptions& options_;
    const ModuleRegistry& registry_;
    ConnectionBudget& budget_;
    AnswerBudget& answers_;
    const std::string address_;
    const std::string network_;
    const std::uint64_t ticket_;
    CredentialsNow credentialsNow_;
    std::shared_ptr<const Credentials> credentials_;
    // The entry the operator was accepted with (under nameMutex_).
    Credentials::Entry entry_;
    std::mutex nameMutex_;
    std::string operatorName_;
    LogThrottle warnings_{ConnectionBudget::kWarningInterval, ConnectionBudget::kWarningBurst};
    bool pending_ = true;
    bool placed_ = false;
    ConnectionBudget::Wait wait_;
    LivenessProbe* liveness_;
    SocketChannel channel_;
    LiveUpdates* live_;
    std::shared_ptr<LiveUpdates::Mailbox> mailbox_;
    std::chrono::steady_clock::time_point nextUpdate_{};
    // Who the session's changes are told as: the operator, or the address;
    // and the session among all servers' (Caller::origin).
    std::string who_;
    std::string origin_;
    std::unique_ptr<Database> db_;
    std::unique_ptr<RemoteModule> module_;
    std::string peer_;
    std::thread thread_;
    std::function<void()> ended_;
    std::atomic<bool> done_{false};
    std::atomic<bool> stopping_{false};
    std::atomic<bool> inCall_{false};
};
