#include "host/TServerObject.h"

#include "host/HostMessages.h"
#include "host/TNetConnection.h"
#include "platform/core/Exception.h"
#include "platform/net/RemoteContract.h"

Variant TServerObject::Call(const std::string& method, std::vector<RemoteArg>& args)
{
    // A call its module's contract does not declare would be refused for good
    // by the server: it is refused here, with the server's words, before
    // anything is sent.
    if (const RemoteContract* contract = RemoteContract::Find(connection_.ServerName())) {
        std::vector<TArgType> kinds;
        for (const auto& a : args) {
            kinds.push_back(a.Type());
        }
        try {
            contract->CheckCall(method, kinds);
        } catch (const ERemoteRefusal& e) {
            const std::string text = HostMessages::Has(e.Code()) ? HostMessages::Text(e.Code(), e.Args()) : e.what();
            throw ERemoteRefusal(text, 0, e.Code(), e.Args());
        }
    }
    return connection_.Invoke(method, args);
}
