#include "server/SqliteDatabase.h"

#include "server/FileAccess.h"
#include "server/ServerMetrics.h"

#include "platform/core/Exception.h"

#include <spdlog/spdlog.h>
#include <sqlite3.h>

#include <filesystem>
#include <memory>
#include <mutex>
#include <utility>

#include <sys/stat.h>
#include <unistd.h>

namespace {

bool IsFile(const std::string& path)
{
    return !path.empty() && path != ":memory:" && path.rfind("file:", 0) != 0;
}

// Files another connection of this process may hold locks on are never
// opened here: closing any descriptor of a file drops every POSIX lock the
// process holds on it, and a server that lost its lock on the database lets
// another process take the database for unused and delete the write-ahead
// log it still writes to. So a file found with a mode wider than its owner's
// is narrowed by its path only, with a warning.
void NarrowByPath(const std::string& path)
{
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

// A new database file is made private by the umask while SQLite itself
// creates it; SQLite gives its -wal, -shm and -journal companions the mode of
// the database file. The umask is the process's, so it is narrowed only
// around the open that creates the file, one such open at a time (two at once
// could each restore the other's narrowed mask); a file another thread makes
// meanwhile is only made more private than asked. (The server could narrow
// its umask for good, but this class serves the tests and the benchmarks too,
// whose processes should keep their own.)
std::mutex umaskMutex;

// What in the file system keeps SQLite from a database file, as a sentence
// to add to its own message; empty when nothing visible does.
std::string WhereItFails(const std::string& path)
{
    if (!IsFile(path)) {
        return {};
    }
    const std::string folder = std::filesystem::path(path).parent_path().empty()
                                   ? std::string(".")
                                   : std::filesystem::path(path).parent_path().string();
    if (const std::string why = FileAccess::WhyNotWritableFolder(folder); !why.empty()) {
        return "; its folder " + folder + " " + why;
    }
    if (const std::string why = FileAccess::WhyNotWritable(path); !why.empty()) {
        return "; the file " + why;
    }
    return {};
}

// Opens path through SQLite, made private if SQLite creates it; throws with
// SQLite's message when it cannot.
sqlite3* OpenPrivate(const std::string& path, int flags)
{
    sqlite3* db = nullptr;
    int rc = SQLITE_OK;
    struct stat st {};
    if ((flags & SQLITE_OPEN_CREATE) != 0 && IsFile(path) && ::stat(path.c_str(), &st) != 0) {
        std::lock_guard<std::mutex> lock(umaskMutex);
        const mode_t previous = ::umask(077);
        rc = sqlite3_open_v2(path.c_str(), &db, flags, nullptr);
        ::umask(previous);
    } else {
        rc = sqlite3_open_v2(path.c_str(), &db, flags, nullptr);
    }
    if (rc != SQLITE_OK) {
        std::string why = db ? sqlite3_errmsg(db) : sqlite3_errstr(rc);
        sqlite3_close(db);
        ServerMetrics::Instance().DatabaseError();
        throw EDatabaseError("Cannot open the SQLite database " + path + ": " + why + WhereItFails(path));
    }
    sqlite3_extended_result_codes(db, 1);
    return db;
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
    db_ = OpenPrivate(path, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX);
    sqlite3_busy_timeout(db_, options.busyTimeoutMs);
    try {
        ExecScript(std::string("PRAGMA journal_mode=WAL; PRAGMA foreign_keys=ON; PRAGMA synchronous=") +
                   (options.fullSync ? "FULL" : "NORMAL") + ";");
    } catch (const EDatabaseError& e) {
        // The journal's files go beside the database: a folder the server
        // may not write fails here, as "a readonly database".
        const std::string where = WhereItFails(path);
        sqlite3_close(db_);
        db_ = nullptr;
        throw EDatabaseError(e.what() + where);
    }
    if (IsFile(path)) {
        NarrowByPath(path);
    }
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
    // The refusal rule of Database.h: a foreign key that found its row
    // missing stopped the statement on purpose.
    if (sqlite3_extended_errcode(db_) == SQLITE_CONSTRAINT_FOREIGNKEY) {
        throw EDatabaseCheck(what + ": " + sqlite3_errmsg(db_));
    }
    ServerMetrics::Instance().DatabaseError();
    throw EDatabaseError(what + ": " + sqlite3_errmsg(db_));
}

void SqliteDatabase::ExecScript(const std::string& sql)
{
    BeginDeferred();
    char* err = nullptr;
    if (sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, &err) != SQLITE_OK) {
        std::string why = err ? err : "unknown error";
        sqlite3_free(err);
        ServerMetrics::Instance().DatabaseError();
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
    BeginDeferred();
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
    deferredBegin_ = !write;
    if (write) {
        Query("BEGIN IMMEDIATE", {});
    }
}

void SqliteDatabase::BeginDeferred()
{
    if (std::exchange(deferredBegin_, false)) {
        Query("BEGIN", {});
    }
}

void SqliteDatabase::Commit()
{
    if (std::exchange(deferredBegin_, false)) {
        return;
    }
    if (sqlite3_get_autocommit(db_)) {
        return;
    }
    Query("COMMIT", {});
}

void SqliteDatabase::Rollback() noexcept
{
    deferredBegin_ = false;
    if (!sqlite3_get_autocommit(db_)) {
        sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
    }
}

int SqliteDatabase::StoredVersion()
{
    auto rows = Query("PRAGMA user_version", {});
    return rows.empty() || !rows[0][0] ? 0 : std::stoi(*rows[0][0]);
}

void SqliteDatabase::StoreVersion(int version)
{
    // A pragma takes no parameters; the number is the program's own.
    ExecScript("PRAGMA user_version = " + std::to_string(version));
}

bool SqliteDatabase::HasTable(const std::string& table)
{
    return !Query("SELECT 1 FROM sqlite_master WHERE type = 'table' AND lower(name) = ?", {Lower(table)}).empty();
}

bool SqliteDatabase::HasColumn(const std::string& table, const std::string& column)
{
    return !Query("SELECT 1 FROM pragma_table_info(?) WHERE lower(name) = ?", {table, Lower(column)}).empty();
}

long long SqliteDatabase::Backup(const std::string& path, const std::string& to, const DatabaseOptions& options)
{
    struct stat st {};
    if (!IsFile(path) || ::stat(path.c_str(), &st) != 0) {
        throw EDatabaseError("The SQLite database " + path + " does not exist");
    }
    // The journal's files belong to the database: a copy put there would be
    // taken for its journal, and the changes after it lost at the next
    // start. Compared by place, so that "./db-wal" is caught as "db-wal".
    const auto place = [](const std::string& file) {
        return std::filesystem::weakly_canonical(std::filesystem::absolute(file));
    };
    for (const char* suffix : {"-wal", "-shm", "-journal"}) {
        if (place(to) == place(path + suffix)) {
            throw EDatabaseError("The backup " + to + " would take the place of the database's own " + suffix +
                                 " file; give the copy another name");
        }
    }
    struct stat target {};
    if (::stat(to.c_str(), &target) == 0) {
        if (target.st_dev == st.st_dev && target.st_ino == st.st_ino) {
            throw EDatabaseError("The backup " + to + " would overwrite the database itself");
        }
        if (!S_ISREG(target.st_mode)) {
            throw EDatabaseError("The backup " + to + " exists and is not a regular file");
        }
    }
    // The copy is made beside its place and renamed into it once whole: an
    // older copy (whatever its mode) is replaced only by a good one. The
    // source is opened without SQLITE_OPEN_CREATE: a misspelt path must not
    // leave an empty database behind and report it copied.
    const std::string partial = to + ".partial";
    ::unlink(partial.c_str());
    long long pages = 0;
    {
        auto closer = [](sqlite3* db) { sqlite3_close(db); };
        std::unique_ptr<sqlite3, decltype(closer)> source(OpenPrivate(path, SQLITE_OPEN_READWRITE), closer);
        std::unique_ptr<sqlite3, decltype(closer)> copy(
            OpenPrivate(partial, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE), closer);
        sqlite3_busy_timeout(source.get(), options.busyTimeoutMs);
        sqlite3_busy_timeout(copy.get(), options.busyTimeoutMs);
        sqlite3_backup* backup = sqlite3_backup_init(copy.get(), "main", source.get(), "main");
        if (backup == nullptr) {
            const std::string why = sqlite3_errmsg(copy.get());
            ::unlink(partial.c_str());
            throw EDatabaseError("Cannot back up " + path + " to " + to + ": " + why);
        }
        // One step copies every page under one read transaction: a
        // consistent copy, while the server goes on writing to its
        // write-ahead log.
        int rc = SQLITE_OK;
        for (int attempt = 0; attempt < 100; ++attempt) {
            rc = sqlite3_backup_step(backup, -1);
            if (rc != SQLITE_BUSY && rc != SQLITE_LOCKED) {
                break;
            }
            sqlite3_sleep(100);
        }
        pages = sqlite3_backup_pagecount(backup);
        sqlite3_backup_finish(backup);
        if (rc != SQLITE_DONE) {
            ::unlink(partial.c_str());
            throw EDatabaseError("Cannot back up " + path + " to " + to + ": " + sqlite3_errstr(rc));
        }
    }
    if (::chmod(partial.c_str(), 0600) != 0 || ::rename(partial.c_str(), to.c_str()) != 0) {
        ::unlink(partial.c_str());
        throw EDatabaseError("Cannot put the backup in place as " + to + " (mode 600)");
    }
    return pages;
}
