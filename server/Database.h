#pragma once
// One connection to the application server's database, SQLite or PostgreSQL,
// used by one thread at a time. Texts cross this interface as UTF-8, as the
// database stores them. Statements use '?' placeholders for their parameters
// and never carry a value in their text.
//
// Failure behaviour: every operation throws EDatabaseError with the database's
// own message. A PostgreSQL connection that broke is opened again by the next
// Begin, so a database restart costs the calls in flight and nothing more.
#include "platform/core/Exception.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

using SqlValue = std::optional<std::string>;
using SqlRow = std::vector<SqlValue>;

// A statement that stopped itself because its own check failed (a statement
// sent ahead may guard its change by dividing by a count that must not be
// zero, or leave it to a foreign key); its transaction was rolled back.
class EDatabaseCheck : public EDatabaseError {
public:
    using EDatabaseError::EDatabaseError;
};

struct DatabaseOptions {
    // SQLite only: synchronous=FULL (true) or NORMAL (false) in WAL mode.
    bool fullSync = true;
    int busyTimeoutMs = 10000;
    int connectTimeoutSec = 5;
};

class Database {
public:
    virtual ~Database() = default;

    // A database location that starts with postgresql:// or postgres:// is a
    // PostgreSQL URL; anything else is a SQLite file path.
    static std::unique_ptr<Database> Open(const std::string& location, const DatabaseOptions& options);
    static bool IsPostgres(const std::string& location);

    // "SQLite" or "PostgreSQL", for logs.
    virtual std::string Kind() const = 0;

    // Statements without parameters (schema, pragmas); several may be given.
    // Inside an open transaction they run in it.
    virtual void ExecScript(const std::string& sql) = 0;
    virtual std::vector<SqlRow> Query(const std::string& sql, const std::vector<SqlValue>& params) = 0;
    // Returns the number of rows changed.
    virtual long long Execute(const std::string& sql, const std::vector<SqlValue>& params) = 0;

    // A statement of an open transaction whose answer the caller does not
    // need. A database reached over the network may hold it and send it with
    // the transaction's next statement or its commit, in one round trip; its
    // failure then surfaces there. Outside a transaction it runs at once.
    virtual void ExecuteLater(const std::string& sql, const std::vector<SqlValue>& params) { Execute(sql, params); }
    // Whether ExecuteLater holds statements back, so that a caller sending
    // several of them saves round trips.
    virtual bool HoldsStatements() const { return false; }

    // A transaction; write says that it will change data, which SQLite uses to
    // take its write lock at once instead of failing half-way.
    // A transaction that only reads may run each statement in a snapshot of
    // its own (each reading method makes one query).
    virtual void Begin(bool write) = 0;
    // Commit with no transaction open does nothing: a method may commit its
    // work itself, before the call's own commit.
    virtual void Commit() = 0;
    // Never throws: it runs while another error is on its way.
    virtual void Rollback() noexcept = 0;

    // The schema's version as the database keeps it; 0 when it keeps none.
    virtual int StoredVersion() = 0;
    // Inside a write transaction, which stores it with the schema's change.
    virtual void StoreVersion(int version) = 0;
    // Inside a write transaction: holds off other connections' schema
    // changes until it ends (SQLite's write lock does already).
    virtual void LockSchema() {}
    // Whether the database's own schema has the table, or the table the
    // column (names as the statements write them).
    virtual bool HasTable(const std::string& table) = 0;
    virtual bool HasColumn(const std::string& table, const std::string& column) = 0;

protected:
    // An unquoted name as both databases compare it.
    static std::string Lower(const std::string& name);
};
