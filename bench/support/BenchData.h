#pragma once
// The data the benchmarks work on: one branch per measurement, each with one
// client (the round-trip branch has several), seeded into the application
// server's database, SQLite or PostgreSQL, and the branches into the shell's
// local database.
//
// Failure behaviour: Seed throws EDatabaseError from the database; seeding a
// database that already holds the data adds nothing.
#include "server/Database.h"

#include <string>
#include <vector>

struct BenchBranch {
    std::string branch; // CDFILIAL
    std::string client; // CDCLIENTE of the branch's (first) client
    int services = 0;   // services of the branch
    int assigned = 0;   // of them, assigned to the client (the first ones)
};

class BenchData {
public:
    // MontaLista with 1,000 + 1,000 and with 10,000 + 10,000 rows.
    static const BenchBranch& Lists1k();
    static const BenchBranch& Lists10k();
    // Move-all of 1,000 services.
    static const BenchBranch& MoveAll();
    // 100,000 assigned services held by the screen.
    static const BenchBranch& Memory();
    // Single round trips and the operators working at once: a few services
    // and the clients RoundTripClient(), BareClient() and Operator(1..n).
    static const BenchBranch& RoundTrip();
    static std::string BareClient();
    static std::string Operator(int n);
    static constexpr int kOperators = 32;

    // Service code and name (UTF-8, as the database stores it) of service i.
    static std::string ServiceCode(int i);
    static std::string ServiceName(int i);

    // Fills db (schema created when absent); the table the pgbench baseline
    // writes to (same columns and key as SERVCLIE) is created too.
    static void Seed(Database& db);
    // FILIAL of the shell's local database at path (SQLite), created anew.
    static void SeedLocal(const std::string& path);
    static std::vector<BenchBranch> All();
};
