#include "server/PgDatabase.h"

#include "platform/Exception.h"

#include <libpq-fe.h>

namespace {

struct Result {
    PGresult* r = nullptr;
    ~Result() { PQclear(r); }
};

std::string Trimmed(const char* text)
{
    std::string s = text ? text : "";
    while (!s.empty() && (s.back() == '\n' || s.back() == ' ')) {
        s.pop_back();
    }
    return s;
}

// '?' placeholders become $1, $2... Statements here hold no quoted question
// marks, so every '?' is a placeholder.
std::string Numbered(const std::string& sql)
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

void IgnoreNotice(void*, const char*) {}

} // namespace

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
    if (!conn_) {
        Ensure();
    }
    std::vector<const char*> values;
    for (const auto& p : params) {
        values.push_back(p ? p->c_str() : nullptr);
    }
    std::string numbered = Numbered(sql);
    Result res;
    res.r = PQexecParams(conn_, numbered.c_str(), static_cast<int>(values.size()), nullptr, values.data(), nullptr,
                         nullptr, 0);
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
    Run("BEGIN", {}, nullptr);
}

void PgDatabase::Commit()
{
    Run("COMMIT", {}, nullptr);
}

void PgDatabase::Rollback() noexcept
{
    if (conn_ && PQstatus(conn_) == CONNECTION_OK && PQtransactionStatus(conn_) != PQTRANS_IDLE) {
        PGresult* r = PQexec(conn_, "ROLLBACK");
        PQclear(r);
    }
}
