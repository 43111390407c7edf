#include "server/PgDatabase.h"

#include "platform/core/Exception.h"

#include <libpq-fe.h>

#include <utility>

namespace {

// More distinct statements than this means texts are being built on the fly;
// the prepared ones are then dropped rather than kept without end.
constexpr size_t kMaxStatements = 64;

struct Result {
    PGresult* r = nullptr;
    ~Result() { PQclear(r); }
};

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

std::string PgDatabase::NumberedPlaceholders(const std::string& sql)
{
    std::string out;
    int n = 0;
    for (char c : sql) {
        if (c == '?') {
            out += "$" + std::to_string(++n);
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
        throw EDatabaseError("Cannot connect to the PostgreSQL database: " + why);
    }
    PQsetNoticeProcessor(conn_, IgnoreNotice, nullptr);
}

std::vector<SqlRow> PgDatabase::Run(const std::string& sql, const std::vector<SqlValue>& params, long long* changed)
{
    if (params.empty() && sql == "BEGIN") {
        // Nothing is sent yet: BEGIN goes with the transaction's first
        // statement (BeginAndExec), one round trip for both.
        beginPending_ = true;
        return {};
    }
    if (!conn_) {
        Ensure();
    }
    std::vector<const char*> values;
    for (const auto& p : params) {
        values.push_back(p ? p->c_str() : nullptr);
    }
    Result res;
    auto check = [&] {
        auto status = PQresultStatus(res.r);
        if (status != PGRES_TUPLES_OK && status != PGRES_COMMAND_OK) {
            std::string why = Trimmed(res.r ? PQresultErrorMessage(res.r) : PQerrorMessage(conn_));
            if (why.empty()) {
                why = Trimmed(PQerrorMessage(conn_));
            }
            if (PQstatus(conn_) != CONNECTION_OK) {
                throw EDatabaseError("The connection to the PostgreSQL database was lost: " + why);
            }
            throw EDatabaseError("PostgreSQL: " + why);
        }
    };
    if (beginPending_) {
        beginPending_ = false;
        try {
            res.r = BeginAndExec(Prepared(sql, static_cast<int>(values.size())), values);
            check();
        } catch (const EDatabaseError&) {
            // libpq sees that the server went away (a restart) only when the
            // connection is next used. Nothing of the transaction has run
            // yet, so connecting again and beginning once more is safe.
            if (conn_ && PQstatus(conn_) == CONNECTION_OK) {
                throw;
            }
            Ensure();
            PQclear(std::exchange(res.r, nullptr));
            res.r = BeginAndExec(Prepared(sql, static_cast<int>(values.size())), values);
            check();
        }
    } else if (values.empty()) {
        res.r = PQexec(conn_, sql.c_str());
        check();
    } else {
        res.r = PQexecPrepared(conn_, Prepared(sql, static_cast<int>(values.size())).c_str(),
                               static_cast<int>(values.size()), values.data(), nullptr, nullptr, 0);
        check();
    }
    if (changed) {
        const char* n = PQcmdTuples(res.r);
        *changed = (n && *n) ? std::stoll(n) : 0;
    }
    std::vector<SqlRow> rows;
    int nrows = PQntuples(res.r);
    int ncols = PQnfields(res.r);
    rows.reserve(static_cast<size_t>(nrows));
    for (int r = 0; r < nrows; ++r) {
        SqlRow row;
        for (int c = 0; c < ncols; ++c) {
            if (PQgetisnull(res.r, r, c)) {
                row.emplace_back();
            } else {
                row.emplace_back(std::string(PQgetvalue(res.r, r, c), static_cast<size_t>(PQgetlength(res.r, r, c))));
            }
        }
        rows.push_back(std::move(row));
    }
    return rows;
}

const std::string& PgDatabase::Prepared(const std::string& sql, int paramCount)
{
    auto found = statements_.find(sql);
    if (found != statements_.end()) {
        return found->second;
    }
    if (statements_.size() >= kMaxStatements) {
        Result dropped;
        dropped.r = PQexec(conn_, "DEALLOCATE ALL");
        statements_.clear();
    }
    std::string name = "servcliente_" + std::to_string(statements_.size() + 1);
    Result res;
    res.r = PQprepare(conn_, name.c_str(), NumberedPlaceholders(sql).c_str(), paramCount, nullptr);
    if (PQresultStatus(res.r) != PGRES_COMMAND_OK) {
        std::string why = Trimmed(res.r ? PQresultErrorMessage(res.r) : PQerrorMessage(conn_));
        if (PQstatus(conn_) != CONNECTION_OK) {
            throw EDatabaseError("The connection to the PostgreSQL database was lost: " + why);
        }
        throw EDatabaseError("PostgreSQL: " + why);
    }
    return statements_.emplace(sql, std::move(name)).first->second;
}

PGresult* PgDatabase::BeginAndExec(const std::string& name, const std::vector<const char*>& values)
{
    const int count = static_cast<int>(values.size());
    if (PQenterPipelineMode(conn_) != 1) {
        Result begin;
        begin.r = PQexec(conn_, "BEGIN");
        if (PQresultStatus(begin.r) != PGRES_COMMAND_OK) {
            return std::exchange(begin.r, nullptr);
        }
        return PQexecPrepared(conn_, name.c_str(), count, values.data(), nullptr, nullptr, 0);
    }
    PGresult* begin = nullptr;
    PGresult* result = nullptr;
    if (PQsendQueryParams(conn_, "BEGIN", 0, nullptr, nullptr, nullptr, nullptr, 0) == 1 &&
        PQsendQueryPrepared(conn_, name.c_str(), count, values.data(), nullptr, nullptr, 0) == 1 &&
        PQpipelineSync(conn_) == 1) {
        // Each statement's results end with a null; the sync's result ends
        // the round trip. A broken connection ends it too.
        int statement = 0;
        for (;;) {
            PGresult* r = PQgetResult(conn_);
            if (r == nullptr) {
                if (PQstatus(conn_) != CONNECTION_OK || ++statement > 2) {
                    break;
                }
                continue;
            }
            if (PQresultStatus(r) == PGRES_PIPELINE_SYNC) {
                PQclear(r);
                break;
            }
            PGresult*& slot = statement == 0 ? begin : result;
            if (slot == nullptr && statement <= 1) {
                slot = r;
            } else {
                PQclear(r);
            }
        }
    }
    PQexitPipelineMode(conn_);
    if (begin != nullptr && PQresultStatus(begin) != PGRES_COMMAND_OK) {
        PQclear(result);
        return begin;
    }
    PQclear(begin);
    return result;
}

void PgDatabase::ExecScript(const std::string& sql)
{
    Ensure();
    Result res;
    res.r = PQexec(conn_, sql.c_str());
    auto status = PQresultStatus(res.r);
    if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK) {
        throw EDatabaseError("PostgreSQL: " + Trimmed(PQerrorMessage(conn_)));
    }
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

void PgDatabase::Begin(bool)
{
    Ensure();
    try {
        Run("BEGIN", {}, nullptr);
    } catch (const EDatabaseError&) {
        // libpq sees that the server went away (a restart) only when the
        // connection is next used. Nothing of the transaction has run yet, so
        // connecting again and beginning once more is safe.
        if (PQstatus(conn_) == CONNECTION_OK) {
            throw;
        }
        Ensure();
        Run("BEGIN", {}, nullptr);
    }
}

void PgDatabase::Commit()
{
    if (std::exchange(beginPending_, false)) {
        return; // no statement ran: nothing was begun on the server
    }
    Run("COMMIT", {}, nullptr);
}

void PgDatabase::Rollback() noexcept
{
    beginPending_ = false;
    if (conn_ && PQstatus(conn_) == CONNECTION_OK && PQtransactionStatus(conn_) != PQTRANS_IDLE) {
        PGresult* r = PQexec(conn_, "ROLLBACK");
        PQclear(r);
    }
}
