// Target 1: one ApCoServClie round trip carrying a one-row insert, from the
// screen's data path through the application server to the database and
// back, against a bare loopback echo of the same size plus the same
// transaction that the server runs (the change with its audit row, the same
// statements and checks, one durable commit) run directly on the same
// database from this process. Every cycle runs all of them in turn, so the
// ratio holds on a machine whose load changes while it runs. Inserts and
// deletes alternate, so the table does not grow.
//
//   BENCH_SQLITE_DB, BENCH_SQLITE_PORT: the SQLite file and its appserver
//   BENCH_PG_URL, BENCH_PG_PORT: the PostgreSQL database and its appserver
//   BENCH_CYCLES: insert/delete cycles per database (default 400)
#include "bench/support/BareDatabase.h"
#include "bench/support/BenchData.h"
#include "bench/support/BenchStats.h"
#include "bench/support/LoopbackPeer.h"
#include "bench/support/StackClient.h"

#include <benchmark/benchmark.h>

using namespace BenchStats;

namespace {

void RoundTrip(benchmark::State& state, const std::string& db, int port)
{
    const BenchBranch& b = BenchData::RoundTrip();
    const std::string service = BenchData::ServiceCode(1);
    const std::string name = "Servico de ida e volta";
    BareDatabase bare(db);
    LoopbackPeer peer;
    StackClient stack("127.0.0.1", port);
    // Start from a known state: neither assignment exists.
    bare.Delete(b.branch, b.client, service);
    bare.Delete(b.branch, BenchData::BareClient(), service);
    stack.Load(b.branch, b.client);
    // The first send fixes the request size that the echo carries.
    stack.InsertOne(b.branch, b.client, service, name);
    stack.DeleteCurrent();
    const size_t request = stack.LastRequestBytes();

    std::vector<double> echo, bareInsert, bareDelete, stackInsert, stackDelete;
    for (auto _ : state) {
        Time(echo, [&] { peer.Echo(request); });
        Time(bareInsert, [&] { bare.Change(true, b.branch, BenchData::BareClient(), service); });
        Time(stackInsert, [&] { stack.InsertOne(b.branch, b.client, service, name); });
        Time(echo, [&] { peer.Echo(request); });
        Time(bareDelete, [&] { bare.Change(false, b.branch, BenchData::BareClient(), service); });
        Time(stackDelete, [&] { stack.DeleteCurrent(); });
    }
    const double e = Median(echo);
    const double bi = Median(bareInsert);
    const double si = Median(stackInsert);
    state.counters["echo_us"] = e;
    state.counters["same_insert_us"] = bi;
    state.counters["same_delete_us"] = Median(bareDelete);
    state.counters["stack_insert_us"] = si;
    state.counters["stack_delete_us"] = Median(stackDelete);
    state.counters["request_bytes"] = static_cast<double>(request);
    state.counters["ratio"] = si / (e + bi);
}

} // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    const int cycles = EnvInt("BENCH_CYCLES", 400);
    for (auto [label, dbVar, portVar] : {std::tuple{"sqlite", "BENCH_SQLITE_DB", "BENCH_SQLITE_PORT"},
                                         std::tuple{"postgresql", "BENCH_PG_URL", "BENCH_PG_PORT"}}) {
        const std::string db = Env(dbVar);
        const int port = EnvInt(portVar, 0);
        if (db.empty() || port == 0) {
            continue;
        }
        benchmark::RegisterBenchmark((std::string("RoundTrip/") + label).c_str(),
                                     [db, port](benchmark::State& s) { RoundTrip(s, db, port); })
            ->Iterations(cycles)
            ->Unit(benchmark::kMicrosecond);
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
