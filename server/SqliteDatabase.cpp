#include "server/SqliteDatabase.h"

#include "platform/Exception.h"

#include <sqlite3.h>

namespace {

// Finalizes a statement however the function that prepared it is left.
struct Statement {
    sqlite3_stmt* s = nullptr;
    ~Statement() { sqlite3_finalize(s); }
};

} // namespace

SqliteDatabase::SqliteDatabase(const std::string& path, const DatabaseOptions& options) : path_(path)
{
    int rc = sqlite3_open_v2(path.c_str(), &db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX,
                             nullptr);
    if (rc != SQLITE_OK) {
        std::string why = db_ ? sqlite3_errmsg(db_) : sqlite3_errstr(rc);
        sqlite3_close(db_);
        db_ = nullptr;
        throw EDatabaseError("Cannot open the SQLite database " + path + ": " + why);
    }
    sqlite3_extended_result_codes(db_, 1);
    sqlite3_busy_timeout(db_, options.busyTimeoutMs);
    ExecScript(std::string("PRAGMA journal_mode=WAL; PRAGMA foreign_keys=ON; PRAGMA synchronous=") +
               (options.fullSync ? "FULL" : "NORMAL") + ";");
}

SqliteDatabase::~SqliteDatabase()
{
    sqlite3_close(db_);
}

void SqliteDatabase::Fail(const std::string& what)
{
    throw EDatabaseError(what + ": " + sqlite3_errmsg(db_));
}

void SqliteDatabase::ExecScript(const std::string& sql)
{
    char* err = nullptr;
    if (sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, &err) != SQLITE_OK) {
        std::string why = err ? err : "unknown error";
        sqlite3_free(err);
        throw EDatabaseError("SQLite database " + path_ + ": " + why);
    }
}

std::vector<SqlRow> SqliteDatabase::Query(const std::string& sql, const std::vector<SqlValue>& params)
{
    Statement st;
    if (sqlite3_prepare_v2(db_, sql.c_str(), static_cast<int>(sql.size()), &st.s, nullptr) != SQLITE_OK) {
        Fail("SQLite statement");
    }
    for (size_t i = 0; i < params.size(); ++i) {
        int rc = params[i] ? sqlite3_bind_text(st.s, static_cast<int>(i + 1), params[i]->data(),
                                               static_cast<int>(params[i]->size()), SQLITE_TRANSIENT)
                           : sqlite3_bind_null(st.s, static_cast<int>(i + 1));
        if (rc != SQLITE_OK) {
            Fail("SQLite parameter");
        }
    }
    std::vector<SqlRow> rows;
    int columns = sqlite3_column_count(st.s);
    for (;;) {
        int rc = sqlite3_step(st.s);
        if (rc == SQLITE_DONE) {
            break;
        }
        if (rc != SQLITE_ROW) {
            Fail("SQLite");
        }
        SqlRow row;
        for (int c = 0; c < columns; ++c) {
            if (sqlite3_column_type(st.s, c) == SQLITE_NULL) {
                row.emplace_back();
            } else {
                auto text = reinterpret_cast<const char*>(sqlite3_column_text(st.s, c));
                row.emplace_back(std::string(text, static_cast<size_t>(sqlite3_column_bytes(st.s, c))));
            }
        }
        rows.push_back(std::move(row));
    }
    return rows;
}

long long SqliteDatabase::Execute(const std::string& sql, const std::vector<SqlValue>& params)
{
    Query(sql, params);
    return sqlite3_changes64(db_);
}

void SqliteDatabase::Begin(bool write)
{
    ExecScript(write ? "BEGIN IMMEDIATE" : "BEGIN");
}

void SqliteDatabase::Commit()
{
    ExecScript("COMMIT");
}

void SqliteDatabase::Rollback() noexcept
{
    if (!sqlite3_get_autocommit(db_)) {
        sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
    }
}
