// Two application servers on one PostgreSQL database, the session naming
// both. One is killed in the middle of a move-all: its operator sees the one
// failure of the call in flight and finishes on the other server, the
// operators already on the other server go on undisturbed, and nothing is
// lost or stored twice. Runs only when SERVCLIENTE_PG_URL names a PostgreSQL
// cluster; the data live in a database of their own.
#include "FaultTest.h"

#include <cstdlib>
#include <thread>

#include <unistd.h>

using trace::Errors;

namespace {

// Named after the process, so that runs from several trees on one cluster
// keep apart.
const std::string kTwoDatabase = "servcliente_two_" + std::to_string(::getpid());
constexpr int kServices = 300;
constexpr int kKillAfterCall = 100;

std::string Address(const AppServerProcess& server)
{
    return "127.0.0.1:" + std::to_string(server.Port());
}

} // namespace

class TwoServersTest : public FaultTest {
protected:
    void SetUp() override
    {
        const char* url = std::getenv("SERVCLIENTE_PG_URL");
        if (url == nullptr || *url == '\0') {
            GTEST_SKIP() << "SERVCLIENTE_PG_URL is not set";
        }
        FaultTest::SetUp();
        AddServices(kServices);
        // The harness's data, copied into PostgreSQL; both servers run there.
        const std::string database = MoveDataTo(url, kTwoDatabase);
        server_ = std::make_unique<AppServerProcess>(database);
        other_ = std::make_unique<AppServerProcess>(database);
        session_["WebURL"] = Address(*server_) + ", " + Address(*other_);
        WriteSession(session_);
    }

    void TearDown() override
    {
        other_.reset();
        FaultTest::TearDown();
        if (const char* url = std::getenv("SERVCLIENTE_PG_URL"); url != nullptr && *url != '\0') {
            db_.reset();
            Database::Open(url, {})->Execute("DROP DATABASE IF EXISTS " + kTwoDatabase, {});
        }
    }

    std::unique_ptr<AppServerProcess> other_;
};

TEST_F(TwoServersTest, AServerKilledDuringMoveAllLosesNothingAndItsOperatorsFinishOnTheOther)
{
    // Two operators on the first server (one moving, one idle), one on the
    // second, moving another client's services at the same time.
    auto moving = NewShell("moving");
    auto idle = NewShell("idle");
    auto elsewhere = NewShell("elsewhere");
    ASSERT_EQ(ListCodes(moving->Step(Header(1))).size(), static_cast<size_t>(kServices));
    ASSERT_FALSE(ListCodes(idle->Step(Header(1))).empty());
    auto there = elsewhere->Step("session WebURL " + Address(*other_) + "," + Address(*server_) + "\n" + Header(2));
    ASSERT_TRUE(Errors(there.lines).empty()) << there.Text();

    ShellOutput alongside;
    std::thread other([&] { alongside = elsewhere->Step("click sbtTodos"); });
    ASSERT_TRUE(moving->Send("click sbtTodos\ndump"));
    ShellOutput failed;
    int calls = 0;
    while (auto line = moving->NextLine()) {
        failed.lines.push_back(*line);
        if (line->is_object() && line->value("call", "") == "ApCoServClie" && ++calls == kKillAfterCall) {
            Server().Kill();
        }
        if (line->is_object() && line->contains("dump")) {
            break;
        }
    }
    other.join();
    ASSERT_TRUE(failed.Dump().is_object()) << "the shell stopped answering\n" << failed.Text();
    EXPECT_TRUE(ScriptTrouble(failed.lines).empty()) << failed.Text();
    ExpectOneError(failed);
    ExpectUsable(failed);

    // The operator on the second server never noticed.
    EXPECT_TRUE(Errors(alongside.lines).empty()) << alongside.Text();
    EXPECT_EQ(Assigned("0001", "C0003"), BranchCodes());
    EXPECT_EQ(AssignmentRows("C0003"), kServices);

    // The next command goes to the second server and carries the unsent row.
    auto finished = moving->Step("click sbtTodos");
    EXPECT_TRUE(Errors(finished.lines).empty()) << finished.Text();
    EXPECT_TRUE(ScriptTrouble(finished.lines).empty()) << finished.Text();
    EXPECT_EQ(Assigned("0001", "C0002"), BranchCodes());
    EXPECT_EQ(AssignmentRows("C0002"), kServices);
    ExpectScreenMatchesDatabase(finished, "C0002");

    // The idle operator's next command opens on the second server, unseen.
    auto back = idle->Step("focus medCdFilial\nfocus lsbPossiveis\ncellclick dbgPadrao 0\nclick sbtUmEsquerda");
    EXPECT_TRUE(Errors(back.lines).empty()) << back.Text();
    EXPECT_EQ(AssignmentRows("C0002"), kServices - 1);
    ExpectScreenMatchesDatabase(back, "C0002");
}

TEST_F(TwoServersTest, AMoveThroughOneServerReachesAScreenOnTheOtherAndALostListenerRereadsOnce)
{
    auto watcher = NewShell("watcher");
    auto writer = NewShell("writer");
    const auto ready = watcher->Step("session WebURL " + Address(*server_) + "\n" + Header(1));
    ASSERT_TRUE(Errors(ready.lines).empty()) << ready.Text();
    auto wrote = writer->Step("session WebURL " + Address(*other_) + "\n" + Header(1) +
                              "\nlistclick lsbPossiveis 0\nclick sbtEscolhido");
    ASSERT_TRUE(Errors(wrote.lines).empty()) << wrote.Text();

    auto seen = watcher->Step("wait 5000");
    EXPECT_EQ(trace::GridCodes(seen), Assigned("0001", "C0002")) << seen.Text();
    EXPECT_EQ(Assigned("0001", "C0002").size(), 1u);

    // Both servers' listening connections are cut: each listens again and
    // tells its screens to read their client again, which they do once.
    db_->Query("SELECT pg_terminate_backend(pid) FROM pg_stat_activity WHERE application_name = "
               "'servcliente-listener'",
               {});
    auto reread = watcher->Step("wait 10000");
    const auto calls = trace::Calls(reread.lines);
    EXPECT_EQ(std::count(calls.begin(), calls.end(), "GetServClie"), 1) << reread.Text();
    ExpectScreenMatchesDatabase(reread, "C0002");
}
