#pragma once
// A remote data module: the object that a client names in its handshake, with
// the methods it may call. Each connection gets its own instance, bound to
// that connection's database.
//
// Dispatch checks a call against the method's declaration: the name (without
// regard to case, as late-bound names are), then the argument types of the
// descriptor, as the module's contract (RemoteContract) declares them. Each
// method runs in its own transaction, committed when it returns and rolled
// back when it throws; before it runs, Dispatch has the module check the
// caller's right to the branch (CheckAccess) of every method whose
// declaration names a branch argument, so no method can do without it.
//
// Failure behaviour: Dispatch never throws for a bad call or a failed method;
// it answers a fault whose message says what went wrong, and the database is
// left as it was before the call. The fault is a refusal (sending the call
// again cannot help) for an unknown method, a wrong descriptor, and a method
// that raised ERemoteRefusal; any other failure may be retried.
#include "platform/core/Variant.h"
#include "platform/net/Protocol.h"
#include "platform/net/RemoteContract.h"
#include "server/Database.h"

#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

struct MethodDecl {
    // Its name, argument kinds, whether it changes data (it then takes the
    // write lock at once) and which arguments name the branch and client.
    const ContractMethod* declaration = nullptr;
    // Runs the method; by-reference arguments may be changed in place.
    std::function<Variant(std::vector<Variant>& args)> run;
    // Whether the call's own transaction takes the write lock at once: as
    // declared, unless the module writes elsewhere (on a shared connection).
    bool writeLock = false;
};

class RemoteModule {
public:
    RemoteModule(const RemoteContract& contract, Database* db) : contract_(contract), db_(db) {}
    virtual ~RemoteModule() = default;

    const std::string& ServerName() const { return contract_.ServerName(); }
    const std::vector<MethodDecl>& Methods() const { return methods_; }

    Protocol::CallReply Dispatch(const Protocol::Call& call);
    // Whether the method is declared to answer a data set (whose size may
    // reach the answer bound), without regard to case; false for a method
    // not declared.
    bool AnswersDataSet(const std::string& method) const;

    // What a session's live updates follow: the branch and client (in the
    // database's form) that a call of the contract's watching method named,
    // or nothing for any other call (or one whose texts cannot be read).
    using ViewKey = std::pair<std::string, std::string>;
    std::optional<ViewKey> Watched(const Protocol::Call& call) const;
    // What the last call stored, by branch and client, taken once; the caller
    // tells the others only once the call's commit is done.
    struct Stored {
        ViewKey key;
        std::vector<std::pair<TUpdateStatus, std::string>> changes;
        // Not listed: every service of the client may have changed.
        bool reread = false;
    };
    virtual std::vector<Stored> TakeStored() { return {}; }

protected:
    // The contract's method of that name, run by run. Throws std::logic_error
    // for a name the contract does not declare. A method declared as writing
    // whose writes go through another connection passes writeLock false, so
    // that its own transaction does not hold the write lock meanwhile.
    void AddMethod(const std::string& name, std::function<Variant(std::vector<Variant>& args)> run,
                   bool writeLock = true);
    // Refuses (ERemoteRefusal) a caller who may not touch the branch, or a
    // branch or client argument that is no key; client is null for a method
    // that names none. The default refuses every call.
    virtual void CheckAccess(const ContractMethod& method, const std::string& branch, const std::string* client);
    Database& Db() { return *db_; }

private:
    const MethodDecl* Find(const std::string& name) const;

    const RemoteContract& contract_;
    Database* db_;
    std::vector<MethodDecl> methods_;
};
