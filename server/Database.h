#pragma once
// One connection to the application server's database, SQLite or PostgreSQL,
// used by one thread at a time. Texts cross this interface as UTF-8, as the
// database stores them. Statements use '?' placeholders for their parameters
// and never carry a value in their text.
//
// Failure behaviour: every operation throws EDatabaseError with the database's
// own message. A PostgreSQL connection that broke is opened again by the next
// Begin, so a database restart costs the calls in flight and nothing more.
#include <memory>
#include <optional>
#include <string>
#include <vector>

using SqlValue = std::optional<std::string>;
using SqlRow = std::vector<SqlValue>;

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
    virtual void ExecScript(const std::string& sql) = 0;
    virtual std::vector<SqlRow> Query(const std::string& sql, const std::vector<SqlValue>& params) = 0;
    // Returns the number of rows changed.
    virtual long long Execute(const std::string& sql, const std::vector<SqlValue>& params) = 0;

    // A transaction; write says that it will change data, which SQLite uses to
    // take its write lock at once instead of failing half-way.
    virtual void Begin(bool write) = 0;
    virtual void Commit() = 0;
    // Never throws: it runs while another error is on its way.
    virtual void Rollback() noexcept = 0;
};
