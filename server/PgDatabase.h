#pragma once
// The PostgreSQL database, reached through libpq with a connection URL. The
// URL (which may hold a password) never appears in a message.
#include "server/Database.h"

#include <unordered_map>

typedef struct pg_conn PGconn;
typedef struct pg_result PGresult;

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

    // The statement with its '?' placeholders numbered $1, $2... as
    // PostgreSQL takes them. Statements here hold no quoted question marks,
    // so every '?' is a placeholder.
    static std::string NumberedPlaceholders(const std::string& sql);

private:
    // Connects, or connects again after the connection broke.
    void Ensure();
    std::vector<SqlRow> Run(const std::string& sql, const std::vector<SqlValue>& params, long long* changed);
    // The name of sql's prepared statement on this connection, preparing it
    // on its first use: the server runs the same few statements on every call.
    const std::string& Prepared(const std::string& sql, int paramCount);
    // Runs a prepared statement; a BEGIN still waiting goes in the same
    // round trip, ahead of it.
    PGresult* Exec(const std::string& name, const std::vector<const char*>& values);
    PGresult* BeginAndExec(const std::string& name, const std::vector<const char*>& values);

    std::string url_;
    DatabaseOptions options_;
    PGconn* conn_ = nullptr;
    // Prepared statements of conn_, by their text; a new connection has none.
    std::unordered_map<std::string, std::string> statements_;
    // Begin was called and no statement has run since: BEGIN travels with
    // the transaction's first statement, saving a round trip per call.
    bool beginPending_ = false;
};
