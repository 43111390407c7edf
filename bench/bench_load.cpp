// Target 4's load driver: N operators at once, each on its own connection to
// an application server (operators spread in turn over the servers when
// --port lists several), each sending one-row ApCoServClie changes as fast
// as the server answers, inserting and deleting its own assignment in turn,
// for a fixed time. Prints one JSON line: completed changes per second and
// the latencies.
//
// The operators run on --threads threads (2, as pgbench -j 2 beside it), each
// thread serving its operators' connections as they become readable, as
// pgbench serves its clients: the driver stands for operators on machines of
// their own, so it should take from the shared cores no more than pgbench's
// client does. Every call is encoded, framed, sent, and its answer read and
// decoded as the shell's connection does; a fault ends the run as a failure.
//
//   bench_load --port PORT[,PORT...] [--operators 16] [--seconds 10] [--warmup 1] [--threads 2]
//              [--watchers W]
//
// With --watchers, W more connections ask for live updates and read the
// first operator's client (on the last server of --port, so that with two
// servers the updates cross from one to the other); each update a watcher
// receives is timed against the first operator's answers it covers, from
// the answer's arrival to the update's: update_p50_ms and update_p99_ms.
#include "bench/support/BareDatabase.h"
#include "bench/support/BenchData.h"
#include "bench/support/BenchStats.h"
#include "platform/core/Exception.h"
#include "platform/net/FrameBuffer.h"
#include "platform/net/Protocol.h"
#include "server/RdmServCliente.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <thread>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

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

// One operator's connection: the changes it sends in turn and what of its
// answer has arrived.
struct Operator {
    int fd = -1;
    Protocol::Call insert;
    Protocol::Call remove;
    bool inserting = true;
    FrameBuffer received;
    Clock::time_point sent;
};

void SendAll(int fd, const std::string& bytes)
{
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::send(fd, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            throw std::runtime_error(std::string("send: ") + std::strerror(errno));
        }
        done += static_cast<size_t>(n);
    }
}

// Reads what has arrived into op's buffer; false when nothing more will.
bool ReceiveSome(Operator& op)
{
    char buffer[4096];
    const ssize_t n = ::recv(op.fd, buffer, sizeof buffer, 0);
    if (n > 0) {
        op.received.Append(std::string_view(buffer, static_cast<size_t>(n)));
        return true;
    }
    return n < 0 && errno == EINTR;
}

// A blocking connection to the server that has passed the handshake.
int Connect(int port, std::uint32_t flags = 0)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (fd < 0 || ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        throw std::runtime_error("connect to port " + std::to_string(port) + ": " + std::strerror(errno));
    }
    const int one = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    Protocol::Hello hello;
    hello.serverName = RdmServCliente::kServerName;
    hello.flags = flags;
    SendAll(fd, FrameBuffer::Wrap(Protocol::EncodeHello(hello)));
    Operator op;
    op.fd = fd;
    std::optional<std::string> reply;
    while (!(reply = op.received.Next())) {
        if (!ReceiveSome(op)) {
            throw std::runtime_error("the server closed the connection in the handshake");
        }
    }
    const Protocol::HelloReply answer = Protocol::DecodeHelloReply(*reply);
    if (!answer.accepted) {
        throw std::runtime_error("handshake refused: " + answer.message);
    }
    return fd;
}

Protocol::Call ChangeCall(TUpdateStatus status, const std::string& branch, const std::string& client,
                          const std::string& service)
{
    Protocol::Call call;
    call.descriptor = CallDescriptor("ApCoServClie", {TArgType::atVariantByRef});
    call.args = {Change(status, branch, client, service)};
    return call;
}

void SendNext(Operator& op)
{
    op.sent = Clock::now();
    SendAll(op.fd, FrameBuffer::Wrap(Protocol::EncodeCall(op.inserting ? op.insert : op.remove)));
    op.inserting = !op.inserting;
}

struct Outcome {
    std::mutex mutex;
    std::vector<double> latencies;
    std::string firstError;
    std::atomic<long> done{0};
    std::atomic<int> failures{0};

    void Fail(const std::string& what)
    {
        ++failures;
        std::lock_guard lock(mutex);
        if (firstError.empty()) {
            firstError = what;
        }
    }
};

// Lets the operators warm up, measures for seconds, and stops them.
double Measure(std::atomic<bool>& measuring, std::atomic<bool>& stop, double warmup, double seconds)
{
    std::this_thread::sleep_for(std::chrono::duration<double>(warmup));
    auto start = Clock::now();
    measuring = true;
    std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
    measuring = false;
    const double elapsed = Micros(start, Clock::now()) / 1e6;
    stop = true;
    return elapsed;
}

// Operators first.. as threads of their own, each changing its own
// assignment directly on the database.
double RunDirect(const std::string& db, int operators, int first, double warmup, double seconds, Outcome& out)
{
    const BenchBranch& b = BenchData::RoundTrip();
    std::atomic<bool> measuring{false};
    std::atomic<bool> stop{false};
    std::vector<std::thread> threads;
    for (int n = first; n < first + operators; ++n) {
        threads.emplace_back([&, n] {
            std::vector<double> times;
            try {
                BareDatabase bare(db);
                const std::string client = BenchData::Operator(n);
                const std::string service = BenchData::ServiceCode(n);
                for (bool inserting = true; !stop; inserting = !inserting) {
                    const auto sent = Clock::now();
                    bare.Change(inserting, b.branch, client, service);
                    if (measuring) {
                        times.push_back(Micros(sent, Clock::now()));
                        ++out.done;
                    }
                }
            } catch (const std::exception& e) {
                out.Fail(e.what());
            }
            std::lock_guard lock(out.mutex);
            out.latencies.insert(out.latencies.end(), times.begin(), times.end());
        });
    }
    const double elapsed = Measure(measuring, stop, warmup, seconds);
    for (auto& t : threads) {
        t.join();
    }
    return elapsed;
}

// The first operator's answers, in order, while measuring: what the
// watchers' updates are timed against.
struct Answers {
    std::mutex mutex;
    std::vector<Clock::time_point> times;
};

// One watcher: reads the first operator's client with live updates asked for,
// then times every update against the answers it covers.
void Watch(int port, const std::string& branch, const std::string& client, Answers& answers, std::atomic<bool>& stop,
           std::vector<double>& latencies, Outcome& out)
{
    Operator op;
    try {
        op.fd = Connect(port, Protocol::kLiveUpdates);
        Protocol::Call read;
        read.descriptor = CallDescriptor("GetServClie", {TArgType::atTextByValue, TArgType::atTextByValue});
        read.args = {Variant(branch), Variant(client)};
        SendAll(op.fd, FrameBuffer::Wrap(Protocol::EncodeCall(read)));
        size_t covered = 0;
        bool answered = false;
        pollfd fd{op.fd, POLLIN, 0};
        while (!stop) {
            if (::poll(&fd, 1, 100) <= 0) {
                continue;
            }
            if (!ReceiveSome(op)) {
                throw std::runtime_error("the server closed a watcher's connection");
            }
            while (const std::optional<std::string> payload = op.received.Next()) {
                if (!answered) {
                    answered = Protocol::DecodeCallReply(*payload).ok;
                    // Answers before the watch began are no one's to time.
                    std::lock_guard lock(answers.mutex);
                    covered = answers.times.size();
                    continue;
                }
                Protocol::DecodeUpdate(*payload);
                const auto now = Clock::now();
                std::lock_guard lock(answers.mutex);
                for (; covered < answers.times.size() && answers.times[covered] <= now; ++covered) {
                    latencies.push_back(Micros(answers.times[covered], now) / 1000.0);
                }
            }
        }
    } catch (const std::exception& e) {
        out.Fail(std::string("watcher: ") + e.what());
    }
    ::close(op.fd);
}

} // namespace

int main(int argc, char** argv)
{
    std::vector<int> ports;
    std::string direct;
    int first = 1;
    int operators = 16;
    double seconds = 10;
    double warmup = 1;
    int threadCount = 2;
    int watchers = 0;
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
        } else if (std::strcmp(argv[i], "--threads") == 0) {
            threadCount = std::atoi(argv[i + 1]);
        } else if (std::strcmp(argv[i], "--direct") == 0) {
            direct = argv[i + 1];
        } else if (std::strcmp(argv[i], "--first") == 0) {
            first = std::atoi(argv[i + 1]);
        } else if (std::strcmp(argv[i], "--watchers") == 0) {
            watchers = std::atoi(argv[i + 1]);
        }
    }
    if (!direct.empty()) {
        ports = {0};
        if (operators < 1 || first < 1 || first + operators - 1 > BenchData::kOperators || seconds <= 0) {
            std::fprintf(stderr,
                         "usage: bench_load --direct DB [--operators N] [--first N] [--seconds S] "
                         "[--warmup S], operators first..first+N-1 within 1..%d\n",
                         BenchData::kOperators);
            return 2;
        }
    }
    const bool badPort =
        direct.empty() && (ports.empty() || std::any_of(ports.begin(), ports.end(), [](int p) { return p <= 0; }));
    if (badPort || operators < 1 || operators > BenchData::kOperators || seconds <= 0 || threadCount < 1) {
        std::fprintf(stderr,
                     "usage: bench_load --port PORT[,PORT...] [--operators 1..%d] [--seconds S] [--warmup S] "
                     "[--threads N]\n",
                     BenchData::kOperators);
        return 2;
    }

    const BenchBranch& b = BenchData::RoundTrip();
    Outcome out;
    std::atomic<bool> measuring{false};
    std::atomic<bool> stop{false};
    std::vector<std::thread> threads;
    Answers answers;
    std::vector<std::vector<double>> watched(static_cast<size_t>(std::max(watchers, 0)));
    std::vector<std::thread> watching;
    if (direct.empty()) {
        for (int w = 0; w < watchers; ++w) {
            watching.emplace_back([&, w] {
                Watch(ports.back(), b.branch, BenchData::Operator(1), answers, stop, watched[static_cast<size_t>(w)],
                      out);
            });
        }
        // The watchers' reads are answered before the writers begin.
        std::this_thread::sleep_for(std::chrono::milliseconds(watchers > 0 ? 300 : 0));
    }
    threadCount = direct.empty() ? std::min(threadCount, operators) : 0;
    for (int t = 0; t < threadCount; ++t) {
        threads.emplace_back([&, t] {
            std::vector<Operator> mine;
            std::vector<pollfd> waiting;
            std::vector<double> times;
            try {
                // Operators t+1, t+1+threadCount, ... on this thread.
                for (int n = t + 1; n <= operators; n += threadCount) {
                    Operator op;
                    op.fd = Connect(ports[static_cast<size_t>(n - 1) % ports.size()]);
                    const std::string client = BenchData::Operator(n);
                    const std::string service = BenchData::ServiceCode(n);
                    op.insert = ChangeCall(TUpdateStatus::usInserted, b.branch, client, service);
                    op.remove = ChangeCall(TUpdateStatus::usDeleted, b.branch, client, service);
                    mine.push_back(std::move(op));
                    waiting.push_back({mine.back().fd, POLLIN, 0});
                }
                for (auto& op : mine) {
                    SendNext(op);
                }
                while (!stop) {
                    if (::poll(waiting.data(), waiting.size(), 100) < 0 && errno != EINTR) {
                        throw std::runtime_error(std::string("poll: ") + std::strerror(errno));
                    }
                    for (size_t i = 0; i < mine.size(); ++i) {
                        if (waiting[i].revents == 0) {
                            continue;
                        }
                        Operator& op = mine[i];
                        if (!ReceiveSome(op)) {
                            throw std::runtime_error("the server closed an operator's connection");
                        }
                        const std::optional<std::string> payload = op.received.Next();
                        if (!payload) {
                            continue;
                        }
                        const Protocol::CallReply reply = Protocol::DecodeCallReply(*payload);
                        if (!reply.ok) {
                            throw std::runtime_error("ApCoServClie failed: " + reply.message);
                        }
                        if (measuring) {
                            times.push_back(Micros(op.sent, Clock::now()));
                            ++out.done;
                            if (t == 0 && i == 0 && watchers > 0) {
                                std::lock_guard lock(answers.mutex);
                                answers.times.push_back(Clock::now());
                            }
                        }
                        SendNext(op);
                    }
                }
            } catch (const std::exception& e) {
                out.Fail(e.what());
            }
            for (auto& op : mine) {
                ::close(op.fd);
            }
            std::lock_guard lock(out.mutex);
            out.latencies.insert(out.latencies.end(), times.begin(), times.end());
        });
    }
    const double elapsed = direct.empty() ? Measure(measuring, stop, warmup, seconds)
                                          : RunDirect(direct, operators, first, warmup, seconds, out);
    for (auto& t : threads) {
        t.join();
    }
    for (auto& w : watching) {
        w.join();
    }
    std::vector<double> updates;
    for (const auto& w : watched) {
        updates.insert(updates.end(), w.begin(), w.end());
    }
    std::sort(updates.begin(), updates.end());
    auto updatePct = [&](double p) {
        return updates.empty() ? 0.0 : updates[static_cast<size_t>(p * static_cast<double>(updates.size() - 1))];
    };
    std::vector<double>& latencies = out.latencies;
    const long done = out.done;
    const int failures = out.failures;
    std::sort(latencies.begin(), latencies.end());
    auto pct = [&](double p) {
        return latencies.empty() ? 0.0 : latencies[static_cast<size_t>(p * static_cast<double>(latencies.size() - 1))];
    };
    std::printf("{\"operators\": %d, \"servers\": %zu, \"seconds\": %.3f, \"changes\": %ld, \"tps\": %.1f, "
                "\"p50_us\": %.1f, \"p99_us\": %.1f, \"failures\": %d, \"watchers\": %d, \"updates\": %zu, "
                "\"update_p50_ms\": %.1f, \"update_p99_ms\": %.1f}\n",
                operators, direct.empty() ? ports.size() : 0, elapsed, done, static_cast<double>(done) / elapsed,
                pct(0.5), pct(0.99), failures, watchers, updates.size(), updatePct(0.5), updatePct(0.99));
    if (failures > 0) {
        std::fprintf(stderr, "bench_load: %d operators failed; first: %s\n", failures, out.firstError.c_str());
        return 1;
    }
    return 0;
}
