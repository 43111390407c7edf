#include "server/PgDatabase.h"

#include "platform/core/Exception.h"
#include "server/ServerMetrics.h"

#include <libpq-fe.h>

#include <cstring>
#include <utility>

namespace {

// More distinct statements than this means texts are being built on the fly;
// the prepared ones are then dropped rather than kept without end.
constexpr size_t kMaxStatements = 64;

// libpq's message, as one line: the first, which says what happened. The
// lines after it (details, hints such as "This probably means the server
// terminated abnormally") would reach the operator as a ragged block.
std::string Trimmed(const char* text)
{
    std::string s = text ? text : "";
    s = s.substr(0, s.find('\n'));
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) {
        s.pop_back();
    }
    return s;
}

void IgnoreNotice(void*, const char*) {}

} // namespace

void PgDatabase::Announce(const std::string& text)
{
    ExecuteLater("SELECT pg_notify(?, ?)", {std::string(kChannel), text});
}

std::string PgDatabase::ChangeAndRecord(const std::string& change, const std::string& record,
                                        const std::string& guard) const
{
    // The change goes inside WITH, which only PostgreSQL takes, and the
    // record is written only when the change returned its row. A guard is
    // evaluated only when the change touched nothing (CASE), and a count of
    // zero stops the statement by a division by zero.
    const std::string changed = "WITH change AS (" + change + " RETURNING 1) " + record + " WHERE ";
    if (guard.empty()) {
        return changed + "EXISTS (SELECT 1 FROM change)";
    }
    return changed + "CASE WHEN EXISTS (SELECT 1 FROM change) THEN TRUE ELSE 1 / (" + guard + ") = 0 END";
}

long long PgDatabase::Backup(const std::string& /*location*/, const std::string& /*to*/,
                             const DatabaseOptions& /*options*/)
{
    throw EDatabaseUnsupported("the database is PostgreSQL, which appserver does not copy: dump it with pg_dump on "
                               "the database's host, as README.md's \"Back up\" shows: sudo sh -c 'umask 077; "
                               "runuser -u postgres -- pg_dump -Fc -d servcliente > "
                               "/var/backups/servcliente/servcliente.dump'");
}

std::string PgDatabase::NumberedPlaceholders(const std::string& sql)
{
    std::string out;
    int n = 0;
    for (char c : sql) {
        if (c == '?') {
            out += '$';
            out += std::to_string(++n);
        } else {
            out.push_back(c);
        }
    }
    return out;
}

PgDatabase::PgDatabase(const std::string& url, const DatabaseOptions& options) : url_(url), options_(options)
{
    Ensure();
}

std::unique_ptr<Database> PgDatabase::OpenAnother() const
{
    return std::make_unique<PgDatabase>(url_, options_);
}

PgDatabase::~PgDatabase()
{
    PQfinish(conn_);
}

void PgDatabase::Ensure()
{
    if (conn_ && PQstatus(conn_) == CONNECTION_OK) {
        return;
    }
    PQfinish(conn_);
    statements_.clear();
    const std::string timeout = std::to_string(options_.connectTimeoutSec);
    const char* keys[] = {"dbname", "connect_timeout", "client_encoding", nullptr};
    const char* values[] = {url_.c_str(), timeout.c_str(), "UTF8", nullptr};
    conn_ = PQconnectdbParams(keys, values, 1);
    if (PQstatus(conn_) != CONNECTION_OK) {
        std::string why = Trimmed(PQerrorMessage(conn_));
        PQfinish(conn_);
        conn_ = nullptr;
        ServerMetrics::Instance().DatabaseError();
        throw EDatabaseError("Cannot connect to the PostgreSQL database: " + why);
    }
    PQsetNoticeProcessor(conn_, IgnoreNotice, nullptr);
    // Set here rather than among the connection's options, which the URL
    // may name already (a search_path).
    const std::string timeouts = "SET lock_timeout = " + std::to_string(options_.lockTimeoutMs) +
                                 "; SET statement_timeout = " + std::to_string(options_.statementTimeoutMs);
    PGresult* set = PQexec(conn_, timeouts.c_str());
    const bool ok = PQresultStatus(set) == PGRES_COMMAND_OK;
    PQclear(set);
    if (!ok) {
        const std::string why = Trimmed(PQerrorMessage(conn_));
        PQfinish(conn_);
        conn_ = nullptr;
        ServerMetrics::Instance().DatabaseError();
        throw EDatabaseError("Cannot set up the PostgreSQL connection: " + why);
    }
    // The first connection is the one the object was made for; each later
    // one replaces a connection that broke.
    if (std::exchange(connected_, true)) {
        ServerMetrics::Instance().DatabaseReconnected();
    }
}

void PgDatabase::ResultFree::operator()(PGresult* r) const
{
    PQclear(r);
}

std::vector<SqlRow> PgDatabase::Run(const std::string& sql, const std::vector<SqlValue>& params, long long* changed)
{
    if (!conn_) {
        Ensure();
    }
    // A BEGIN still waiting and the statements held back go ahead of this
    // one, in the same round trip.
    std::vector<Step> steps;
    steps.reserve(later_.size() + 2);
    const bool fresh = beginPending_ || (readOnly_ && later_.empty());
    if (std::exchange(beginPending_, false)) {
        steps.push_back({"BEGIN", {}, false});
    }
    for (auto& step : later_) {
        steps.push_back(std::move(step));
    }
    later_.clear();
    steps.push_back({sql, params, !params.empty()});
    auto results = RunPipeline(steps, fresh);
    PGresult* res = results.back().get();
    if (changed) {
        const char* n = PQcmdTuples(res);
        *changed = (n && *n) ? std::stoll(n) : 0;
    }
    std::vector<SqlRow> rows;
    int nrows = PQntuples(res);
    int ncols = PQnfields(res);
    rows.reserve(static_cast<size_t>(nrows));
    for (int r = 0; r < nrows; ++r) {
        SqlRow row;
        row.reserve(static_cast<size_t>(ncols));
        for (int c = 0; c < ncols; ++c) {
            if (PQgetisnull(res, r, c)) {
                row.emplace_back();
            } else {
                row.emplace_back(std::string(PQgetvalue(res, r, c), static_cast<size_t>(PQgetlength(res, r, c))));
            }
        }
        rows.push_back(std::move(row));
    }
    return rows;
}

void PgDatabase::Check(PGresult* r)
{
    const auto status = r ? PQresultStatus(r) : PGRES_FATAL_ERROR;
    if (status == PGRES_TUPLES_OK || status == PGRES_COMMAND_OK) {
        return;
    }
    std::string why = Trimmed(r ? PQresultErrorMessage(r) : "");
    if (why.empty() && conn_) {
        why = Trimmed(PQerrorMessage(conn_));
    }
    if (!conn_ || PQstatus(conn_) != CONNECTION_OK) {
        ServerMetrics::Instance().DatabaseError();
        throw EDatabaseError("The connection to the PostgreSQL database was lost: " + why);
    }
    // The refusal rule of Database.h: a guard's division by zero, or the
    // check an insert leaves to SERVCLIE's foreign keys.
    const char* state = r ? PQresultErrorField(r, PG_DIAG_SQLSTATE) : nullptr;
    if (state && (std::strcmp(state, "22012") == 0 || std::strcmp(state, "23503") == 0)) {
        throw EDatabaseCheck("PostgreSQL: " + why);
    }
    ServerMetrics::Instance().DatabaseError();
    throw EDatabaseError("PostgreSQL: " + why);
}

std::vector<PgDatabase::ResultPtr> PgDatabase::Pipeline(const std::vector<Step>& steps)
{
    std::vector<std::string> names(steps.size());
    for (size_t i = 0; i < steps.size(); ++i) {
        if (steps[i].prepared) {
            const size_t before = statements_.size();
            names[i] = Prepared(steps[i].sql, static_cast<int>(steps[i].params.size()));
            if (statements_.size() < before) {
                // The prepared statements were dropped to make room: those
                // named so far must be prepared again.
                return Pipeline(steps);
            }
        }
    }
    std::vector<ResultPtr> results(steps.size());
    if (PQenterPipelineMode(conn_) != 1) {
        return results;
    }
    bool sent = true;
    std::vector<const char*> values;
    for (size_t i = 0; i < steps.size() && sent; ++i) {
        values.clear();
        for (const auto& p : steps[i].params) {
            values.push_back(p ? p->c_str() : nullptr);
        }
        const int count = static_cast<int>(values.size());
        sent = steps[i].prepared
                   ? PQsendQueryPrepared(conn_, names[i].c_str(), count, values.data(), nullptr, nullptr, 0) == 1
                   : PQsendQueryParams(conn_, steps[i].sql.c_str(), 0, nullptr, nullptr, nullptr, nullptr, 0) == 1;
    }
    if (sent && PQpipelineSync(conn_) == 1) {
        // Each statement's results end with a null; the sync's result ends
        // the round trip. A broken connection ends it too.
        size_t step = 0;
        for (;;) {
            PGresult* r = PQgetResult(conn_);
            if (r == nullptr) {
                if (PQstatus(conn_) != CONNECTION_OK || ++step > steps.size()) {
                    break;
                }
                continue;
            }
            if (PQresultStatus(r) == PGRES_PIPELINE_SYNC) {
                PQclear(r);
                break;
            }
            if (step < steps.size() && !results[step]) {
                results[step].reset(r);
            } else {
                PQclear(r);
            }
        }
    }
    if (PQexitPipelineMode(conn_) != 1 && PQstatus(conn_) == CONNECTION_OK) {
        // Results still pending: the connection cannot be trusted with the
        // next call, so the next one opens a new connection.
        PQfinish(conn_);
        conn_ = nullptr;
        statements_.clear();
    }
    return results;
}

std::vector<PgDatabase::ResultPtr> PgDatabase::RunPipeline(const std::vector<Step>& steps, bool fresh)
{
    const auto broken = [this] { return !conn_ || PQstatus(conn_) != CONNECTION_OK; };
    std::vector<ResultPtr> results;
    try {
        results = Pipeline(steps);
    } catch (const EDatabaseError&) {
        // A statement prepared for the first time after a restart fails
        // before anything is sent: the same as a first step that failed.
        if (!fresh || !broken()) {
            throw;
        }
        Ensure();
        results = Pipeline(steps);
    }
    const auto succeeded = [](const ResultPtr& r) {
        return r && (PQresultStatus(r.get()) == PGRES_COMMAND_OK || PQresultStatus(r.get()) == PGRES_TUPLES_OK);
    };
    if (fresh && !succeeded(results.front()) && broken()) {
        // libpq sees that the server went away (a restart) only when the
        // connection is next used. The first step failed, so nothing of the
        // transaction can have been stored: connecting again and sending
        // the steps once more is safe.
        Ensure();
        results = Pipeline(steps);
    }
    for (const auto& r : results) {
        Check(r.get());
    }
    return results;
}

const std::string& PgDatabase::Prepared(const std::string& sql, int paramCount)
{
    auto found = statements_.find(sql);
    if (found != statements_.end()) {
        return found->second;
    }
    if (statements_.size() >= kMaxStatements) {
        ResultPtr dropped(PQexec(conn_, "DEALLOCATE ALL"));
        statements_.clear();
    }
    std::string name = "servcliente_" + std::to_string(statements_.size() + 1);
    ResultPtr prepared(PQprepare(conn_, name.c_str(), NumberedPlaceholders(sql).c_str(), paramCount, nullptr));
    Check(prepared.get());
    return statements_.emplace(sql, std::move(name)).first->second;
}

void PgDatabase::ExecScript(const std::string& sql)
{
    if (beginPending_ || !later_.empty()) {
        // The script runs in the open transaction: its BEGIN and the
        // statements held back go first.
        Run("SELECT 1", {}, nullptr);
    }
    Ensure();
    ResultPtr res(PQexec(conn_, sql.c_str()));
    Check(res.get());
}

std::vector<SqlRow> PgDatabase::Query(const std::string& sql, const std::vector<SqlValue>& params)
{
    return Run(sql, params, nullptr);
}

long long PgDatabase::Execute(const std::string& sql, const std::vector<SqlValue>& params)
{
    long long changed = 0;
    Run(sql, params, &changed);
    return changed;
}

void PgDatabase::ExecuteLater(const std::string& sql, const std::vector<SqlValue>& params)
{
    if (!open_) {
        Execute(sql, params);
        return;
    }
    later_.push_back({sql, params, !params.empty()});
}

void PgDatabase::Begin(bool write)
{
    Ensure();
    later_.clear();
    open_ = true;
    readOnly_ = !write;
    // Nothing is sent yet: BEGIN goes with the transaction's first statement
    // or its commit, one round trip for both.
    beginPending_ = write;
}

void PgDatabase::Commit()
{
    if (!std::exchange(open_, false)) {
        return;
    }
    std::vector<Step> steps = std::move(later_);
    later_.clear();
    const bool pending = std::exchange(beginPending_, false);
    const bool readOnly = std::exchange(readOnly_, false);
    const bool begun = !pending && !readOnly;
    if (begun) {
        steps.push_back({"COMMIT", {}, false});
    }
    if (steps.empty()) {
        return; // nothing was sent: nothing was begun on the server
    }
    // Without BEGIN, the statements up to the pipeline's sync are one
    // transaction of their own, committed at the sync: one round trip.
    RunPipeline(steps, !begun);
}

void PgDatabase::Rollback() noexcept
{
    later_.clear();
    beginPending_ = false;
    open_ = false;
    readOnly_ = false;
    if (conn_ && PQstatus(conn_) == CONNECTION_OK && PQtransactionStatus(conn_) != PQTRANS_IDLE) {
        PGresult* r = PQexec(conn_, "ROLLBACK");
        PQclear(r);
    }
}

int PgDatabase::StoredVersion()
{
    if (!HasTable("VERSAOESQUEMA")) {
        return 0;
    }
    auto rows = Query("SELECT NRVERSAO FROM VERSAOESQUEMA", {});
    return rows.empty() || !rows[0][0] ? 0 : std::stoi(*rows[0][0]);
}

void PgDatabase::StoreVersion(int version)
{
    // One row: the key admits a single value.
    ExecScript("CREATE TABLE IF NOT EXISTS VERSAOESQUEMA (IDVERSAO char(1) NOT NULL PRIMARY KEY DEFAULT 'X' "
               "CHECK (IDVERSAO = 'X'), NRVERSAO integer NOT NULL)");
    Execute("INSERT INTO VERSAOESQUEMA (NRVERSAO) VALUES (?) ON CONFLICT (IDVERSAO) DO UPDATE SET NRVERSAO = "
            "EXCLUDED.NRVERSAO",
            {std::to_string(version)});
}

void PgDatabase::LockSchema()
{
    // A transaction lock, released by the commit or the rollback; the number
    // is this server's own.
    Query("SELECT pg_advisory_xact_lock(72110001)", {});
}

bool PgDatabase::HasTable(const std::string& table)
{
    return !Query("SELECT 1 FROM information_schema.tables WHERE table_schema = current_schema() AND table_name = ?",
                  {Lower(table)})
                .empty();
}

bool PgDatabase::HasColumn(const std::string& table, const std::string& column)
{
    return !Query("SELECT 1 FROM information_schema.columns WHERE table_schema = current_schema() AND table_name = ? "
                  "AND column_name = ?",
                  {Lower(table), Lower(column)})
                .empty();
}
