#pragma once
// The client end of a remote-call connection: connects, names the server
// object in the handshake, and makes synchronous late-bound calls by name.
//
// Failure behaviour:
// - Open throws ESocketError when the server cannot be reached, does not
//   answer the handshake in time, or speaks another protocol, and ERemoteError
//   with the server's message when the server refuses the handshake (unknown
//   server object, wrong secret, too many connections). Over TLS it throws
//   ESocketError when the server's certificate fails the CA file or the
//   pinned fingerprint. Without TLS it refuses (ESocketError, before sending
//   anything) to present a secret or an operator to an address outside
//   loopback.
// - Call throws ERemoteError with the server's message when the method failed
//   on the server, ERemoteRefusal when the server refused it for good; the
//   connection stays open. It throws ESocketError when the
//   connection failed during the call (no answer within the call time-out,
//   closed, reset, garbled, or an answer over the value budget, whose cause
//   is scOversize); the connection is then closed, and whether the
//   server ran the call is unknown. A call is never sent twice.
// - Every message names the method.
#include "platform/core/Variant.h"
#include "platform/net/Protocol.h"
#include "platform/net/RemoteArg.h"
#include "platform/net/SocketChannel.h"

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class RemoteContract;

class RemoteClient {
public:
    using Duration = std::chrono::milliseconds;

    RemoteClient() = default;

    Duration ConnectTimeout() const { return connectTimeout_; }
    void SetConnectTimeout(Duration value) { connectTimeout_ = value; }
    // How long a call may wait for its answer.
    Duration CallTimeout() const { return callTimeout_; }
    void SetCallTimeout(Duration value) { callTimeout_ = value; }
    size_t MaxFrame() const { return maxFrame_; }
    void SetMaxFrame(size_t value) { maxFrame_ = value; }
    // Values (rows times fields, and one for each row) the data packets of
    // one answer may hold once decoded: the frame bound alone lets a hostile
    // server's answer of nils take forty times its size.
    size_t MaxCells() const { return maxCells_; }
    void SetMaxCells(size_t value) { maxCells_ = value; }

    // TLS for the next Open (nullptr: plain TCP).
    void SetTls(std::shared_ptr<TlsContext> context) { tls_ = std::move(context); }
    // The operator named in the next handshake (empty: none).
    void SetOperator(const std::string& name) { operator_ = name; }
    // Asks the server, in the next handshake, for live updates: what other
    // sessions store of the branch and client this session last read.
    void SetLiveUpdates(bool value) { liveUpdates_ = value; }
    bool LiveUpdates() const { return liveUpdates_; }

    // The updates the server sent since the last take, those that came
    // before a call's answer and those waiting on the connection now (read
    // without waiting). A connection that fails or sends anything else is
    // closed and ESocketError raised.
    std::vector<Protocol::Update> TakeUpdates();

    // The branch and client a call of the method that live updates follow
    // names (see ContractLiveUpdate), in the call's Windows-1252; nothing for
    // any other call, or before Open.
    using ViewKey = std::pair<std::string, std::string>;
    std::optional<ViewKey> Watches(const std::string& method, const std::vector<RemoteArg>& args) const;
    // Drops the updates that a successful watching call of key made stale:
    // those about key and those asking to read everything, all of them sent
    // before its answer and so shown in it.
    static void DropShown(std::vector<Protocol::Update>& updates, const ViewKey& key);

    void Open(const std::string& host, int port, const std::string& serverName, const std::string& secret);
    void Close();
    bool IsOpen() const { return channel_.IsOpen(); }
    // True when the connection is open but the server has closed its end (it
    // stopped, restarted or timed the connection out) while no call was
    // running; nothing was sent, so opening again is safe.
    bool IsStale();

    // Calls method with args; by-reference arguments that the server sends
    // back are updated in args.
    Variant Call(const std::string& method, std::vector<RemoteArg>& args);

private:
    static constexpr size_t kMaxKeptUpdates = 64;
    const RemoteContract* contract_ = nullptr;
    void Keep(Protocol::Update update);
    // Reads the updates waiting on the connection, without waiting.
    void ReadUpdates();

    SocketChannel channel_;
    bool liveUpdates_ = false;
    std::vector<Protocol::Update> updates_;
    std::shared_ptr<TlsContext> tls_;
    std::string operator_;
    Duration connectTimeout_{std::chrono::seconds(5)};
    Duration callTimeout_{std::chrono::seconds(15)};
    size_t maxFrame_ = 8u * 1024u * 1024u;
    size_t maxCells_ = 1000000;
};
