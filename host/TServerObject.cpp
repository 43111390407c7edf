#include "host/TServerObject.h"

#include "host/TNetConnection.h"

Variant TServerObject::Call(const std::string& method, std::vector<RemoteArg>& args)
{
    return connection_.Invoke(method, args);
}
