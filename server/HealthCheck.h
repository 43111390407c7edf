#pragma once
// Asks a running application server whether it serves: a handshake naming
// the screen's server object (with the shared secret, or an operator and
// their secret), then a call that reads the database (GetServico with an
// empty branch and client, which matches no row and answers an empty data
// packet). Liveness asks only whether the server is alive and its database
// answers, a question the server answers without any secret and without
// counting it against the address.
//
// Failure behaviour: Run never throws for what the server or the network
// does; every failure (refused, no answer in time, another protocol, a
// refused handshake, a database the server cannot reach or read) comes back
// as a one-line message in UTF-8 naming the address.
#include <chrono>
#include <memory>
#include <string>

class TlsContext;

class HealthCheck {
public:
    struct Result {
        bool ok = false;
        std::string message;
    };

    // "HOST:PORT" (IPv6 hosts in brackets) into host and port; false when
    // the text is not of that form or the port is not lowestPort to 65535.
    static bool ParseAddress(const std::string& text, std::string& host, int& port, int lowestPort = 1);

    // tls, when given, is the check of a server that speaks TLS (its CA or
    // its certificate's fingerprint); operatorName, when given, presents the
    // secret as that operator's.
    static Result Run(const std::string& host, int port, const std::string& secret, std::chrono::milliseconds timeout,
                      std::shared_ptr<TlsContext> tls = nullptr, const std::string& operatorName = {});
    static Result Liveness(const std::string& host, int port, std::chrono::milliseconds timeout,
                           std::shared_ptr<TlsContext> tls = nullptr);
};
