#pragma once
// The database reached directly, without the application server: the
// baselines the stack is measured against, on SQLite in WAL mode with
// synchronous=FULL (what the server uses) or on PostgreSQL over loopback.
// A change is the transaction the server runs for a one-row change packet:
// the same statements, prepared once, the change with its audit row and the
// same checks, one durable commit. A single-row insert or delete is one
// autocommitted statement.
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

    // One change as the application server makes it (insert, or deletion):
    // on PostgreSQL the one statement that changes the row and records it,
    // sent with BEGIN and COMMIT in one round trip; on SQLite the checked
    // insert or the deletion, the audit row when a row changed, and the
    // existence check when none did, between BEGIN IMMEDIATE and COMMIT.
    void Change(bool insert, const std::string& branch, const std::string& client, const std::string& service);

    // Runs a query ('?' placeholders) and copies every value of every row out
    // as text, as a client of the database would; returns the number of rows.
    size_t Select(const std::string& sql, const std::vector<std::string>& params);

private:
    void Step(sqlite3_stmt* statement, const std::vector<std::string>& params);
    void PgRun(const char* name, const std::vector<std::string>& params);
    // Sends BEGIN, the prepared statement name with params, and COMMIT in one
    // pipeline and reads their results.
    void PgChange(const char* name, const std::vector<std::string>& params);
    // The audit row's values after the key: when, who, where, the method.
    static std::vector<std::string> AuditHead();

    sqlite3* lite_ = nullptr;
    sqlite3_stmt* insert_ = nullptr;
    sqlite3_stmt* delete_ = nullptr;
    // The server's statements for one change (SQLite).
    sqlite3_stmt* begin_ = nullptr;
    sqlite3_stmt* checkedInsert_ = nullptr;
    sqlite3_stmt* audit_ = nullptr;
    sqlite3_stmt* exists_ = nullptr;
    sqlite3_stmt* commit_ = nullptr;
    pg_conn* pg_ = nullptr;
    std::string database_;
};
