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

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

using SqlValue = std::optional<std::string>;
using SqlRow = std::vector<SqlValue>;

// Which database errors are refusals. A statement may guard its own change:
// it stops itself when a row it needs is missing, by a foreign key or by
// dividing by a count that must not be zero. Such a stop, and only it, is an
// EDatabaseCheck: sending the statement again cannot help, and its caller
// turns it into a refusal that names what is missing. Each engine maps its own
// codes to it in one place (PostgreSQL: SQLSTATE 23503 and 22012; SQLite: the
// extended code SQLITE_CONSTRAINT_FOREIGNKEY, SQLite's division by zero being
// no error). Every other failure (a lost connection, a lock time-out, a full
// disk) is an EDatabaseError that may pass when the call is sent again. The
// transaction of a failed statement is rolled back.
class EDatabaseCheck : public EDatabaseError {
public:
    using EDatabaseError::EDatabaseError;
};

// An operation this engine leaves to tools of its own (PostgreSQL's backup
// is pg_dump): the message says which.
class EDatabaseUnsupported : public EDatabaseError {
public:
    using EDatabaseError::EDatabaseError;
};

class ChangeListener;

struct DatabaseOptions {
    // SQLite only: synchronous=FULL (true) or NORMAL (false) in WAL mode.
    bool fullSync = true;
    int busyTimeoutMs = 10000;
    int connectTimeoutSec = 5;
    // PostgreSQL only: how long a statement waits for a row another
    // transaction holds before it fails (lock_timeout), so that one row held
    // from outside stops that change alone, for a while, not the server.
    int lockTimeoutMs = 5000;
    // PostgreSQL only: how long one statement may run (statement_timeout).
    int statementTimeoutMs = 30000;
};

class Database {
public:
    virtual ~Database() = default;

    // A database location that starts with postgresql:// or postgres:// is a
    // PostgreSQL URL; anything else is a SQLite file path. Which engine a
    // location names is decided here and nowhere else.
    static std::unique_ptr<Database> Open(const std::string& location, const DatabaseOptions& options);
    static bool IsPostgres(const std::string& location);
    // Whether the database at location is there to be opened (a database
    // reached over the network is taken to be: connecting tells).
    static bool Exists(const std::string& location);
    // Copies the database at location to the file to, private to its owner,
    // while other connections go on writing; returns the pages copied.
    // Throws EDatabaseUnsupported for an engine backed up by its own tools,
    // EDatabaseError when the copy fails.
    static long long Backup(const std::string& location, const std::string& to, const DatabaseOptions& options);

    // "SQLite" or "PostgreSQL", for logs.
    virtual std::string Kind() const = 0;
    // A new connection to the same database with the same options, for work
    // that wants one of its own; null where another connection is not worth
    // having (SQLite writes one at a time from any connection). Throws
    // EDatabaseError when it cannot connect.
    virtual std::unique_ptr<Database> OpenAnother() const { return nullptr; }

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
    // One statement that runs change (an INSERT or DELETE of one row) and,
    // only when it changed a row, record (an INSERT ... SELECT without FROM);
    // when it changed none and guard (a count) is given and zero, it stops
    // itself with EDatabaseCheck. Empty when the engine has no such form (it
    // saves nothing where every statement runs in this process): the caller
    // then runs them one by one.
    virtual std::string ChangeAndRecord(const std::string& /*change*/, const std::string& /*record*/,
                                        const std::string& /*guard*/) const
    {
        return {};
    }
    // The moment a statement runs, as an expression of the engine's SQL
    // giving the text AssignmentWriter::AuditTime gives; empty when the
    // program's clock, bound as a value, is as good (one process writes).
    virtual std::string TimeOfExecution() const { return {}; }
    // insert (an INSERT statement) made to leave a row whose key is taken as
    // it was, changing nothing, instead of failing.
    virtual std::string IgnoringDuplicates(const std::string& insert) const
    {
        return insert + " ON CONFLICT DO NOTHING";
    }
    // Tells every application server on the database text, once the open
    // transaction commits (and never if it does not). An engine that only one
    // server uses at a time tells nobody: its server tells its own sessions.
    virtual void Announce(const std::string& /*text*/) {}
    virtual bool AnnouncesToOtherServers() const { return false; }
    // Listens, on a connection of its own, for what the servers on the
    // database at location announce: heard runs with each text, resumed once
    // a lost connection is made again (texts may have been missed). Null for
    // an engine that announces nothing.
    static std::unique_ptr<ChangeListener>
    Listen(const std::string& location, std::function<void(const std::string&)> heard, std::function<void()> resumed);

    // An INSERT of columns into table ('?' for each, in order) that updates
    // the other columns of a row whose keys are stored already.
    virtual std::string Upserting(const std::string& table, const std::vector<std::string>& columns,
                                  const std::vector<std::string>& keys) const;

    // How many connections to the database may write at once to some gain
    // (SQLite writes one at a time).
    virtual size_t WritersAtOnce() const { return static_cast<size_t>(-1); }

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

    // Inside a write transaction: runs one step of the schema (script) and
    // stores version with it, both or neither. Engines whose schema changes
    // are transactional (SQLite and PostgreSQL are) run both in the open
    // transaction; one whose are not must make the step safe to run again.
    virtual void ApplySchemaStep(const std::string& script, int version)
    {
        ExecScript(script);
        StoreVersion(version);
    }

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
