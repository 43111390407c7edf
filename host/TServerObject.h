#pragma once
// The application server's late-bound dispatch object, as a TNetConnection
// hands it out: remote methods are called on it by name.
#include "platform/core/Variant.h"
#include "platform/net/RemoteArg.h"

#include <string>
#include <vector>

class TNetConnection;

class TServerObject {
public:
    explicit TServerObject(TNetConnection& connection) : connection_(connection) {}

    // Calls method on the server with args in order; by-reference arguments
    // may come back changed. Opens the connection first when it is closed.
    // Failure behaviour: see TNetConnection::Invoke; a call that the
    // contract of the connection's module (RemoteContract) does not declare,
    // by name or argument kinds, raises ERemoteRefusal and sends nothing.
    Variant Call(const std::string& method, std::vector<RemoteArg>& args);

private:
    TNetConnection& connection_;
};
