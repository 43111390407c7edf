// Eight operators, each in a shell of their own and each on a client of their
// own, moving services against one application server for a bounded time
// (SERVCLIENTE_SOAK_SECONDS, 180 by default). Every command ends with the
// screen showing exactly what the operator's moves should have stored; no
// error is ever shown; the server's memory stays flat.
#include "FaultTest.h"

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <dirent.h>
#include <fstream>
#include <iostream>
#include <mutex>
#include <sstream>
#include <thread>
#include <unistd.h>

using trace::Errors;

namespace {

constexpr int kOperators = 8;
constexpr int kServices = 30;

// The resident memory of the application server this test process started,
// in kB; 0 when none is found.
long ServerRssKb()
{
    DIR* proc = opendir("/proc");
    if (proc == nullptr) {
        return 0;
    }
    long rss = 0;
    while (dirent* e = readdir(proc)) {
        std::string pid = e->d_name;
        if (pid.find_first_not_of("0123456789") != std::string::npos) {
            continue;
        }
        std::ifstream status("/proc/" + pid + "/status");
        std::string line;
        std::string name;
        long parent = -1;
        long vmRss = 0;
        while (std::getline(status, line)) {
            std::istringstream in(line);
            std::string key;
            in >> key;
            if (key == "Name:") {
                in >> name;
            } else if (key == "PPid:") {
                in >> parent;
            } else if (key == "VmRSS:") {
                in >> vmRss;
            }
        }
        if (name == "appserver" && parent == static_cast<long>(getpid())) {
            rss = vmRss;
        }
    }
    closedir(proc);
    return rss;
}

int SoakSeconds()
{
    const char* s = std::getenv("SERVCLIENTE_SOAK_SECONDS");
    int seconds = s != nullptr ? std::atoi(s) : 180;
    return seconds > 0 ? seconds : 180;
}

} // namespace

class SoakTest : public FaultTest {};

TEST_F(SoakTest, EightOperatorsMovingServicesLoseNothingAndTheServerStaysFlat)
{
    AddServices(kServices);
    AddClients(kOperators);
    const auto all = BranchCodes();
    ASSERT_EQ(all.size(), static_cast<size_t>(kServices));

    std::vector<std::unique_ptr<LiveShell>> shells;
    for (int i = 0; i < kOperators; ++i) {
        shells.push_back(NewShell("operator" + std::to_string(i)));
        auto ready = shells.back()->Step(Header(2 + i));
        ASSERT_EQ(ListCodes(ready).size(), static_cast<size_t>(kServices)) << ready.Text();
    }

    // One round of an operator: every service to the client and back, then
    // one service to the client and back. After each command the screen has
    // rebuilt from the server, so what it shows is what is stored.
    struct Command {
        const char* script;
        int expectedAssigned; // -1: every service
    };
    const Command round[] = {
        {"click sbtTodos", -1},
        {"click sbtTodosEsquerda", 0},
        {"listclick lsbPossiveis 0\nclick sbtEscolhido", 1},
        {"cellclick dbgPadrao 0\nclick sbtUmEsquerda", 0},
    };

    std::mutex mutex;
    std::vector<std::string> failures;
    std::atomic<long> commands{0};
    std::atomic<bool> warmedUp{false};
    std::atomic<int> warm{0};
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(SoakSeconds());

    auto work = [&](int index) {
        LiveShell& shell = *shells[static_cast<size_t>(index)];
        bool first = true;
        while (first || std::chrono::steady_clock::now() < deadline) {
            for (const auto& c : round) {
                auto out = shell.Step(c.script);
                ++commands;
                std::vector<std::string> expected;
                if (c.expectedAssigned < 0) {
                    expected = all;
                } else if (c.expectedAssigned == 1) {
                    expected = {all.front()};
                }
                std::string problem;
                if (!out.Dump().is_object()) {
                    problem = "the shell stopped answering";
                } else if (!Errors(out.lines).empty()) {
                    problem = "error shown: " + Errors(out.lines).front();
                } else if (trace::GridCodes(out) != expected) {
                    problem = "grid holds " + std::to_string(trace::GridCodes(out).size()) + " services, not " +
                              std::to_string(expected.size());
                } else if (!ScriptTrouble(out.lines).empty()) {
                    problem = ScriptTrouble(out.lines).front().dump();
                }
                if (!problem.empty()) {
                    std::lock_guard<std::mutex> lock(mutex);
                    failures.push_back("operator " + std::to_string(index) + " after '" + c.script + "': " + problem);
                    return;
                }
            }
            if (first && ++warm == kOperators) {
                warmedUp = true;
            }
            first = false;
        }
    };

    std::vector<std::thread> threads;
    for (int i = 0; i < kOperators; ++i) {
        threads.emplace_back(work, i);
    }
    // Memory is measured once every operator has done one round, when the
    // server's caches and buffers have been used.
    while (!warmedUp && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    const long rssStart = ServerRssKb();
    for (auto& t : threads) {
        t.join();
    }
    const long rssEnd = ServerRssKb();

    for (const auto& f : failures) {
        ADD_FAILURE() << f;
    }
    // Each operator ends a round with nothing assigned: nothing lost, nothing
    // doubled, nothing left behind.
    for (int i = 1; i <= kOperators; ++i) {
        std::string client = "C" + std::to_string(1000 + i);
        EXPECT_TRUE(Assigned("0001", client).empty()) << client;
        EXPECT_EQ(AssignmentRows(client), 0) << client;
    }
    ASSERT_TRUE(warmedUp);
    ASSERT_GT(rssStart, 0);
    EXPECT_LE(rssEnd, rssStart + rssStart / 4 + 4096)
        << "server memory grew from " << rssStart << " kB to " << rssEnd << " kB";
    RecordProperty("commands", static_cast<int>(commands.load()));
    RecordProperty("rss_start_kb", static_cast<int>(rssStart));
    RecordProperty("rss_end_kb", static_cast<int>(rssEnd));
    std::cout << "soak: " << kOperators << " operators, " << commands.load() << " commands in " << SoakSeconds()
              << " s; server RSS " << rssStart << " kB -> " << rssEnd << " kB\n";
}
