#pragma once
// The PostgreSQL database, reached through libpq with a connection URL. The
// URL (which may hold a password) never appears in a message.
#include "server/Database.h"

typedef struct pg_conn PGconn;

class PgDatabase : public Database {
public:
    PgDatabase(const std::string& url, const DatabaseOptions& options);
    ~PgDatabase() override;
    PgDatabase(const PgDatabase&) = delete;
    PgDatabase& operator=(const PgDatabase&) = delete;

    std::string Kind() const override { return "PostgreSQL"; }
    void ExecScript(const std::string& sql) override;
    std::vector<SqlRow> Query(const std::string& sql, const std::vector<SqlValue>& params) override;
    long long Execute(const std::string& sql, const std::vector<SqlValue>& params) override;
    void Begin(bool write) override;
    void Commit() override;
    void Rollback() noexcept override;

private:
    // Connects, or connects again after the connection broke.
    void Ensure();
    std::vector<SqlRow> Run(const std::string& sql, const std::vector<SqlValue>& params, long long* changed);

    std::string url_;
    DatabaseOptions options_;
    PGconn* conn_ = nullptr;
};
