// Sixteen operators sending changes at once while the application server is
// killed outright at random moments and started again. The server joins their
// changes into shared commits; an answer that went out before its commit, or
// a batch that stored part of a change, shows here as an answered change
// missing or an audit row without its change. Each operator sends its failed
// change again once the server is back, as the screen's change log does.
#include "FaultTest.h"

#include "platform/core/Exception.h"
#include "platform/net/RemoteClient.h"
#include "server/RdmServCliente.h"
#include "tests/net/ContractRows.h"

#include <atomic>
#include <cstdlib>
#include <map>
#include <random>
#include <set>
#include <stdexcept>
#include <thread>

namespace {

constexpr int kOperators = 16;
constexpr int kChangesEach = 150;
constexpr int kKills = 5;

Variant Insert(const std::string& service)
{
    DataPacket p;
    p.fields = contractrows::Assigned().PacketFields();
    p.rows.push_back({TUpdateStatus::usInserted, contractrows::AssignedRow("0001", service, "C0002", "Servico"), {}});
    return Variant(std::move(p));
}

} // namespace

class GroupCommitKillTest : public FaultTest {
protected:
    // Runs the operators against a server on location, killing it kKills
    // times, then checks the database.
    void WriteThroughKills(const std::string& location)
    {
        const auto codes = BranchCodes();
        ASSERT_GE(codes.size(), static_cast<size_t>(kOperators * kChangesEach));
        server_ = std::make_unique<AppServerProcess>(location);
        std::atomic<int> port{server_->Port()};
        std::atomic<bool> stop{false};
        std::atomic<int> refusals{0};
        std::atomic<int> interrupted{0};
        std::atomic<int> unfinished{0};
        std::atomic<int> done{0};
        // A server that stops answering for good fails the test, not hangs it.
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        std::vector<std::vector<std::string>> answered(kOperators);
        std::vector<std::thread> operators;
        for (int op = 0; op < kOperators; ++op) {
            operators.emplace_back([&, op] {
                std::unique_ptr<RemoteClient> client;
                // Each operator goes on until the kills are over and its
                // last change is answered.
                for (int i = 0; i < kChangesEach && !(stop && i > 0 && client);) {
                    if (std::chrono::steady_clock::now() > deadline) {
                        ++unfinished;
                        return;
                    }
                    const int at = port.load();
                    try {
                        if (!client) {
                            if (at == 0) {
                                throw std::runtime_error("the server is down");
                            }
                            client = std::make_unique<RemoteClient>();
                            client->SetConnectTimeout(std::chrono::seconds(2));
                            client->SetCallTimeout(std::chrono::seconds(5));
                            client->Open("127.0.0.1", at, RdmServCliente::kServerName, "");
                        }
                        const std::string& code = codes[static_cast<size_t>(op * kChangesEach + i)];
                        std::vector<RemoteArg> args = {RemoteArg::ByRef(Insert(code))};
                        client->Call("ApCoServClie", args);
                        answered[static_cast<size_t>(op)].push_back(code);
                        ++done;
                        ++i;
                    } catch (const ERemoteRefusal&) {
                        ++refusals;
                        return;
                    } catch (const std::exception&) {
                        if (client) {
                            ++interrupted;
                        }
                        client.reset();
                        std::this_thread::sleep_for(std::chrono::milliseconds(stop ? 20 : 5));
                    }
                }
            });
        }
        std::mt19937 random(std::random_device{}());
        const int total = kOperators * kChangesEach;
        for (int k = 0; k < kKills; ++k) {
            // Each kill falls while changes are still coming, at a random
            // moment once another share of them was answered: at a fixed
            // pace a fast server could finish before the first kill.
            const int share = (k + 1) * total / (kKills + 1);
            while (done < share && std::chrono::steady_clock::now() < deadline) {
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(std::uniform_int_distribution(0, 5)(random)));
            port = 0;
            server_->Kill();
            server_ = std::make_unique<AppServerProcess>(location);
            port = server_->Port();
        }
        stop = true;
        for (auto& t : operators) {
            t.join();
        }
        EXPECT_EQ(refusals, 0);
        EXPECT_EQ(unfinished, 0);
        // The kills met calls in flight.
        EXPECT_GT(interrupted, 0);

        // Every change was answered in the end, each stored once with one
        // audit row, and nothing else was recorded.
        std::multiset<std::string> expected;
        for (const auto& list : answered) {
            expected.insert(list.begin(), list.end());
        }
        std::multiset<std::string> stored;
        for (const auto& row : Db().Query("SELECT CDSERVFILI FROM SERVCLIE WHERE CDCLIENTE = ?", {"C0002"})) {
            stored.insert(*row[0]);
        }
        EXPECT_EQ(stored, expected);
        std::multiset<std::string> audited;
        for (const auto& row : Db().Query("SELECT CDSERVFILI, DSACAO, CDCLIENTE, CDFILIAL, NRLINHAS FROM AUDITORIA "
                                          "WHERE NMMETODO = ?",
                                          {"ApCoServClie"})) {
            EXPECT_EQ(row[1], "inserted");
            EXPECT_EQ(row[2], "C0002");
            EXPECT_EQ(row[3], "0001");
            EXPECT_EQ(row[4], "1");
            audited.insert(*row[0]);
        }
        EXPECT_EQ(audited, expected);
    }
};

TEST_F(GroupCommitKillTest, SixteenOperatorsThroughKillsOnSqliteStoreEveryAnsweredChangeOnce)
{
    AddServices(kOperators * kChangesEach + 5);
    WriteThroughKills(dbPath_);
}

TEST_F(GroupCommitKillTest, SixteenOperatorsThroughKillsOnPostgresStoreEveryAnsweredChangeOnce)
{
    const char* url = std::getenv("SERVCLIENTE_PG_URL");
    if (url == nullptr || *url == '\0') {
        GTEST_SKIP() << "SERVCLIENTE_PG_URL is not set";
    }
    AddServices(kOperators * kChangesEach + 5);
    WriteThroughKills(MoveDataTo(url, "servcliente_group_kill"));
}
