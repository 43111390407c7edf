#pragma once
// The embedded database: one SQLite file in WAL mode, foreign keys enforced,
// its files readable by their owner only (a new one made so while SQLite
// creates it; nothing here opens them outside SQLite, which would drop the
// locks SQLite holds on them), waiting up to the busy time-out for another
// connection's write lock.
#include "server/Database.h"

#include <unordered_map>

struct sqlite3;
struct sqlite3_stmt;

class SqliteDatabase : public Database {
public:
    SqliteDatabase(const std::string& path, const DatabaseOptions& options);
    ~SqliteDatabase() override;
    SqliteDatabase(const SqliteDatabase&) = delete;
    SqliteDatabase& operator=(const SqliteDatabase&) = delete;

    std::string Kind() const override { return "SQLite"; }
    void ExecScript(const std::string& sql) override;
    std::vector<SqlRow> Query(const std::string& sql, const std::vector<SqlValue>& params) override;
    long long Execute(const std::string& sql, const std::vector<SqlValue>& params) override;
    // Every statement runs on this process's own file: holding some back
    // saves nothing, so SQLite has no dialect of its own and the server
    // checks each change by itself. One connection writes at a time.
    size_t WritersAtOnce() const override { return 1; }
    void Begin(bool write) override;
    void Commit() override;
    void Rollback() noexcept override;
    int StoredVersion() override;
    void StoreVersion(int version) override;
    bool HasTable(const std::string& table) override;
    bool HasColumn(const std::string& table, const std::string& column) override;

    // Copies the database at path to the file to, made private to its owner,
    // through SQLite's online backup: a consistent copy while other
    // connections (a running server) go on writing. Returns the pages copied;
    // throws EDatabaseError when path is no database or the copy fails.
    static long long Backup(const std::string& path, const std::string& to, const DatabaseOptions& options);

private:
    [[noreturn]] void Fail(const std::string& what);
    // The prepared statement of sql, prepared on its first use and kept:
    // the server runs the same few statements on every call.
    sqlite3_stmt* Prepared(const std::string& sql);
    // Runs the BEGIN of a reading transaction that waits for its first
    // statement.
    void BeginDeferred();

    sqlite3* db_ = nullptr;
    // A reading transaction was begun and has run nothing yet: its BEGIN
    // runs before its first statement, and if it runs none there is nothing
    // to end (a call whose changes go through the group commit reads
    // nothing on its own connection).
    bool deferredBegin_ = false;
    std::string path_;
    std::unordered_map<std::string, sqlite3_stmt*> statements_;
};
