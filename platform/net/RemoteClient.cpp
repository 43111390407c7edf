#include "platform/net/RemoteClient.h"

#include "platform/core/Exception.h"
#include "platform/net/CallTrace.h"
#include "platform/net/Protocol.h"
#include "platform/net/RemoteContract.h"
#include "platform/net/TlsContext.h"

void RemoteClient::Open(const std::string& host, int port, const std::string& serverName, const std::string& secret)
{
    // Credentials cross the network only inside TLS; a name is checked before
    // connecting when it is an address, and the address it led to after.
    const bool credentials = !secret.empty() || !operator_.empty();
    const std::string refusal = "refusing to send the secret to " + host +
                                " without TLS: name a CA file or a certificate fingerprint for this server";
    if (!tls_ && credentials && SocketChannel::IsRemoteAddress(host)) {
        throw ESocketError(refusal, TSocketCause::scCleartext);
    }
    channel_.SetTls(tls_);
    channel_.Connect(host, port, connectTimeout_);
    if (!tls_ && credentials && !channel_.PeerIsLoopback()) {
        channel_.Close();
        throw ESocketError(refusal, TSocketCause::scCleartext);
    }
    Protocol::HelloReply reply;
    try {
        Protocol::Hello hello;
        hello.serverName = serverName;
        hello.secret = secret;
        hello.operatorName = operator_;
        hello.flags = liveUpdates_ ? Protocol::kLiveUpdates : 0;
        channel_.WriteFrame(Protocol::EncodeHello(hello), connectTimeout_);
        reply = Protocol::DecodeHelloReply(channel_.ReadFrame(connectTimeout_, connectTimeout_, maxFrame_));
    } catch (const ESocketError& e) {
        channel_.Close();
        throw ESocketError(std::string("handshake: ") + e.what(), e.Cause());
    } catch (const EPacketError& e) {
        channel_.Close();
        throw ESocketError(std::string("the server does not speak this program's protocol (") + e.what() + ")",
                           TSocketCause::scProtocol);
    }
    if (!reply.accepted) {
        channel_.Close();
        throw ERemoteError(reply.message, reply.code, reply.args);
    }
    contract_ = RemoteContract::Find(serverName);
}

std::optional<RemoteClient::ViewKey> RemoteClient::Watches(const std::string& method,
                                                           const std::vector<RemoteArg>& args) const
{
    if (!contract_) {
        return std::nullopt;
    }
    return contract_->WatchedView(method, [&args](size_t i) { return i < args.size() ? &args[i].Value() : nullptr; });
}

void RemoteClient::DropShown(std::vector<Protocol::Update>& updates, const ViewKey& key)
{
    std::erase_if(updates, [&key](const Protocol::Update& u) {
        return u.Reload() || (u.branch == key.first && u.client == key.second);
    });
}

void RemoteClient::Close()
{
    channel_.Close();
}

bool RemoteClient::IsStale()
{
    if (!channel_.IsOpen()) {
        return false;
    }
    // Updates the server sent meanwhile are no sign of a stale connection.
    if (liveUpdates_) {
        try {
            ReadUpdates();
        } catch (const Exception&) {
            // Closed: opening again is safe, nothing was sent.
        }
        if (!channel_.IsOpen()) {
            return true;
        }
    }
    if (channel_.PeerGone()) {
        channel_.Close();
        return true;
    }
    return false;
}

Variant RemoteClient::Call(const std::string& method, std::vector<RemoteArg>& args)
{
    std::vector<TArgType> types;
    Protocol::Call call;
    for (const auto& a : args) {
        types.push_back(a.Type());
        call.args.push_back(a.Value());
    }
    call.descriptor = CallDescriptor(method, std::move(types));
    const std::string payload = Protocol::EncodeCall(call);
    if (!channel_.IsOpen()) {
        throw ESocketError("call of " + method + ": the connection is not open", TSocketCause::scClosed);
    }

    CallTrace::Notify(method, call.descriptor.Head(), call.args);

    Protocol::CallReply reply;
    try {
        channel_.WriteFrame(payload, callTimeout_);
        std::string answer = channel_.ReadFrame(callTimeout_, callTimeout_, maxFrame_);
        // Updates the server sent before the answer are kept for the caller.
        while (liveUpdates_ && Protocol::Kind(answer) == TMessageKind::mkUpdate) {
            Keep(Protocol::DecodeUpdate(answer));
            answer = channel_.ReadFrame(callTimeout_, callTimeout_, maxFrame_);
        }
        reply = Protocol::DecodeCallReply(answer, maxCells_);
    } catch (const ESocketError& e) {
        channel_.Close();
        throw ESocketError("call of " + method + ": " + e.what(), e.Cause());
    } catch (const EValueBudget& e) {
        channel_.Close();
        throw ESocketError("call of " + method + ": the answer holds more values than this client accepts (" +
                               e.what() + ")",
                           TSocketCause::scOversize);
    } catch (const EPacketError& e) {
        channel_.Close();
        throw ESocketError("call of " + method + ": the answer could not be read (" + e.what() + ")",
                           TSocketCause::scProtocol);
    }
    if (!reply.ok && reply.faultKind == TFaultKind::fkRefused) {
        throw ERemoteRefusal(reply.message, reply.faultEntry, reply.code, reply.args);
    }
    if (!reply.ok) {
        throw ERemoteError(reply.message, reply.code, reply.args);
    }
    for (const auto& [index, value] : reply.byRef) {
        if (index >= args.size() || args[index].Type() != TArgType::atVariantByRef) {
            channel_.Close();
            throw ESocketError("call of " + method + ": the answer changed argument " + std::to_string(index + 1) +
                               ", which is not passed by reference");
        }
    }
    for (auto& [index, value] : reply.byRef) {
        args[index].SetValue(std::move(value));
    }
    if (const auto key = Watches(method, args)) {
        DropShown(updates_, *key);
    }
    return reply.result;
}

void RemoteClient::Keep(Protocol::Update update)
{
    // A client that does not take its updates keeps a bounded few: beyond
    // them it is told to read everything again.
    if (updates_.size() >= kMaxKeptUpdates) {
        updates_.clear();
        update = Protocol::Update{};
    }
    updates_.push_back(std::move(update));
}

void RemoteClient::ReadUpdates()
{
    try {
        while (channel_.IsOpen() && channel_.Readable()) {
            const std::string frame = channel_.ReadFrameWithin(callTimeout_, maxFrame_);
            if (Protocol::Kind(frame) != TMessageKind::mkUpdate) {
                throw EPacketError("a message of kind " + std::to_string(static_cast<int>(Protocol::Kind(frame))) +
                                   " that no call asked for");
            }
            Keep(Protocol::DecodeUpdate(frame));
        }
    } catch (const EPacketError& e) {
        channel_.Close();
        throw ESocketError(std::string("the server sent what this program cannot read (") + e.what() + ")",
                           TSocketCause::scProtocol);
    } catch (const ESocketError&) {
        channel_.Close();
        throw;
    }
}

std::vector<Protocol::Update> RemoteClient::TakeUpdates()
{
    if (liveUpdates_ && channel_.IsOpen()) {
        ReadUpdates();
    }
    return std::exchange(updates_, {});
}
