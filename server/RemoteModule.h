#pragma once
// A remote data module: the object that a client names in its handshake, with
// the methods it may call. Each connection gets its own instance, bound to
// that connection's database.
//
// Dispatch checks a call against the method's declaration: the name (without
// regard to case, as late-bound names are), then the argument types of the
// descriptor. Each method runs in its own transaction, committed when it
// returns and rolled back when it throws.
//
// Failure behaviour: Dispatch never throws for a bad call or a failed method;
// it answers a fault whose message says what went wrong, and the database is
// left as it was before the call. The fault is a refusal (sending the call
// again cannot help) for an unknown method, a wrong descriptor, and a method
// that raised ERemoteRefusal; any other failure may be retried.
#include "platform/core/Variant.h"
#include "platform/net/Protocol.h"
#include "server/Database.h"

#include <functional>
#include <string>
#include <vector>

struct MethodDecl {
    std::string name;
    std::vector<TArgType> args;
    // Whether the method changes data (it then takes the write lock at once).
    bool writes = false;
    // Runs the method; by-reference arguments may be changed in place.
    std::function<Variant(std::vector<Variant>& args)> run;
};

class RemoteModule {
public:
    RemoteModule(std::string serverName, Database* db) : serverName_(std::move(serverName)), db_(db) {}
    virtual ~RemoteModule() = default;

    const std::string& ServerName() const { return serverName_; }
    const std::vector<MethodDecl>& Methods() const { return methods_; }

    Protocol::CallReply Dispatch(const Protocol::Call& call);

protected:
    void AddMethod(MethodDecl method) { methods_.push_back(std::move(method)); }
    Database& Db() { return *db_; }

private:
    const MethodDecl* Find(const std::string& name) const;

    std::string serverName_;
    Database* db_;
    std::vector<MethodDecl> methods_;
};
