// Target 1: one ApCoServClie round trip carrying a one-row insert, from the
// screen's data path through the application server to the database and
// back, against a bare loopback echo of the same size plus the same
// transaction that the server runs (the change with its audit row, the same
// statements and checks, one durable commit) run directly on the same
// database from this process. Every cycle runs all of them in turn, so the
// ratio holds on a machine whose load changes while it runs. Inserts and
// deletes alternate, so the table does not grow. The cycles are split into
// rounds, and each round's figures are counters of their own (ratio.1, ...).
//
//   bench_calls [--rounds N (default 5)] [Google Benchmark's options]
//   BENCH_SQLITE_DB, BENCH_SQLITE_PORT: the SQLite file and its appserver
//   BENCH_PG_URL, BENCH_PG_PORT: the PostgreSQL database and its appserver
//   BENCH_CYCLES: insert/delete cycles per round and database (default 80)
#include "bench/support/BareDatabase.h"
#include "bench/support/BenchData.h"
#include "bench/support/BenchStats.h"
#include "bench/support/LoopbackPeer.h"
#include "bench/support/StackClient.h"

#include <benchmark/benchmark.h>

#include <utility>

using namespace BenchStats;

namespace {

struct Samples {
    std::vector<double> echo, bareInsert, bareDelete, stackInsert, stackDelete;
};

void RoundTrip(benchmark::State& state, const std::string& db, int port, int roundCount)
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

    std::vector<Samples> rounds(static_cast<size_t>(roundCount));
    Samples all;
    long long cycle = 0;
    for (auto _ : state) {
        Samples& s = rounds[RoundOf(cycle++, state.max_iterations, roundCount)];
        Time(s.echo, [&] { peer.Echo(request); });
        Time(s.bareInsert, [&] { bare.Change(true, b.branch, BenchData::BareClient(), service); });
        Time(s.stackInsert, [&] { stack.InsertOne(b.branch, b.client, service, name); });
        Time(s.echo, [&] { peer.Echo(request); });
        Time(s.bareDelete, [&] { bare.Change(false, b.branch, BenchData::BareClient(), service); });
        Time(s.stackDelete, [&] { stack.DeleteCurrent(); });
    }
    std::vector<double> measured, echoes, transactions, baseline, ratios;
    for (const Samples& s : rounds) {
        measured.push_back(Median(s.stackInsert));
        echoes.push_back(Median(s.echo));
        transactions.push_back(Median(s.bareInsert));
        baseline.push_back(echoes.back() + transactions.back());
        ratios.push_back(measured.back() / baseline.back());
        for (auto [to, from] : {std::pair{&all.echo, &s.echo}, std::pair{&all.bareInsert, &s.bareInsert},
                                std::pair{&all.bareDelete, &s.bareDelete}, std::pair{&all.stackInsert, &s.stackInsert},
                                std::pair{&all.stackDelete, &s.stackDelete}}) {
            to->insert(to->end(), from->begin(), from->end());
        }
    }
    const double e = Median(all.echo);
    const double bi = Median(all.bareInsert);
    const double si = Median(all.stackInsert);
    state.counters["echo_us"] = e;
    state.counters["same_insert_us"] = bi;
    state.counters["same_delete_us"] = Median(all.bareDelete);
    state.counters["stack_insert_us"] = si;
    state.counters["stack_delete_us"] = Median(all.stackDelete);
    state.counters["request_bytes"] = static_cast<double>(request);
    state.counters["ratio"] = si / (e + bi);
    SetRounds(state, "stack_insert_us", measured);
    SetRounds(state, "echo_us", echoes);
    SetRounds(state, "same_insert_us", transactions);
    SetRounds(state, "base_us", baseline);
    SetRounds(state, "ratio", ratios);
}

} // namespace

int main(int argc, char** argv)
{
    const int rounds = TakeRounds(argc, argv, 5);
    benchmark::Initialize(&argc, argv);
    const int cycles = EnvInt("BENCH_CYCLES", 80) * rounds;
    for (auto [label, dbVar, portVar] : {std::tuple{"sqlite", "BENCH_SQLITE_DB", "BENCH_SQLITE_PORT"},
                                         std::tuple{"postgresql", "BENCH_PG_URL", "BENCH_PG_PORT"}}) {
        const std::string db = Env(dbVar);
        const int port = EnvInt(portVar, 0);
        if (db.empty() || port == 0) {
            continue;
        }
        benchmark::RegisterBenchmark((std::string("RoundTrip/") + label).c_str(),
                                     [db, port, rounds](benchmark::State& s) { RoundTrip(s, db, port, rounds); })
            ->Iterations(cycles)
            ->Unit(benchmark::kMicrosecond);
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
