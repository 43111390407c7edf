// Target 4's load driver: N operators at once, each on its own connection to
// an application server (operators spread in turn over the servers when
// --port lists several), each sending one-row ApCoServClie changes as fast
// as the server answers, inserting and deleting its own assignment in turn,
// for a fixed time. Prints one JSON line: completed changes per second and
// the latencies.
//
//   bench_load --port PORT[,PORT...] [--operators 16] [--seconds 10] [--warmup 1]
#include "bench/support/BenchData.h"
#include "bench/support/BenchStats.h"
#include "platform/net/RemoteClient.h"
#include "server/RdmServCliente.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <thread>

using namespace BenchStats;

namespace {

PacketField Field(const char* name, int size)
{
    PacketField f;
    f.name = name;
    f.size = size;
    return f;
}

// The change packet the screen's client data set sends for one row.
Variant Change(TUpdateStatus status, const std::string& branch, const std::string& client, const std::string& service)
{
    DataPacket p;
    p.fields = {Field("CDFILIAL", 4), Field("CDSERVFILI", 5), Field("CDCLIENTE", 21), Field("NMSERVICO", 40)};
    PacketRow row;
    row.status = status;
    row.values = {branch, service, client, std::string("Carga simultanea")};
    p.rows.push_back(row);
    return Variant(std::move(p));
}

} // namespace

int main(int argc, char** argv)
{
    std::vector<int> ports;
    int operators = 16;
    double seconds = 10;
    double warmup = 1;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--port") == 0) {
            for (const char* p = argv[i + 1]; p != nullptr && *p != '\0';) {
                ports.push_back(std::atoi(p));
                p = std::strchr(p, ',');
                p = p != nullptr ? p + 1 : nullptr;
            }
        } else if (std::strcmp(argv[i], "--operators") == 0) {
            operators = std::atoi(argv[i + 1]);
        } else if (std::strcmp(argv[i], "--seconds") == 0) {
            seconds = std::atof(argv[i + 1]);
        } else if (std::strcmp(argv[i], "--warmup") == 0) {
            warmup = std::atof(argv[i + 1]);
        }
    }
    const bool badPort = ports.empty() || std::any_of(ports.begin(), ports.end(), [](int p) { return p <= 0; });
    if (badPort || operators < 1 || operators > BenchData::kOperators || seconds <= 0) {
        std::fprintf(stderr, "usage: bench_load --port PORT[,PORT...] [--operators 1..%d] [--seconds S] [--warmup S]\n",
                     BenchData::kOperators);
        return 2;
    }

    const BenchBranch& b = BenchData::RoundTrip();
    std::atomic<bool> measuring{false};
    std::atomic<bool> stop{false};
    std::atomic<long> done{0};
    std::atomic<int> failures{0};
    std::mutex mutex;
    std::vector<double> latencies;
    std::string firstError;
    std::vector<std::thread> threads;
    for (int n = 1; n <= operators; ++n) {
        threads.emplace_back([&, n] {
            const std::string client = BenchData::Operator(n);
            const std::string service = BenchData::ServiceCode(n);
            std::vector<double> mine;
            try {
                RemoteClient remote;
                const int port = ports[static_cast<size_t>(n - 1) % ports.size()];
                remote.Open("127.0.0.1", port, RdmServCliente::kServerName, "");
                const Variant insert = Change(TUpdateStatus::usInserted, b.branch, client, service);
                const Variant remove = Change(TUpdateStatus::usDeleted, b.branch, client, service);
                bool inserting = true;
                while (!stop) {
                    std::vector<RemoteArg> args{RemoteArg::ByRef(inserting ? insert : remove)};
                    auto start = Clock::now();
                    remote.Call("ApCoServClie", args);
                    if (measuring) {
                        mine.push_back(Micros(start, Clock::now()));
                        ++done;
                    }
                    inserting = !inserting;
                }
            } catch (const std::exception& e) {
                ++failures;
                std::lock_guard lock(mutex);
                if (firstError.empty()) {
                    firstError = e.what();
                }
            }
            std::lock_guard lock(mutex);
            latencies.insert(latencies.end(), mine.begin(), mine.end());
        });
    }
    std::this_thread::sleep_for(std::chrono::duration<double>(warmup));
    auto start = Clock::now();
    measuring = true;
    std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
    measuring = false;
    const double elapsed = Micros(start, Clock::now()) / 1e6;
    stop = true;
    for (auto& t : threads) {
        t.join();
    }
    std::sort(latencies.begin(), latencies.end());
    auto pct = [&](double p) {
        return latencies.empty() ? 0.0 : latencies[static_cast<size_t>(p * static_cast<double>(latencies.size() - 1))];
    };
    std::printf("{\"operators\": %d, \"servers\": %zu, \"seconds\": %.3f, \"changes\": %ld, \"tps\": %.1f, "
                "\"p50_us\": %.1f, \"p99_us\": %.1f, \"failures\": %d}\n",
                operators, ports.size(), elapsed, done.load(), static_cast<double>(done.load()) / elapsed, pct(0.5),
                pct(0.99), failures.load());
    if (failures > 0) {
        std::fprintf(stderr, "bench_load: %d operators failed; first: %s\n", failures.load(), firstError.c_str());
        return 1;
    }
    return 0;
}
