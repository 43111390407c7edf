#include "server/HealthCheck.h"

#include "platform/core/Cp1252.h"
#include "platform/core/Exception.h"
#include "platform/net/RemoteClient.h"
#include "platform/net/TlsContext.h"
#include "server/RdmServCliente.h"
#include "server/ServerSession.h"

namespace {

std::string AddressText(const std::string& host, int port)
{
    return (host.find(':') != std::string::npos ? "[" + host + "]" : host) + ":" + std::to_string(port);
}

long MsSince(std::chrono::steady_clock::time_point start)
{
    return static_cast<long>(
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count());
}

// Both probes give the connection and every call the check's time-out.
// A server that speaks TLS closes a plain connection in its handshake
// without a word: say what that usually means.
std::string TlsHint(bool plain, const ESocketError& e)
{
    if (!plain || e.Cause() != TSocketCause::scClosed) {
        return {};
    }
    return "; the server seems to speak TLS: give the check its CA file (--tls-ca-file) or its certificate's "
           "fingerprint (--tls-fingerprint)";
}

void Prepare(RemoteClient& client, std::chrono::milliseconds timeout, std::shared_ptr<TlsContext> tls)
{
    client.SetConnectTimeout(timeout);
    client.SetCallTimeout(timeout);
    client.SetTls(std::move(tls));
}

} // namespace

bool HealthCheck::ParseAddress(const std::string& text, std::string& host, int& port, int lowestPort)
{
    const auto colon = text.rfind(':');
    if (colon == std::string::npos || colon == 0 || colon + 1 == text.size()) {
        return false;
    }
    host = text.substr(0, colon);
    if (host.size() >= 2 && host.front() == '[' && host.back() == ']') {
        host = host.substr(1, host.size() - 2);
    }
    const std::string digits = text.substr(colon + 1);
    if (host.empty() || digits.size() > 5 || digits.find_first_not_of("0123456789") != std::string::npos) {
        return false;
    }
    port = std::stoi(digits);
    return port >= lowestPort && port <= 65535;
}

HealthCheck::Result HealthCheck::Run(const std::string& host, int port, const std::string& secret,
                                     std::chrono::milliseconds timeout, std::shared_ptr<TlsContext> tls,
                                     const std::string& operatorName)
{
    const std::string address = AddressText(host, port);
    const auto start = std::chrono::steady_clock::now();
    Result result;
    const bool plain = tls == nullptr;
    try {
        RemoteClient client;
        Prepare(client, timeout, std::move(tls));
        client.SetOperator(operatorName);
        client.Open(host, port, RdmServCliente::kServerName, secret);
        std::vector<RemoteArg> args = {RemoteArg::Text(""), RemoteArg::Text("")};
        const Variant answer = client.Call(ServClienteContract::kServices, args);
        client.Close();
        if (answer.GetKind() != Variant::Kind::Packet) {
            result.message = address + ": " + std::string(ServClienteContract::kServices) +
                             " did not answer a data packet; is this the service-per-client "
                             "application server?";
            return result;
        }
        result.ok = true;
        result.message = address + ": the application server answered in " + std::to_string(MsSince(start)) + " ms";
    } catch (const ERemoteError& e) {
        result.message = address + ": the application server said: " + Cp1252::ToUtf8Lossy(e.what());
    } catch (const ESocketError& e) {
        result.message = address + ": " + Cp1252::ToUtf8Lossy(e.what()) + TlsHint(plain, e);
    } catch (const std::exception& e) {
        result.message = address + ": " + Cp1252::ToUtf8Lossy(e.what());
    }
    return result;
}

HealthCheck::Result HealthCheck::Liveness(const std::string& host, int port, std::chrono::milliseconds timeout,
                                          std::shared_ptr<TlsContext> tls)
{
    const std::string address = AddressText(host, port);
    const auto start = std::chrono::steady_clock::now();
    Result result;
    const bool plain = tls == nullptr;
    try {
        RemoteClient client;
        Prepare(client, timeout, std::move(tls));
        client.Open(host, port, ServerSession::kLivenessQuestion, "");
        client.Close();
        result.message = address + ": the server took the liveness question for a handshake; is this an application "
                                   "server of this version?";
    } catch (const ERemoteError& e) {
        if (e.Code() != ServerSession::kLivenessCode || e.Args().size() != 1) {
            result.message = address + ": the application server said: " + Cp1252::ToUtf8Lossy(e.what());
        } else if (e.Args()[0] == ServerSession::kDatabaseAnswers) {
            result.ok = true;
            result.message = address + ": the application server is alive and its database answers (" +
                             std::to_string(MsSince(start)) + " ms)";
        } else {
            result.message = address + ": the application server is alive but its database does not answer (its "
                                       "log says why)";
        }
    } catch (const ESocketError& e) {
        result.message = address + ": " + Cp1252::ToUtf8Lossy(e.what()) + TlsHint(plain, e);
    } catch (const std::exception& e) {
        result.message = address + ": " + Cp1252::ToUtf8Lossy(e.what());
    }
    return result;
}
