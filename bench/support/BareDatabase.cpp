#include "bench/support/BareDatabase.h"

#include "platform/core/Exception.h"
#include "server/AssignmentWriter.h"
#include "server/PgDatabase.h"
#include "server/SqlStatement.h"
#include "server/SqliteDatabase.h"

#include <libpq-fe.h>
#include <map>
#include <optional>
#include <sqlite3.h>

namespace {

const char* kInsert = "INSERT INTO SERVCLIE (CDFILIAL, CDCLIENTE, CDSERVFILI) VALUES (?, ?, ?)";
const char* kDelete = "DELETE FROM SERVCLIE WHERE CDFILIAL = ? AND CDCLIENTE = ? AND CDSERVFILI = ?";

// The audit row as the server writes it beside a checked change (SQLite); the
// changes themselves are the server's own statements, bound by name.
const SqlStatement& Audit()
{
    return AssignmentWriter::Record();
}
// The server's statements for an engine, made once from a connection of its
// own (the bench's are bare).
struct ServerStatements {
    SqlStatement checkedInsert;
    std::optional<SqlStatement> insertAudited;
    std::optional<SqlStatement> deleteAudited;
};
const ServerStatements& StatementsOf(const std::string& database)
{
    static std::map<std::string, ServerStatements> made;
    auto found = made.find(database);
    if (found == made.end()) {
        auto db = Database::Open(database, {});
        found = made.emplace(database, ServerStatements{AssignmentWriter::CheckedInsert(*db),
                                                        AssignmentWriter::RecordedChange(*db, true),
                                                        AssignmentWriter::RecordedChange(*db, false)})
                    .first;
    }
    return found->second;
}

std::vector<std::string> Texts(const std::vector<SqlValue>& values)
{
    std::vector<std::string> texts;
    for (const SqlValue& v : values) {
        texts.push_back(v.value_or(""));
    }
    return texts;
}
const char* kExists = "SELECT (SELECT 1 FROM CLIENTE WHERE CDFILIAL = ? AND CDCLIENTE = ?), "
                      "(SELECT 1 FROM SERVFILI WHERE CDFILIAL = ? AND CDSERVFILI = ?)";

} // namespace

BareDatabase::BareDatabase(const std::string& database) : database_(database)
{
    if (Database::IsPostgres(database)) {
        pg_ = PQconnectdb(database.c_str());
        if (PQstatus(pg_) != CONNECTION_OK) {
            std::string why = PQerrorMessage(pg_);
            PQfinish(pg_);
            pg_ = nullptr;
            throw EDatabaseError("Cannot connect to " + database + ": " + why);
        }
        const std::string& insertAudited = StatementsOf(database).insertAudited->Text();
        const std::string& deleteAudited = StatementsOf(database).deleteAudited->Text();
        for (auto [name, sql] : {std::pair{"ins", kInsert}, std::pair{"del", kDelete},
                                 std::pair{"insa", insertAudited.c_str()}, std::pair{"dela", deleteAudited.c_str()}}) {
            PGresult* r = PQprepare(pg_, name, PgDatabase::NumberedPlaceholders(sql).c_str(), 0, nullptr);
            bool ok = PQresultStatus(r) == PGRES_COMMAND_OK;
            PQclear(r);
            if (!ok) {
                throw EDatabaseError(std::string("PostgreSQL prepare: ") + PQerrorMessage(pg_));
            }
        }
        return;
    }
    if (sqlite3_open_v2(database.c_str(), &lite_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr) != SQLITE_OK) {
        std::string why = lite_ != nullptr ? sqlite3_errmsg(lite_) : "out of memory";
        sqlite3_close(lite_);
        lite_ = nullptr;
        throw EDatabaseError("Cannot open " + database + ": " + why);
    }
    sqlite3_busy_timeout(lite_, 10000);
    char* err = nullptr;
    if (sqlite3_exec(lite_, "PRAGMA journal_mode=WAL; PRAGMA foreign_keys=ON; PRAGMA synchronous=FULL;", nullptr,
                     nullptr, &err) != SQLITE_OK) {
        std::string why = err != nullptr ? err : "?";
        sqlite3_free(err);
        throw EDatabaseError("SQLite pragmas: " + why);
    }
    if (sqlite3_prepare_v2(lite_, kInsert, -1, &insert_, nullptr) != SQLITE_OK ||
        sqlite3_prepare_v2(lite_, kDelete, -1, &delete_, nullptr) != SQLITE_OK ||
        sqlite3_prepare_v2(lite_, "BEGIN IMMEDIATE", -1, &begin_, nullptr) != SQLITE_OK ||
        sqlite3_prepare_v2(lite_, StatementsOf(database).checkedInsert.Text().c_str(), -1, &checkedInsert_, nullptr) !=
            SQLITE_OK ||
        sqlite3_prepare_v2(lite_, Audit().Text().c_str(), -1, &audit_, nullptr) != SQLITE_OK ||
        sqlite3_prepare_v2(lite_, kExists, -1, &exists_, nullptr) != SQLITE_OK ||
        sqlite3_prepare_v2(lite_, "COMMIT", -1, &commit_, nullptr) != SQLITE_OK) {
        throw EDatabaseError(std::string("SQLite prepare: ") + sqlite3_errmsg(lite_));
    }
}

BareDatabase::~BareDatabase()
{
    sqlite3_finalize(insert_);
    sqlite3_finalize(delete_);
    for (sqlite3_stmt* st : {begin_, checkedInsert_, audit_, exists_, commit_}) {
        sqlite3_finalize(st);
    }
    sqlite3_close(lite_);
    PQfinish(pg_);
}

void BareDatabase::Step(sqlite3_stmt* statement, const std::vector<std::string>& params)
{
    sqlite3_reset(statement);
    for (size_t i = 0; i < params.size(); ++i) {
        sqlite3_bind_text(statement, static_cast<int>(i + 1), params[i].data(), static_cast<int>(params[i].size()),
                          SQLITE_STATIC);
    }
    int rc = sqlite3_step(statement);
    if (rc != SQLITE_DONE && rc != SQLITE_ROW) {
        throw EDatabaseError(std::string("SQLite: ") + sqlite3_errmsg(lite_));
    }
    sqlite3_reset(statement);
}

void BareDatabase::PgRun(const char* name, const std::vector<std::string>& params)
{
    const char* values[3] = {params[0].c_str(), params[1].c_str(), params[2].c_str()};
    PGresult* r = PQexecPrepared(pg_, name, 3, values, nullptr, nullptr, 0);
    bool ok = PQresultStatus(r) == PGRES_COMMAND_OK;
    std::string why = ok ? "" : PQresultErrorMessage(r);
    PQclear(r);
    if (!ok) {
        throw EDatabaseError("PostgreSQL: " + why);
    }
}

void BareDatabase::Insert(const std::string& branch, const std::string& client, const std::string& service)
{
    if (pg_ != nullptr) {
        PgRun("ins", {branch, client, service});
    } else {
        Step(insert_, {branch, client, service});
    }
}

void BareDatabase::Delete(const std::string& branch, const std::string& client, const std::string& service)
{
    if (pg_ != nullptr) {
        PgRun("del", {branch, client, service});
    } else {
        Step(delete_, {branch, client, service});
    }
}

std::vector<std::string> BareDatabase::AuditHead()
{
    return {AssignmentWriter::AuditTime(), "127.0.0.1:50000", "127.0.0.1:50000", "ApCoServClie"};
}

void BareDatabase::PgChange(const char* name, const std::vector<std::string>& params)
{
    std::vector<const char*> values;
    for (const auto& p : params) {
        values.push_back(p.c_str());
    }
    bool sent =
        PQenterPipelineMode(pg_) == 1 &&
        PQsendQueryParams(pg_, "BEGIN", 0, nullptr, nullptr, nullptr, nullptr, 0) == 1 &&
        PQsendQueryPrepared(pg_, name, static_cast<int>(values.size()), values.data(), nullptr, nullptr, 0) == 1 &&
        PQsendQueryParams(pg_, "COMMIT", 0, nullptr, nullptr, nullptr, nullptr, 0) == 1 && PQpipelineSync(pg_) == 1;
    std::string why = sent ? "" : PQerrorMessage(pg_);
    for (int step = 0; sent && step < 3; ++step) {
        while (PGresult* r = PQgetResult(pg_)) {
            const auto status = PQresultStatus(r);
            if (why.empty() && status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK) {
                why = PQresultErrorMessage(r);
            }
            PQclear(r);
        }
    }
    if (sent) {
        while (PGresult* r = PQgetResult(pg_)) {
            const bool sync = PQresultStatus(r) == PGRES_PIPELINE_SYNC;
            PQclear(r);
            if (sync) {
                break;
            }
        }
    }
    PQexitPipelineMode(pg_);
    if (!why.empty()) {
        throw EDatabaseError("PostgreSQL: " + why);
    }
}

void BareDatabase::Change(bool insert, const std::string& branch, const std::string& client, const std::string& service)
{
    const std::vector<std::string> head = AuditHead();
    // The insert's values as the server binds them (the key and any stamped
    // column), then the audit row's.
    SqlStatement::Values values = AssignmentWriter::InsertValues({branch, client, service});
    values.insert(values.end(), {{"DTAUDITORIA", head[0]},
                                 {"NMOPERADOR", head[1]},
                                 {"NMENDERECO", head[2]},
                                 {"NMMETODO", head[3]},
                                 {"DSACAO", insert ? "inserted" : "deleted"},
                                 {"NRLINHAS", "1"}});
    if (pg_ != nullptr) {
        const auto& statements = StatementsOf(database_);
        PgChange(insert ? "insa" : "dela",
                 Texts((insert ? statements.insertAudited : statements.deleteAudited)->Bind(values)));
        return;
    }
    Step(begin_, {});
    try {
        if (insert) {
            Step(checkedInsert_, Texts(StatementsOf(database_).checkedInsert.Bind(values)));
        } else {
            Step(delete_, {branch, client, service});
        }
        if (sqlite3_changes(lite_) > 0) {
            Step(audit_, Texts(Audit().Bind(values)));
        } else {
            Step(exists_, {branch, client, branch, service});
        }
        Step(commit_, {});
    } catch (...) {
        sqlite3_exec(lite_, "ROLLBACK", nullptr, nullptr, nullptr);
        throw;
    }
}

size_t BareDatabase::Select(const std::string& sql, const std::vector<std::string>& params)
{
    std::vector<std::vector<std::string>> rows;
    if (pg_ != nullptr) {
        std::vector<const char*> values;
        for (const auto& p : params) {
            values.push_back(p.c_str());
        }
        PGresult* r = PQexecParams(pg_, PgDatabase::NumberedPlaceholders(sql).c_str(), static_cast<int>(values.size()),
                                   nullptr, values.data(), nullptr, nullptr, 0);
        if (PQresultStatus(r) != PGRES_TUPLES_OK) {
            std::string why = PQresultErrorMessage(r);
            PQclear(r);
            throw EDatabaseError("PostgreSQL: " + why);
        }
        int n = PQntuples(r);
        int columns = PQnfields(r);
        rows.reserve(static_cast<size_t>(n));
        for (int i = 0; i < n; ++i) {
            std::vector<std::string> row;
            for (int c = 0; c < columns; ++c) {
                row.emplace_back(PQgetvalue(r, i, c), static_cast<size_t>(PQgetlength(r, i, c)));
            }
            rows.push_back(std::move(row));
        }
        PQclear(r);
        return rows.size();
    }
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(lite_, sql.c_str(), -1, &st, nullptr) != SQLITE_OK) {
        throw EDatabaseError(std::string("SQLite prepare: ") + sqlite3_errmsg(lite_));
    }
    for (size_t i = 0; i < params.size(); ++i) {
        sqlite3_bind_text(st, static_cast<int>(i + 1), params[i].data(), static_cast<int>(params[i].size()),
                          SQLITE_STATIC);
    }
    const int columns = sqlite3_column_count(st);
    int rc = SQLITE_ROW;
    while ((rc = sqlite3_step(st)) == SQLITE_ROW) {
        std::vector<std::string> row;
        for (int c = 0; c < columns; ++c) {
            auto text = reinterpret_cast<const char*>(sqlite3_column_text(st, c));
            row.emplace_back(text != nullptr ? text : "", static_cast<size_t>(sqlite3_column_bytes(st, c)));
        }
        rows.push_back(std::move(row));
    }
    sqlite3_finalize(st);
    if (rc != SQLITE_DONE) {
        throw EDatabaseError(std::string("SQLite: ") + sqlite3_errmsg(lite_));
    }
    return rows.size();
}
