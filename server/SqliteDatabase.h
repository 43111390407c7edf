#pragma once
// The embedded database: one SQLite file in WAL mode, foreign keys enforced,
// waiting up to the busy time-out for another connection's write lock.
#include "server/Database.h"

struct sqlite3;

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
    void Begin(bool write) override;
    void Commit() override;
    void Rollback() noexcept override;

private:
    [[noreturn]] void Fail(const std::string& what);

    sqlite3* db_ = nullptr;
    std::string path_;
};
