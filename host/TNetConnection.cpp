#include "host/TNetConnection.h"

#include "host/HostMessages.h"
#include "host/ServerAddress.h"
#include "host/Session.h"
#include "platform/core/Cp1252.h"
#include "platform/core/Exception.h"
#include "platform/model/ClassRegistration.h"
#include "platform/net/TlsContext.h"

#include <algorithm>
#include <iostream>
#include <optional>

namespace {
const ClassRegistration<TNetConnection>
    netConnectionClass("TNetConnection", "TComponent", [](ClassBuilder<TNetConnection>& c) {
        c.RegisterProperty("ServerName", &TNetConnection::ServerName, &TNetConnection::SetServerName);
        c.RegisterProperty("ThrowException", &TNetConnection::ThrowException, &TNetConnection::SetThrowException);
        c.RegisterProperty("Host", &TNetConnection::Host, &TNetConnection::SetHost);
        c.RegisterIntegerProperty("Port", &TNetConnection::Port, &TNetConnection::SetPort, 0, 65535);
        c.RegisterEvent<TNotifyEvent>("OnBeforeConnect", &TNetConnection::SetOnBeforeConnect);
        c.RegisterProperty("LiveUpdates", &TNetConnection::LiveUpdates, &TNetConnection::SetLiveUpdates);
        c.RegisterEvent<TNotifyEvent>("OnUpdate", &TNetConnection::SetOnUpdate);
    });

// The operator reads the cause in a few words of their language; the
// technical detail goes to the shell's log.
std::string CauseText(const ESocketError& e)
{
    std::cerr << "shell: " << Cp1252::ToUtf8Lossy(e.what()) << "\n";
    switch (e.Cause()) {
    case TSocketCause::scRefused: return HostMessages::Text("causa.recusada");
    case TSocketCause::scTimedOut: return HostMessages::Text("causa.tempo");
    case TSocketCause::scReset: return HostMessages::Text("causa.reiniciada");
    case TSocketCause::scClosed: return HostMessages::Text("causa.fechada");
    case TSocketCause::scNameNotFound: return HostMessages::Text("causa.nome");
    case TSocketCause::scProtocol: return HostMessages::Text("causa.protocolo");
    case TSocketCause::scCertificate: return HostMessages::Text("causa.certificado");
    case TSocketCause::scCleartext: return HostMessages::Text("causa.sem_tls");
    case TSocketCause::scOversize: return HostMessages::Text("causa.resposta_grande");
    case TSocketCause::scOther: break;
    }
    return HostMessages::Text("causa.outra");
}

// The server's fault in the operator's language when the server named it;
// otherwise the server's own text.
std::string ServerText(const ERemoteError& e)
{
    if (!e.Code().empty() && HostMessages::Has(e.Code())) {
        std::cerr << "shell: " << Cp1252::ToUtf8Lossy(e.what()) << "\n";
        return HostMessages::Text(e.Code(), e.Args());
    }
    return e.what();
}

// The same fault, said for the operator, keeping its kind.
[[noreturn]] void RethrowForOperator(const ERemoteError& e, const std::string& text)
{
    if (const auto* refusal = dynamic_cast<const ERemoteRefusal*>(&e)) {
        throw ERemoteRefusal(text, refusal->Entry(), e.Code(), e.Args());
    }
    throw ERemoteError(text, e.Code(), e.Args());
}

} // namespace

namespace {
// The connections that exist, for DeliverUpdates; the user-interface thread's.
std::vector<TNetConnection*>& Connections()
{
    static std::vector<TNetConnection*> all;
    return all;
}
int delivered = 0;
} // namespace

TNetConnection::TNetConnection(TComponent* AOwner) : TComponent(AOwner)
{
    Connections().push_back(this);
}

TNetConnection::~TNetConnection()
{
    std::erase(Connections(), this);
    client_.Close();
}

void TNetConnection::GatherUpdates()
{
    if (!client_.LiveUpdates()) {
        return;
    }
    try {
        for (auto& update : client_.TakeUpdates()) {
            updates_.push_back(std::move(update));
        }
    } catch (const ESocketError& e) {
        // The connection is gone; the next call opens it again, and the
        // command that makes it reads its views anew.
        std::cerr << "shell: " << Cp1252::ToUtf8Lossy(e.what()) << "\n";
    }
}

void TNetConnection::DeliverUpdates()
{
    for (TNetConnection* connection : std::vector<TNetConnection*>(Connections())) {
        if (!connection->client_.IsOpen() && connection->updates_.empty()) {
            continue;
        }
        connection->GatherUpdates();
        if (!connection->updates_.empty() && connection->onUpdate_) {
            const int takes = connection->takes_;
            connection->onUpdate_(connection);
            if (connection->takes_ != takes) {
                ++delivered;
            }
        }
    }
}

bool TNetConnection::HoldsReload() const
{
    return std::any_of(updates_.begin(), updates_.end(), [](const Protocol::Update& u) { return u.Reload(); });
}

int TNetConnection::Delivered()
{
    return delivered;
}

int TNetConnection::ConnectTimeoutMs() const
{
    return static_cast<int>(client_.ConnectTimeout().count());
}

void TNetConnection::SetConnectTimeoutMs(int value)
{
    client_.SetConnectTimeout(std::chrono::milliseconds(value));
}

int TNetConnection::CallTimeoutMs() const
{
    return static_cast<int>(client_.CallTimeout().count());
}

void TNetConnection::SetCallTimeoutMs(int value)
{
    client_.SetCallTimeout(std::chrono::milliseconds(value));
}

std::string TNetConnection::Where() const
{
    return openHost_ + ":" + std::to_string(openPort_);
}

void TNetConnection::DoOpen()
{
    if (onBeforeConnect_) {
        onBeforeConnect_(this);
    }
    std::vector<ServerAddress> servers;
    try {
        servers = ServerAddress::Parse(host_, port_);
    } catch (const EConvertError& e) {
        openHost_ = host_;
        openPort_ = port_;
        throw ESocketError(HostMessages::Text("con.conectar", {Where(), e.what()}));
    }
    const std::string list = host_ + "|" + std::to_string(port_);
    if (list != serverList_) {
        serverList_ = list;
        current_ = 0;
    }
    serverCount_ = servers.size();
    std::optional<ESocketError> first;
    for (size_t i = 0; i < servers.size(); ++i) {
        const size_t at = (current_ + i) % servers.size();
        openHost_ = servers[at].host;
        openPort_ = servers[at].port;
        try {
            OpenOne();
            current_ = at;
            return;
        } catch (const ESocketError& e) {
            if (!first) {
                first = e;
            }
        }
    }
    throw *first;
}

void TNetConnection::OpenOne()
{
    if (serverName_.empty()) {
        throw ESocketError(HostMessages::Text("con.conectar", {Where(), "ServerName is not set"}));
    }
    try {
        // The operator and the server's certificate checks are the session's.
        const Session& session = Session::Current();
        client_.SetOperator(session.Operator());
        client_.SetTls(session.TlsCaFile().empty() && session.TlsFingerprint().empty()
                           ? nullptr
                           : TlsContext::ForClient(Cp1252::ToUtf8(session.TlsCaFile()), session.TlsFingerprint()));
        // The shared secret is the operator's session's unless one was set on
        // the component itself.
        client_.Open(openHost_, openPort_, serverName_, secret_.empty() ? session.Secret() : secret_);
    } catch (const ESocketError& e) {
        throw ESocketError(HostMessages::Text("con.conectar", {Where(), CauseText(e)}), e.Cause());
    } catch (const ERemoteError& e) {
        RethrowForOperator(e, HostMessages::Text("con.recusou", {Where(), ServerText(e)}));
    }
    lastError_.clear();
}

void TNetConnection::SetConnected(bool value)
{
    if (!value) {
        client_.Close();
        return;
    }
    if (client_.IsOpen()) {
        return;
    }
    try {
        DoOpen();
    } catch (const Exception& e) {
        if (throwException_) {
            throw;
        }
        lastError_ = e.what();
    }
}

Variant TNetConnection::Invoke(const std::string& method, std::vector<RemoteArg>& args)
{
    client_.IsStale();
    if (!client_.IsOpen()) {
        DoOpen();
    }
    try {
        Variant answer = client_.Call(method, args);
        // What came before the answer of a reading of the watched rows is
        // shown in it: applied after it, it would undo newer changes.
        if (const auto key = client_.Watches(method, args)) {
            RemoteClient::DropShown(updates_, *key);
        }
        GatherUpdates();
        return answer;
    } catch (const ESocketError& e) {
        // The server is lost: the next open starts with the next one.
        current_ = (current_ + 1) % serverCount_;
        throw ECallInDoubt(HostMessages::Text("con.chamada", {method, Where(), CauseText(e)}), e.Cause());
    } catch (const ERemoteError& e) {
        RethrowForOperator(e, ServerText(e));
    }
}
