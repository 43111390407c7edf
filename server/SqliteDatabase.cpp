#include "server/SqliteDatabase.h"

#include "platform/core/Exception.h"

#include <spdlog/spdlog.h>
#include <sqlite3.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The database file and its -wal, -shm and -journal companions are readable
// by their owner only: the file is made with mode 0600 before SQLite opens it
// (SQLite gives the companions the mode of the database file), and a file
// found with a wider mode is narrowed to its owner's bits, with a warning.
void OwnerOnly(const std::string& path)
{
    if (path.empty() || path == ":memory:" || path.rfind("file:", 0) == 0) {
        return;
    }
    int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd >= 0) {
        ::close(fd);
    }
    for (const char* suffix : {"", "-wal", "-shm", "-journal"}) {
        const std::string file = path + suffix;
        struct stat st {};
        if (::stat(file.c_str(), &st) != 0 || (st.st_mode & 077) == 0) {
            continue;
        }
        const unsigned wide = st.st_mode & 07777;
        if (::chmod(file.c_str(), st.st_mode & 0700) == 0) {
            spdlog::warn("{} had mode {:04o}, readable by others than its owner; narrowed to {:04o}", file, wide,
                         wide & 0700u);
        } else {
            spdlog::warn("{} has mode {:04o}, readable by others than its owner, and could not be narrowed", file,
                         wide);
        }
    }
}

// Puts a kept statement back to its start, bindings cleared, however the
// function that ran it is left, so its next use starts afresh.
struct Statement {
    sqlite3_stmt* s = nullptr;
    ~Statement()
    {
        if (s != nullptr) {
            sqlite3_reset(s);
            sqlite3_clear_bindings(s);
        }
    }
};

// More distinct statements than this means texts are being built on the fly;
// the cache is then emptied rather than grown without end.
constexpr size_t kMaxStatements = 64;

} // namespace

SqliteDatabase::SqliteDatabase(const std::string& path, const DatabaseOptions& options) : path_(path)
{
    OwnerOnly(path);
    int rc =
        sqlite3_open_v2(path.c_str(), &db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX, nullptr);
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
    for (auto& [sql, statement] : statements_) {
        sqlite3_finalize(statement);
    }
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

sqlite3_stmt* SqliteDatabase::Prepared(const std::string& sql)
{
    auto found = statements_.find(sql);
    if (found != statements_.end()) {
        return found->second;
    }
    if (statements_.size() >= kMaxStatements) {
        for (auto& [text, statement] : statements_) {
            sqlite3_finalize(statement);
        }
        statements_.clear();
    }
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v2(db_, sql.c_str(), static_cast<int>(sql.size()), &statement, nullptr) != SQLITE_OK) {
        sqlite3_finalize(statement);
        Fail("SQLite statement");
    }
    statements_.emplace(sql, statement);
    return statement;
}

std::vector<SqlRow> SqliteDatabase::Query(const std::string& sql, const std::vector<SqlValue>& params)
{
    Statement st;
    st.s = Prepared(sql);
    // The values outlive the statement's use: the guard clears the bindings
    // before this function returns.
    for (size_t i = 0; i < params.size(); ++i) {
        int rc = params[i] ? sqlite3_bind_text(st.s, static_cast<int>(i + 1), params[i]->data(),
                                               static_cast<int>(params[i]->size()), SQLITE_STATIC)
                           : sqlite3_bind_null(st.s, static_cast<int>(i + 1));
        if (rc != SQLITE_OK) {
            Fail("SQLite parameter");
        }
    }
    std::vector<SqlRow> rows;
    for (;;) {
        int rc = sqlite3_step(st.s);
        if (rc == SQLITE_DONE) {
            break;
        }
        if (rc != SQLITE_ROW) {
            Fail("SQLite");
        }
        // Counted per row: a kept statement is prepared again by its step
        // when the schema changed, and may then have other columns.
        const int columns = sqlite3_data_count(st.s);
        SqlRow row;
        row.reserve(static_cast<size_t>(columns));
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

// BEGIN and COMMIT run as kept statements too: parsing them on every call
// cost as much as a change's own statements.
void SqliteDatabase::Begin(bool write)
{
    Query(write ? "BEGIN IMMEDIATE" : "BEGIN", {});
}

void SqliteDatabase::Commit()
{
    if (sqlite3_get_autocommit(db_)) {
        return;
    }
    Query("COMMIT", {});
}

void SqliteDatabase::Rollback() noexcept
{
    if (!sqlite3_get_autocommit(db_)) {
        sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
    }
}
