// Targets 2 and 3, measured on the real screen loaded in-process against a
// running application server.
//
// MontaLista (the verify button: MontaLista, then the transfer buttons and
// the grid's data source) with 1,000 + 1,000 and 10,000 + 10,000 rows, in
// turn on one screen, against the same two selections run directly on the
// database plus one loopback transfer of the bytes both answers carried, each
// cycle running all four.
//
// Move-all of 1,000 services: the time between consecutive ApCoServClie sends
// is the cost of one service; its median over the whole command, over the
// first 100 and over the last 100 services, against the round trip of target 1
// measured in the same cycle (25 before the move-all and 25 after it).
// Move-all-back (one DelTodos) restores the data.
//
// The cycles are split into rounds (three cycles of the lists, one move-all a
// round); each round's figures are counters of their own (ratio_10k.1, ...).
//
//   bench_screen [--rounds N (default 5)] [Google Benchmark's options]
//   BENCH_WORK: a folder for the screen's session and local database
//   BENCH_SQLITE_DB, BENCH_SQLITE_PORT, BENCH_PG_URL, BENCH_PG_PORT: as bench_calls
#include "bench/support/BareDatabase.h"
#include "bench/support/BenchData.h"
#include "bench/support/BenchStats.h"
#include "bench/support/LoopbackPeer.h"
#include "bench/support/ScreenRig.h"
#include "bench/support/StackClient.h"
#include "platform/controls/TListBox.h"
#include "platform/data/TClientDataSet.h"
#include "platform/net/CallTrace.h"

#include <benchmark/benchmark.h>

#include <array>

using namespace BenchStats;

namespace {

// The selections of GetServico and GetServClie, as the server runs them.
const char* kServico = "SELECT s.CDSERVFILI, s.CDFILIAL, s.NMSERVICO FROM SERVFILI s WHERE s.CDFILIAL = ? "
                       "AND NOT EXISTS (SELECT 1 FROM SERVCLIE c WHERE c.CDFILIAL = s.CDFILIAL "
                       "AND c.CDSERVFILI = s.CDSERVFILI AND c.CDCLIENTE = ?)";
const char* kServClie = "SELECT c.CDFILIAL, c.CDSERVFILI, c.CDCLIENTE, s.NMSERVICO FROM SERVCLIE c "
                        "JOIN SERVFILI s ON s.CDFILIAL = c.CDFILIAL AND s.CDSERVFILI = c.CDSERVFILI "
                        "WHERE c.CDFILIAL = ? AND c.CDCLIENTE = ?";

struct Target {
    std::string label;
    std::string db;
    int port = 0;
};

std::string RigDir(const Target& t, const std::string& what)
{
    return Env("BENCH_WORK", "/tmp/servcliente-bench") + "/screen-" + t.label + "-" + what;
}

// Both sizes in one screen, in turn, so that the growth from 1,000 to 10,000
// rows is measured under the same load as the rows themselves.
void MontaLista(benchmark::State& state, const Target& t, int roundCount)
{
    const BenchBranch* branches[] = {&BenchData::Lists1k(), &BenchData::Lists10k()};
    BareDatabase bare(t.db);
    LoopbackPeer peer;
    size_t bytes[2] = {0, 0};
    for (int i = 0; i < 2; ++i) {
        StackClient probe("127.0.0.1", t.port);
        size_t servico = 0;
        size_t servClie = 0;
        probe.Fetch("GetServico", branches[i]->branch, branches[i]->client, &servico);
        probe.Fetch("GetServClie", branches[i]->branch, branches[i]->client, &servClie);
        bytes[i] = servico + servClie;
    }
    ScreenRig rig(RigDir(t, "lists"), t.port, branches[0]->branch);
    rig.Open();
    rig.ChooseClient();
    auto* list = rig.Get<TListBox>("lsbPossiveis");
    auto* assigned = rig.Get<TClientDataSet>("cdsServClie");

    std::vector<double> screen[2], base[2];
    // Per round: the screen's and the baseline's samples of both sizes.
    std::vector<std::array<std::vector<double>, 4>> rounds(static_cast<size_t>(roundCount));
    long long cycle = 0;
    for (auto _ : state) {
        auto& round = rounds[RoundOf(cycle++, state.max_iterations, roundCount)];
        for (int i = 0; i < 2; ++i) {
            const BenchBranch& b = *branches[i];
            state.PauseTiming();
            rig.ChangeBranch(b.branch);
            state.ResumeTiming();
            if (list->Count() != b.services - b.assigned || assigned->RecordCount() != b.assigned) {
                state.SkipWithError("the screen did not load the branch's lists");
                return;
            }
            Time(screen[i], [&] { rig.Click("sbtVerificar"); });
            Time(base[i], [&] {
                bare.Select(kServico, {b.branch, b.client});
                bare.Select(kServClie, {b.branch, b.client});
                peer.Fetch(bytes[i]);
            });
            if (list->Count() != b.services - b.assigned) {
                state.SkipWithError("the list lost entries");
                return;
            }
            round[2 * static_cast<size_t>(i)].push_back(screen[i].back());
            round[2 * static_cast<size_t>(i) + 1].push_back(base[i].back());
        }
    }
    std::vector<double> small, large, base10k, ratios, growths;
    for (const auto& round : rounds) {
        small.push_back(Median(round[0]));
        large.push_back(Median(round[2]));
        base10k.push_back(Median(round[3]));
        ratios.push_back(large.back() / base10k.back());
        growths.push_back(large.back() / small.back());
    }
    SetRounds(state, "montalista_1k_us", small);
    SetRounds(state, "montalista_10k_us", large);
    SetRounds(state, "base_10k_us", base10k);
    SetRounds(state, "ratio_10k", ratios);
    SetRounds(state, "growth", growths);
    for (int i = 0; i < 2; ++i) {
        const std::string size = i == 0 ? "1k" : "10k";
        state.counters["montalista_" + size + "_us"] = Median(screen[i]);
        state.counters["base_" + size + "_us"] = Median(base[i]);
        state.counters["answer_" + size + "_bytes"] = static_cast<double>(bytes[i]);
        state.counters["ratio_" + size] = Median(screen[i]) / Median(base[i]);
    }
    state.counters["growth"] = Median(screen[1]) / Median(screen[0]);
}

void MoveAll(benchmark::State& state, const Target& t)
{
    const BenchBranch& b = BenchData::MoveAll();
    const BenchBranch& rt = BenchData::RoundTrip();
    const std::string rtService = BenchData::ServiceCode(2);
    StackClient stack("127.0.0.1", t.port);
    stack.Load(rt.branch, rt.client);
    ScreenRig rig(RigDir(t, "move"), t.port, b.branch);
    rig.Open();
    rig.ChooseClient();
    auto* list = rig.Get<TListBox>("lsbPossiveis");
    auto* assigned = rig.Get<TClientDataSet>("cdsServClie");

    std::vector<BenchStats::Clock::time_point> sends;
    sends.reserve(2 * static_cast<size_t>(b.services));
    auto previous =
        CallTrace::Set([&sends](const std::string& method, const std::string&, const std::vector<Variant>&) {
            if (method == "ApCoServClie") {
                sends.push_back(BenchStats::Clock::now());
            }
        });
    std::vector<double> all, first, last, roundTrip, command;
    std::vector<double> perService, roundTrips, firsts, lasts, ratios, growths;
    for (auto _ : state) {
        const size_t from = all.size();
        const size_t fromFirst = first.size();
        const size_t fromLast = last.size();
        const size_t fromRoundTrip = roundTrip.size();
        if (list->Count() != b.services || assigned->RecordCount() != 0) {
            state.SkipWithError("the screen does not start from an empty client");
            break;
        }
        // The round trips bracket the move-all, half before and half after, so
        // that a change of the disk's pace during it weighs on both sides.
        auto measureRoundTrips = [&] {
            for (int i = 0; i < 25; ++i) {
                Time(roundTrip, [&] { stack.InsertOne(rt.branch, rt.client, rtService, "Ida e volta"); });
                stack.DeleteCurrent();
            }
        };
        measureRoundTrips();
        sends.clear();
        Time(command, [&] { rig.Click("sbtTodos"); });
        if (sends.size() != static_cast<size_t>(b.services) || assigned->RecordCount() != b.services) {
            state.SkipWithError("move-all did not send one ApCoServClie per service");
            break;
        }
        measureRoundTrips();
        for (size_t i = 1; i < sends.size(); ++i) {
            double us = Micros(sends[i - 1], sends[i]);
            all.push_back(us);
            if (i <= 100) {
                first.push_back(us);
            }
            if (i + 100 >= sends.size()) {
                last.push_back(us);
            }
        }
        auto tail = [](const std::vector<double>& v, size_t at) {
            return Median(std::vector<double>(v.begin() + static_cast<long>(at), v.end()));
        };
        perService.push_back(tail(all, from));
        roundTrips.push_back(tail(roundTrip, fromRoundTrip));
        firsts.push_back(tail(first, fromFirst));
        lasts.push_back(tail(last, fromLast));
        ratios.push_back(perService.back() / roundTrips.back());
        growths.push_back(lasts.back() / firsts.back());
        state.PauseTiming();
        rig.Click("sbtTodosEsquerda");
        state.ResumeTiming();
    }
    CallTrace::Set(previous);
    SetRounds(state, "per_service_us", perService);
    SetRounds(state, "roundtrip_us", roundTrips);
    SetRounds(state, "first_us", firsts);
    SetRounds(state, "last_us", lasts);
    SetRounds(state, "ratio", ratios);
    SetRounds(state, "growth", growths);
    state.counters["per_service_us"] = Median(all);
    state.counters["first_us"] = Median(first);
    state.counters["last_us"] = Median(last);
    state.counters["roundtrip_us"] = Median(roundTrip);
    state.counters["command_ms"] = Median(command) / 1000;
    state.counters["ratio"] = Median(all) / Median(roundTrip);
    state.counters["growth"] = Median(last) / Median(first);
}

} // namespace

int main(int argc, char** argv)
{
    const int rounds = TakeRounds(argc, argv, 5);
    benchmark::Initialize(&argc, argv);
    std::vector<Target> targets;
    for (auto [label, dbVar, portVar] : {std::tuple{"sqlite", "BENCH_SQLITE_DB", "BENCH_SQLITE_PORT"},
                                         std::tuple{"postgresql", "BENCH_PG_URL", "BENCH_PG_PORT"}}) {
        Target t{label, Env(dbVar), EnvInt(portVar, 0)};
        if (!t.db.empty() && t.port != 0) {
            targets.push_back(t);
        }
    }
    for (const Target& t : targets) {
        benchmark::RegisterBenchmark(("MontaLista/" + t.label).c_str(),
                                     [t, rounds](benchmark::State& s) { MontaLista(s, t, rounds); })
            ->Iterations(3 * rounds)
            ->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark(("MoveAll/" + t.label).c_str(), [t](benchmark::State& s) { MoveAll(s, t); })
            ->Iterations(rounds)
            ->Unit(benchmark::kMillisecond);
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
