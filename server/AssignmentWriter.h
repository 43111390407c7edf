#pragma once
// Writing assignments (SERVCLIE) and their audit rows (AUDITORIA). A change
// that changed a row writes its audit row in the same transaction, so both
// are stored or neither; a change that changed nothing (sent again, repeated
// within its packet, an edit to the same service, the removal of every
// service of a client who has none) records nothing, and an edit is recorded
// as the deletion of its old row and the insertion of its new one. Writing is
// idempotent: an insert of an assignment that exists or a deletion of one
// that does not is no error, so a packet sent again after a lost answer does
// no harm.
//
// Statements take their parameters by name (SqlStatement): each binds the
// assignment's key and the audit row's columns by the names of the columns
// they fill.
#include "server/Caller.h"
#include "server/ChangePacket.h"
#include "server/Database.h"
#include "server/SqlStatement.h"

#include <optional>
#include <string>
#include <vector>

class AssignmentWriter {
public:
    explicit AssignmentWriter(const Caller& caller) : caller_(caller) {}

    // Now in UTC with microseconds, as audit rows take it: a text that sorts
    // as time does.
    static std::string AuditTime();
    // SERVCLIE's columns: the declared fields of the assigned services but
    // the service's name, which is SERVFILI's. An insert fills the key's and
    // the stamped ones (ContractField::stampedByServer).
    static const std::vector<std::string>& Columns();
    // The insert that stores an assignment when its client and service exist,
    // and changes nothing when it is stored already; every engine has it.
    static SqlStatement CheckedInsert(const Database& db);
    // An insert (or a deletion) of an assignment and its audit row as one
    // statement, sent ahead with others (Database::ChangeAndRecord); nothing
    // when the engine has no such form.
    static std::optional<SqlStatement> RecordedChange(const Database& db, bool insert);
    // The audit row of a change.
    static const SqlStatement& Record();
    // An insert's values by column name: the key, and the moment for the
    // stamped columns.
    static SqlStatement::Values InsertValues(const AssignmentKey& key);

    // Every change with its audit row, held back for the transaction's
    // commit, each checking its own client and service (EDatabaseCheck at
    // the commit when one is missing). False, holding nothing, when the
    // engine has no RecordedChange or a change is an
    // edit: the changes then go through ApplyChecked.
    bool Hold(Database& db, const std::string& method, const std::vector<AssignmentChange>& changes) const;
    // Change by change; refuses (ERemoteRefusal), naming its entry, the
    // earliest change whose client or service does not exist. The caller's
    // transaction undoes the rest then.
    void ApplyChecked(Database& db, const std::string& method, const std::vector<AssignmentChange>& changes);
    // Removes every assignment of the key's branch and client; answers how
    // many were removed.
    long long DeleteAll(Database& db, const std::string& method, const AssignmentKey& key);
    // Records an action on key that changed rows rows.
    void Audit(Database& db, const std::string& method, const AssignmentKey& key, const char* action,
               long long rows) const;

private:
    // The key's and the audit row's values by column name.
    SqlStatement::Values Values(const std::string& method, const AssignmentKey& key, const char* action,
                                long long rows) const;

    const Caller& caller_;
    // CheckedInsert and RecordedChange for the engine in use, made on first
    // use.
    std::optional<SqlStatement> insert_;
    // Record for the engine in use.
    mutable std::optional<SqlStatement> record_;
    mutable std::optional<std::pair<std::optional<SqlStatement>, std::optional<SqlStatement>>> recorded_;
};
