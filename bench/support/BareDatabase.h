#pragma once
// The database reached directly, without the application server: the
// baselines the stack is measured against. One durable single-row insert or
// delete is one autocommitted statement, prepared once, on SQLite in WAL mode
// with synchronous=FULL (what the server uses) or on PostgreSQL over loopback.
//
// Failure behaviour: every operation throws EDatabaseError with the
// database's message.
#include "server/Database.h"

#include <string>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;
struct pg_conn;

class BareDatabase {
public:
    explicit BareDatabase(const std::string& database);
    ~BareDatabase();
    BareDatabase(const BareDatabase&) = delete;
    BareDatabase& operator=(const BareDatabase&) = delete;

    bool IsPostgres() const { return pg_ != nullptr; }

    // One assignment in SERVCLIE, each its own durable transaction.
    void Insert(const std::string& branch, const std::string& client, const std::string& service);
    void Delete(const std::string& branch, const std::string& client, const std::string& service);

    // Runs a query ('?' placeholders) and copies every value of every row out
    // as text, as a client of the database would; returns the number of rows.
    size_t Select(const std::string& sql, const std::vector<std::string>& params);

private:
    void Step(sqlite3_stmt* statement, const std::vector<std::string>& params);
    void PgRun(const char* name, const std::vector<std::string>& params);

    sqlite3* lite_ = nullptr;
    sqlite3_stmt* insert_ = nullptr;
    sqlite3_stmt* delete_ = nullptr;
    pg_conn* pg_ = nullptr;
};
