#include "bench/support/BenchData.h"

#include "platform/core/Exception.h"
#include "server/Schema.h"
#include "server/Seeder.h"

#include <sqlite3.h>

#include <cstdio>
#include <filesystem>

namespace {

// Rows per INSERT statement: 300 rows of 3 values stay below the parameter
// limits of both databases.
constexpr int kRowsPerStatement = 300;

void InsertMany(Database& db, const std::string& head, int columns, const std::vector<SqlValue>& values)
{
    const size_t perStatement = static_cast<size_t>(kRowsPerStatement * columns);
    for (size_t start = 0; start < values.size(); start += perStatement) {
        size_t end = std::min(values.size(), start + perStatement);
        std::string sql = head + " VALUES ";
        std::string row = "(";
        for (int c = 0; c < columns; ++c) {
            row += c == 0 ? "?" : ", ?";
        }
        row += ")";
        for (size_t i = start; i < end; i += static_cast<size_t>(columns)) {
            sql += (i == start ? "" : ", ") + row;
        }
        db.Execute(sql, std::vector<SqlValue>(values.begin() + static_cast<long>(start),
                                              values.begin() + static_cast<long>(end)));
    }
}

std::string Number(int seed)
{
    char twelve[16];
    std::snprintf(twelve, sizeof twelve, "%08d0001", 10000000 + seed);
    return Seeder::Cnpj(twelve);
}

} // namespace

const BenchBranch& BenchData::Lists1k()
{
    static const BenchBranch b{"L01K", "CL01K", 2000, 1000};
    return b;
}

const BenchBranch& BenchData::Lists10k()
{
    static const BenchBranch b{"L10K", "CL10K", 20000, 10000};
    return b;
}

const BenchBranch& BenchData::MoveAll()
{
    static const BenchBranch b{"MOVE", "CMOVE", 1000, 0};
    return b;
}

const BenchBranch& BenchData::Memory()
{
    static const BenchBranch b{"MEMO", "CMEMO", 100000, 100000};
    return b;
}

const BenchBranch& BenchData::RoundTrip()
{
    static const BenchBranch b{"RTRP", "RT01", 64, 0};
    return b;
}

std::string BenchData::BareClient()
{
    return "BARE";
}

std::string BenchData::Operator(int n)
{
    char text[16];
    std::snprintf(text, sizeof text, "OP%02d", n);
    return text;
}

std::vector<BenchBranch> BenchData::All()
{
    return {Lists1k(), Lists10k(), MoveAll(), Memory(), RoundTrip()};
}

std::string BenchData::ServiceCode(int i)
{
    char code[8];
    std::snprintf(code, sizeof code, "%05d", i % 100000);
    return code;
}

std::string BenchData::ServiceName(int i)
{
    return "Serviço técnico de manutenção nº " + ServiceCode(i);
}

void BenchData::Seed(Database& db)
{
    Schema::Create(db);
    db.ExecScript("CREATE TABLE IF NOT EXISTS SERVCLIE_PGBENCH (CDFILIAL varchar(4) NOT NULL, "
                  "CDCLIENTE varchar(21) NOT NULL, CDSERVFILI char(5) NOT NULL, "
                  "PRIMARY KEY (CDFILIAL, CDCLIENTE, CDSERVFILI))");
    if (!db.Query("SELECT 1 FROM FILIAL WHERE CDFILIAL = ?", {RoundTrip().branch}).empty()) {
        return;
    }
    db.Begin(true);
    try {
        int seed = 0;
        for (const BenchBranch& b : All()) {
            db.Execute("INSERT INTO FILIAL VALUES (?, ?)", {b.branch, "Filial de medida " + b.branch});
            std::vector<std::string> clients = {b.client};
            if (b.branch == RoundTrip().branch) {
                clients.push_back(BareClient());
                for (int n = 1; n <= kOperators; ++n) {
                    clients.push_back(Operator(n));
                }
            }
            for (const auto& c : clients) {
                db.Execute("INSERT INTO CLIENTE VALUES (?, ?, ?, ?, ?)",
                           {b.branch, c, "J", Number(++seed), "Cliente de medida " + c});
            }
            std::vector<SqlValue> services;
            std::vector<SqlValue> assigned;
            for (int i = 0; i < b.services; ++i) {
                services.insert(services.end(), {b.branch, ServiceCode(i), ServiceName(i)});
                if (i < b.assigned) {
                    assigned.insert(assigned.end(), {b.branch, b.client, ServiceCode(i)});
                }
            }
            InsertMany(db, "INSERT INTO SERVFILI (CDFILIAL, CDSERVFILI, NMSERVICO)", 3, services);
            InsertMany(db, "INSERT INTO SERVCLIE (CDFILIAL, CDCLIENTE, CDSERVFILI)", 3, assigned);
        }
        db.Commit();
    } catch (...) {
        db.Rollback();
        throw;
    }
    // A database in use has statistics; without them PostgreSQL plans the
    // selections of a freshly filled table as nested scans.
    db.ExecScript("ANALYZE");
}

void BenchData::SeedLocal(const std::string& path)
{
    std::filesystem::remove(path);
    sqlite3* local = nullptr;
    if (sqlite3_open(path.c_str(), &local) != SQLITE_OK) {
        sqlite3_close(local);
        throw EDatabaseError("Cannot create the local database " + path);
    }
    std::string sql = "CREATE TABLE FILIAL (CDFILIAL varchar(4) PRIMARY KEY, NMFILIAL varchar(30));";
    for (const BenchBranch& b : All()) {
        sql += "INSERT INTO FILIAL VALUES ('" + b.branch + "', 'Filial de medida " + b.branch + "');";
    }
    char* err = nullptr;
    int rc = sqlite3_exec(local, sql.c_str(), nullptr, nullptr, &err);
    std::string why = err != nullptr ? err : "";
    sqlite3_free(err);
    sqlite3_close(local);
    if (rc != SQLITE_OK) {
        throw EDatabaseError("Cannot fill the local database " + path + ": " + why);
    }
}
