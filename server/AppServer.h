#pragma once
// The application server: listens for clients and serves each connection on
// its own thread (see ServerSession), up to a limit; connections beyond it are
// refused in the handshake with a message, while the others keep working.
// Connections still in the handshake have a budget of their own (see
// ConnectionBudget); one beyond its network's share is refused as soon as it
// is accepted, and one beyond the budget in all closes the oldest handshake
// in progress. A session gives its descriptors back as soon as it ends.
//
// SIGHUP reads the credentials file again: the new operators are used from
// the next handshake on, and the sessions of operators removed or changed are
// ended; a file that cannot be used is logged with why, and the operators
// loaded before are kept.
//
// With a metrics address (ServerOptions::metricsPort), Start serves
// ServerMetrics there over HTTP, at /metrics, until the server is destroyed.
//
// Failure behaviour: Start throws EDatabaseError when the database cannot be
// opened or its schema created, ESocketError when the address or the metrics
// address cannot be bound or is no IP address, and EInvalidOperation when
// asked to listen on an address other than
// loopback without TLS or without a shared secret or credentials, when a TLS
// certificate or key, or the credentials file, cannot be used or may be read
// by others than their owner (naming the file and its mode), or when the open-file limit cannot be
// raised to what the connection limits need (see DescriptorLimit). Once
// running, the server never stops accepting: a failed accept (no descriptor
// left, no buffer space...) or a session that cannot be set up is logged at
// most once a second and accepting goes on after a short pause, or sooner,
// when a session ends and its descriptors are free again.
#include "platform/net/TlsContext.h"
#include "server/AnswerBudget.h"
#include "server/ChangeListener.h"
#include "server/ConnectionBudget.h"
#include "server/Credentials.h"
#include "server/LiveUpdates.h"
#include "server/LivenessProbe.h"
#include "server/LogThrottle.h"
#include "server/ModuleRegistry.h"
#include "server/ServerOptions.h"
#include "server/ServerSession.h"

#include <atomic>
#include <list>
#include <memory>
#include <mutex>
#include <string>

namespace prometheus {
class Exposer;
}

class AppServer {
public:
    AppServer(ServerOptions options, const ModuleRegistry& registry);
    ~AppServer();
    AppServer(const AppServer&) = delete;
    AppServer& operator=(const AppServer&) = delete;

    // Creates the schema when absent and binds the listening socket.
    void Start();
    // "HOST:PORT" actually bound (port 0 asks the system for a free one).
    std::string ListenAddress() const;
    int Port() const;
    // "HOST:PORT" the metrics are served on; empty when they are not.
    std::string MetricsAddress() const;

    // Accepts and serves until Stop; returns once every session has ended,
    // or once the stop time-out has passed: the sessions still in a call
    // then (one waiting for a database that does not answer) are left
    // running, counted by Abandoned, and the process must end at once
    // (std::_Exit) rather than destroy the server.
    void Run();
    size_t Abandoned() const { return abandoned_.size(); }
    // Thread-safe; also what SIGTERM and SIGINT do when HandleSignals was called.
    void Stop();
    // Also SIGHUP: ReloadCredentials.
    void HandleSignals();
    // Reads the credentials file again (see above); false when it could not
    // be used. Thread-safe.
    bool ReloadCredentials();

    int ActiveConnections();

private:
    // Sessions left running by a stop that timed out; never destroyed.
    std::list<std::unique_ptr<ServerSession>> abandoned_;
    // The io_context, the acceptor and the signal set; Asio stays in the .cpp.
    struct Io;

    // A connection just accepted: its socket, its peer and the peer's address.
    struct Accepted;

    // Starts serving the metrics when an address is given for them.
    void ServeMetrics();
    void Accept();
    // Serves one accepted connection: refused over the handshake budget, or
    // given a session; then accepts again.
    void Serve(Accepted& accepted);
    void RefuseOverBudget(Accepted& accepted);
    // False when the session could not be set up and the connection was dropped.
    bool StartSession(Accepted& accepted);
    // Accepts again after a pause, when an accept failed, or as soon as a
    // session ends and gives its descriptors back.
    void AcceptLater();
    // From a session's thread: the session has ended.
    void SessionEnded();
    void Reap();
    void WaitForSignal();
    // The credentials in use now; sessions keep those they started with.
    std::shared_ptr<const Credentials> CurrentCredentials();

    ServerOptions options_;
    const ModuleRegistry& registry_;
    std::shared_ptr<TlsContext> tls_;
    std::mutex credentialsMutex_;
    std::shared_ptr<const Credentials> credentials_;
    std::unique_ptr<Io> io_;
    std::mutex mutex_;
    std::list<std::unique_ptr<ServerSession>> sessions_;
    std::atomic<bool> stopped_{false};
    ConnectionBudget budget_;
    AnswerBudget answers_;
    // What sessions store, told to the sessions that read the same client.
    LiveUpdates live_;
    // The liveness question's answer, one probe of the database at a time.
    LivenessProbe liveness_;
    // Hears the other servers' announcements on a database shared with them.
    std::unique_ptr<ChangeListener> listener_;
    // Serves the metrics on their own address, on threads of its own.
    std::unique_ptr<prometheus::Exposer> metrics_;
    LogThrottle acceptLog_{std::chrono::seconds(1)};
    // Refusals being written at the acceptor; beyond a few, a connection over
    // the handshake budget is closed without an answer.
    int refusing_ = 0;
    // Accepting waits for the pause timer (loop thread only).
    bool paused_ = false;
};
