#include "platform/net/RemoteClient.h"

#include "platform/core/Exception.h"
#include "platform/net/CallTrace.h"
#include "platform/net/Protocol.h"
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
        reply = Protocol::DecodeCallReply(channel_.ReadFrame(callTimeout_, callTimeout_, maxFrame_), maxCells_);
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
    return reply.result;
}
