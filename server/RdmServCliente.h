#pragma once
// The remote data module of the service-per-client screen, registered as
// "Zel.rdmServCliente". Its methods:
//
//   GetCliente(branch, number)    clients of the branch whose registration
//                                 number, digits only, equals the digits of
//                                 number; every client of the branch when
//                                 number is blank; ordered by name
//   GetServico(branch, client)    services of the branch not assigned to the
//                                 client, by code
//   GetServClie(branch, client)   services assigned to the client, with their
//                                 names, by code
//   DelTodos(branch, client)      removes every assignment of the client in
//                                 the branch; answers how many were removed
//   ApCoServClie(packet by ref)   applies a change packet of assignments in
//                                 one transaction, which the server may share
//                                 with other sessions' packets (GroupCommit);
//                                 answers how many entries it applied (0 for
//                                 Null)
//
// Failure behaviour: every failure raises, so it reaches the client as an
// error and never as a success-shaped answer: a text longer than its field, a
// stored text with no Windows-1252 form, a change packet without the key
// fields or naming a client or service that does not exist (the whole packet
// is then refused), or a database error. Applying is idempotent: inserting an
// assignment that exists, or deleting one that does not, is no error, so a
// packet sent again after a lost answer does no harm.
//
// The methods, their arguments and the data sets they answer are declared in
// ServClienteContract; the packets' fields and sizes come from there. This
// file holds the methods and access; the texts' conversions and checks are
// ServerText's, the reads of declared data sets DataSetReader's, the change
// packet's decoding ChangePacket's, and the writes with their audit rows
// AssignmentWriter's.
//
// Access: every method refuses for good (ERemoteRefusal) a branch the caller
// may not read or change, naming the operator and the branch: the argument
// the contract names (CheckAccess, which Dispatch runs before the method),
// and the CDFILIAL of every entry of a change packet (the whole packet is
// then refused). A key text (branch,
// client, service) holding a control character is refused for good before
// anything is written. Audit: every change that changed a row writes a row of
// AUDITORIA (see Schema) in the call's own transaction, so a write and its
// record are stored together or not at all; a change that changed nothing
// (sent again, repeated, an edit to the same service, DelTodos of a client
// without services) records nothing; an edit is recorded as the deletion of
// its old row and the insertion of its new one. A write refused for access is
// recorded as denied, in a transaction of its own.
#include "platform/net/ServClienteContract.h"
#include "server/AssignmentWriter.h"
#include "server/ChangePacket.h"
#include "server/GroupCommit.h"
#include "server/ModuleRegistry.h"
#include "server/RemoteModule.h"

#include <memory>
#include <string>
#include <vector>

class RdmServCliente : public RemoteModule {
public:
    static constexpr const char* kServerName = ServClienteContract::kServerName;

    // group, when given, joins the change packets of this server's sessions
    // into shared commits (see GroupCommit); without it each packet commits
    // on its own.
    explicit RdmServCliente(Database* db, Caller caller = {}, std::shared_ptr<GroupCommit> group = nullptr);

    static void Register(ModuleRegistry& registry);

    Variant GetCliente(const std::string& branch, const std::string& number);
    Variant GetServico(const std::string& branch, const std::string& client);
    Variant GetServClie(const std::string& branch, const std::string& client);
    Variant DelTodos(const std::string& branch, const std::string& client);
    Variant ApCoServClie(const Variant& packet);

    using Key = AssignmentKey;

    std::vector<Stored> TakeStored() override;

private:
    // The connection of the batch running this module's changes, or the
    // session's own.
    Database& Db() { return batch_ ? *batch_ : RemoteModule::Db(); }
    // Every change with its audit row and the commit in one round trip (see
    // AssignmentWriter::Hold). False when the engine has no audited
    // statements or a check failed (everything undone, a transaction open
    // again): the changes then go through AssignmentWriter::ApplyChecked.
    bool ApplyInOneTrip(const std::vector<AssignmentChange>& changes);
    // What the call stores, by branch and client, for TakeStored.
    void NoteStored(const std::vector<AssignmentChange>& changes);
    // Announces what the call stores, in its transaction on db, to every
    // server on the database (Database::Announce).
    void Announce(Database& db);
    // The branch and client arguments of a method: sizes and control
    // characters, then the branch's access (a write refused is recorded).
    void CheckAccess(const ContractMethod& method, const std::string& branch, const std::string* client) override;
    // branch in the database's form (UTF-8). write, for a write, is the key
    // recorded as denied when the branch is refused.
    void Authorize(const std::string& method, const std::string& branch, unsigned entry = 0,
                   const Key* write = nullptr);
    // Records a refused write in a transaction of its own, the call's being
    // rolled back.
    void RecordDenial(const std::string& method, const Key& key);

    Caller caller_;
    std::shared_ptr<GroupCommit> group_;
    AssignmentWriter writer_;
    Database* batch_ = nullptr;
    // What the running call stored, for TakeStored.
    std::vector<Stored> stored_;
};
