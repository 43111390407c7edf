#include "host/TNetConnection.h"

#include "host/Session.h"

#include "platform/core/Cp1252.h"
#include "platform/core/Exception.h"
#include "platform/net/TlsContext.h"

TNetConnection::TNetConnection(TComponent* AOwner) : TComponent(AOwner) {}

TNetConnection::~TNetConnection()
{
    client_.Close();
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
    openHost_ = host_;
    openPort_ = port_;
    if (serverName_.empty()) {
        throw ESocketError(Cp1252::FromUtf8("Não foi possível conectar ao servidor de aplicação em ") + Where() +
                           ": ServerName is not set");
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
        client_.Open(host_, port_, serverName_, secret_.empty() ? Session::Current().Secret() : secret_);
    } catch (const ESocketError& e) {
        throw ESocketError(Cp1252::FromUtf8("Não foi possível conectar ao servidor de aplicação em ") + Where() +
                           ": " + e.what());
    } catch (const ERemoteError& e) {
        throw ERemoteError(Cp1252::FromUtf8("O servidor de aplicação em ") + Where() +
                           Cp1252::FromUtf8(" recusou a conexão: ") + e.what());
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
        return client_.Call(method, args);
    } catch (const ESocketError& e) {
        throw ESocketError(Cp1252::FromUtf8("A chamada de ") + method + Cp1252::FromUtf8(" ao servidor de aplicação em ") +
                           Where() + Cp1252::FromUtf8(" falhou: ") + e.what());
    }
}

#include "platform/model/ClassRegistration.h"

namespace {
const ClassRegistration<TNetConnection> netConnectionClass(
    "TNetConnection", "TComponent", [](ClassBuilder<TNetConnection>& c) {
        c.RegisterProperty("ServerName", &TNetConnection::ServerName, &TNetConnection::SetServerName);
        c.RegisterProperty("ThrowException", &TNetConnection::ThrowException, &TNetConnection::SetThrowException);
        c.RegisterProperty("Host", &TNetConnection::Host, &TNetConnection::SetHost);
        c.RegisterIntegerProperty("Port", &TNetConnection::Port, &TNetConnection::SetPort, 0, 65535);
        c.RegisterEvent<TNotifyEvent>("OnBeforeConnect", &TNetConnection::SetOnBeforeConnect);
    });
} // namespace
