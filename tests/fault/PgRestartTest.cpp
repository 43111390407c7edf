// PostgreSQL restarted while operators work, the application server left
// running: a call that meets the restart fails with a clear error, the next
// ones succeed without restarting anything, and nothing is half stored.
// Runs only when SERVCLIENTE_PG_URL names the test cluster of
// scripts/pg-test-cluster.sh, which it restarts; the data live in a database
// of their own so that other tests on the cluster are not disturbed.
#include "FaultTest.h"

#include <chrono>
#include <cstdlib>
#include <iostream>
#include <thread>

using trace::Errors;

namespace {

const char* kFaultDatabase = "servcliente_fault";

// A lock held by a prepared transaction outlives the session that took it
// and every restart, until it is rolled back.
const char* kLockHolder = "servcliente_fault_lock";

void RollBackLockHolder(Database& db)
{
    if (db.Query("SELECT COUNT(*) FROM pg_prepared_xacts WHERE gid = ?", {kLockHolder}).at(0).at(0) != "0") {
        db.ExecScript(std::string("ROLLBACK PREPARED '") + kLockHolder + "'");
    }
}

bool RestartCluster()
{
    std::string cmd = std::string(TEST_SOURCE_DIR) + "/scripts/pg-test-cluster.sh restart >/dev/null 2>&1";
    return std::system(cmd.c_str()) == 0;
}

} // namespace

class PgRestartTest : public FaultTest {
protected:
    void SetUp() override
    {
        const char* url = std::getenv("SERVCLIENTE_PG_URL");
        if (url == nullptr || *url == '\0') {
            GTEST_SKIP() << "SERVCLIENTE_PG_URL is not set";
        }
        FaultTest::SetUp();
        AddServices(80);
        {
            auto admin = Database::Open(url, {});
            const auto found = admin->Query("SELECT COUNT(*) FROM pg_database WHERE datname = ?", {kFaultDatabase});
            if (found.at(0).at(0) != "0") {
                RollBackLockHolder(*Database::Open(WithDatabase(url, kFaultDatabase), {}));
            }
        }
        // The harness's data, copied into PostgreSQL; the server then runs on
        // PostgreSQL and the test checks it there.
        server_ = std::make_unique<AppServerProcess>(MoveDataTo(url, kFaultDatabase));
        session_["WebPort"] = std::to_string(server_->Port());
        WriteSession(session_);
    }
};

TEST_F(PgRestartTest, ARestartBetweenCommandsCostsAtMostOneCallAndTheNextSucceed)
{
    auto shell = NewShell("operator");
    auto ready = shell->Step(Header(1) + "\nlistclick lsbPossiveis 0\nclick sbtEscolhido");
    ASSERT_TRUE(Errors(ready.lines).empty()) << ready.Text();
    ASSERT_EQ(Assigned("0001", "C0002"), (std::vector<std::string>{"00001"}));

    ASSERT_TRUE(RestartCluster());
    db_ = Database::Open(WithDatabase(std::getenv("SERVCLIENTE_PG_URL"), kFaultDatabase), {});
    auto first = shell->Step("listclick lsbPossiveis 0\nclick sbtEscolhido");
    EXPECT_LE(Errors(first.lines).size(), 1u) << first.Text();
    for (const auto& e : Errors(first.lines)) {
        EXPECT_FALSE(e.empty());
    }
    std::cout << "calls failed after the restart: " << Errors(first.lines).size() << "\n";
    // Whatever met the restart is unsent and goes with the next change; a
    // failed command did not rebuild the list, so its first entry is the
    // same service again.
    std::vector<std::string> expected = {"00001", "00002"};
    if (Errors(first.lines).empty()) {
        expected.push_back("00003");
    }
    auto next = shell->Step("listclick lsbPossiveis 0\nclick sbtEscolhido");
    EXPECT_TRUE(Errors(next.lines).empty()) << next.Text();
    EXPECT_EQ(Assigned("0001", "C0002"), expected);
    ExpectScreenMatchesDatabase(next, "C0002");
}

TEST_F(PgRestartTest, ACallInFlightDuringARestartFailsClearlyAndTheNextMoveCompletes)
{
    auto shell = NewShell("operator");
    ASSERT_EQ(ListCodes(shell->Step(Header(1))).size(), 80u);
    const std::string url = WithDatabase(std::getenv("SERVCLIENTE_PG_URL"), kFaultDatabase);

    // A prepared transaction holds the 10th service of the client inserted
    // and not committed: the server's call for it waits inside its
    // transaction until the restart cuts it off in flight. A plain open
    // transaction would not do: the shutdown may end its session first and
    // let the waiting call commit. The nine calls before it are answered.
    {
        auto locker = Database::Open(url, {});
        locker->ExecScript(std::string("BEGIN; INSERT INTO SERVCLIE (CDFILIAL, CDCLIENTE, CDSERVFILI) "
                                       "VALUES ('0001', 'C0002', '00010'); ") +
                           "PREPARE TRANSACTION '" + kLockHolder + "'");
    }
    ASSERT_TRUE(shell->Send("click sbtTodos\ndump"));
    ShellOutput moving;
    int calls = 0;
    bool restarted = false;
    bool blocked = false;
    while (auto line = shell->NextLine()) {
        moving.lines.push_back(*line);
        if (line->is_object() && line->value("call", "") == "ApCoServClie" && ++calls == 10) {
            for (int i = 0; i < 200 && !blocked; ++i) {
                blocked = db_->Query("SELECT COUNT(*) FROM pg_locks WHERE NOT granted", {}).at(0).at(0) != "0";
                if (!blocked) {
                    std::this_thread::sleep_for(std::chrono::milliseconds(50));
                }
            }
            restarted = RestartCluster();
        }
        if (line->is_object() && line->contains("dump")) {
            break;
        }
    }
    db_ = Database::Open(url, {});
    RollBackLockHolder(*db_);
    ASSERT_TRUE(blocked) << "the server's call never waited on the lock";
    ASSERT_TRUE(restarted);
    ASSERT_TRUE(moving.Dump().is_object()) << moving.Text();

    // The call cut off is the one error; the move stopped there, nothing of
    // that call is stored, and every call answered before it is.
    ExpectOneError(moving);
    // One line for the failure, one saying the change is kept: the
    // database's hints never reach the operator.
    for (const auto& e : Errors(moving.lines)) {
        const auto kept = e.find("\nA alteração foi mantida e vai com a próxima.");
        ASSERT_NE(kept, std::string::npos) << e;
        EXPECT_EQ(e.substr(0, kept).find('\n'), std::string::npos)
            << "the database's hints reached the operator: " << e;
    }
    ExpectUsable(moving);
    const auto sent = PacketEntries(moving.lines);
    const auto all = BranchCodes();
    auto stored = Assigned("0001", "C0002");
    EXPECT_EQ(sent.size(), 10u);
    EXPECT_EQ(stored.size() + 1, sent.size());
    EXPECT_EQ(stored, std::vector<std::string>(all.begin(), all.begin() + static_cast<long>(stored.size())));
    EXPECT_EQ(static_cast<int>(stored.size()), AssignmentRows("C0002"));

    // The server was left running: the next move-all sends the row left
    // unsent and the rest, and the screen shows the database.
    auto next = shell->Step("click sbtTodos");
    EXPECT_TRUE(Errors(next.lines).empty()) << next.Text();
    EXPECT_EQ(Assigned("0001", "C0002"), all);
    EXPECT_EQ(AssignmentRows("C0002"), 80);
    ExpectScreenMatchesDatabase(next, "C0002");
}

// DelTodos's statement, never used before on the session's connection, is
// prepared on it first: after a restart that too connects again.
TEST_F(PgRestartTest, TakingEveryServiceBackAfterARestartSucceedsAtOnce)
{
    auto shell = NewShell("operator");
    auto ready = shell->Step(Header(1) + "\nlistclick lsbPossiveis 0\nclick sbtEscolhido");
    ASSERT_TRUE(Errors(ready.lines).empty()) << ready.Text();

    ASSERT_TRUE(RestartCluster());
    db_ = Database::Open(WithDatabase(std::getenv("SERVCLIENTE_PG_URL"), kFaultDatabase), {});
    auto back = shell->Step("click sbtTodosEsquerda");
    EXPECT_TRUE(Errors(back.lines).empty()) << back.Text();
    EXPECT_TRUE(Assigned("0001", "C0002").empty());
}
