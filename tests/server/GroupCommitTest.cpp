// Change packets of several sessions joined into one batch: each session's
// own module on its own connection, as the server makes them, the batch held
// back by a change that waits until the others have queued behind it.
#include "ServerFixture.h"

#include "server/GroupCommit.h"

#include <future>
#include <mutex>
#include <set>
#include <thread>

using namespace std::chrono_literals;

using S = std::vector<std::string>;

TEST_P(ServerTest, ARefusedPacketInABatchIsRefusedAloneWithItsEntryAndTheOthersAreStored)
{
    // One batch at a time on either database, so that the three queue.
    auto group = std::make_shared<GroupCommit>(64, 1);
    struct Session {
        std::unique_ptr<Database> db;
        std::unique_ptr<RdmServCliente> module;
        Variant packet;
        Protocol::CallReply reply;
    };
    std::vector<Session> sessions(3);
    sessions[0].packet = ChangePacketBuilder().Insert("0001", "00001", "00000004").Build();
    sessions[1].packet =
        ChangePacketBuilder().Insert("0001", "00001", "00000003").Insert("0001", "00009", "00000003").Build();
    sessions[2].packet = ChangePacketBuilder().Delete("0001", "00002", "00000001").Build();
    for (size_t i = 0; i < sessions.size(); ++i) {
        sessions[i].db = Database::Open(dbLocation_, {});
        Caller caller;
        caller.operatorName = "op" + std::to_string(i);
        sessions[i].module = std::make_unique<RdmServCliente>(sessions[i].db.get(), caller, group);
    }

    // A change that leads the first batch and waits in it.
    auto leaderDb = Database::Open(dbLocation_, {});
    std::promise<void> started;
    std::promise<void> release;
    std::thread leader([&] {
        auto go = release.get_future().share();
        group->Apply(*leaderDb, [&started, go](Database&, bool) {
            started.set_value();
            go.wait();
        });
    });
    started.get_future().wait();
    std::vector<std::thread> threads;
    for (auto& s : sessions) {
        threads.emplace_back([&s] {
            Protocol::Call call;
            call.descriptor = CallDescriptor("ApCoServClie", {TArgType::atVariantByRef});
            call.args = {s.packet};
            s.reply = s.module->Dispatch(call);
        });
    }
    for (int i = 0; i < 5000 && group->Counts().queued < sessions.size(); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    ASSERT_EQ(group->Counts().queued, sessions.size());
    release.set_value();
    leader.join();
    for (auto& t : threads) {
        t.join();
    }

    // One batch of the three, run again change by change for the refusal.
    const auto counts = group->Counts();
    EXPECT_EQ(counts.batches, 2u);
    EXPECT_EQ(counts.largest, 3u);
    EXPECT_EQ(counts.redone, 1u);
    EXPECT_TRUE(sessions[0].reply.ok) << sessions[0].reply.message;
    EXPECT_TRUE(sessions[2].reply.ok) << sessions[2].reply.message;
    const auto& refused = sessions[1].reply;
    EXPECT_FALSE(refused.ok);
    EXPECT_EQ(refused.faultKind, TFaultKind::fkRefused);
    EXPECT_EQ(refused.faultEntry, 2u);
    EXPECT_NE(refused.message.find("00009"), std::string::npos) << refused.message;
    EXPECT_EQ(Assigned("0001", "00000004"), S{"00001"});
    EXPECT_TRUE(Assigned("0001", "00000003").empty());
    EXPECT_TRUE(Assigned("0001", "00000001").empty());
    // Each stored change recorded once, by its own operator; the refused
    // packet recorded nothing.
    std::vector<std::string> audit;
    for (const auto& r : db_->Query("SELECT NMOPERADOR, CDCLIENTE, CDSERVFILI, DSACAO FROM AUDITORIA "
                                    "ORDER BY NMOPERADOR",
                                    {})) {
        audit.push_back(*r[0] + " " + *r[1] + " " + *r[2] + " " + *r[3]);
    }
    EXPECT_EQ(audit, (S{"op0 00000004 00001 inserted", "op2 00000001 00002 deleted"}));
}

TEST_P(ServerTest, ASecondBatchStartsBesideARunningOneOnlyOnceEnoughChangesWaitAndOnAConnectionOfItsOwn)
{
    if (GetParam() == "sqlite") {
        GTEST_SKIP() << "SQLite runs one batch at a time";
    }
    // Two batches at once, the second only for three changes or more, each
    // on a connection of the group's, neither a session's own.
    auto group = std::make_shared<GroupCommit>(64, 2, 3);
    std::mutex mutex;
    std::set<const Database*> owns;
    std::set<const Database*> ranOn;
    auto note = [&](const Database& db) {
        std::lock_guard lock(mutex);
        ranOn.insert(&db);
    };
    auto open = [&] {
        std::shared_ptr<Database> db = Database::Open(dbLocation_, {});
        owns.insert(db.get());
        return db;
    };
    auto waitFor = [&group](auto done) {
        for (int i = 0; i < 5000 && !done(group->Counts()); ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return done(group->Counts());
    };
    std::promise<void> started;
    std::promise<void> release;
    std::thread running([&, db = open()] {
        auto go = release.get_future().share();
        group->Apply(*db, [&started, &note, go](Database& batchDb, bool) {
            note(batchDb);
            started.set_value();
            go.wait();
        });
    });
    started.get_future().wait();
    std::vector<std::thread> others;
    auto handIn = [&] {
        others.emplace_back(
            [&group, &note, db = open()] { group->Apply(*db, [&note](Database& b, bool) { note(b); }); });
    };

    handIn();
    handIn();
    ASSERT_TRUE(waitFor([](const GroupCommit::Figures& f) { return f.queued == 2; }));
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(group->Counts().batches, 0u) << "two changes started a batch of their own";
    // The third makes them enough: their batch commits while the first runs.
    handIn();
    EXPECT_TRUE(waitFor([](const GroupCommit::Figures& f) { return f.batches == 1 && f.queued == 0; }));
    EXPECT_EQ(group->Counts().largest, 3u);
    release.set_value();
    running.join();
    for (auto& t : others) {
        t.join();
    }
    EXPECT_EQ(group->Counts().batches, 2u);
    EXPECT_EQ(ranOn.size(), 2u);
    for (const Database* db : ranOn) {
        EXPECT_EQ(owns.count(db), 0u) << "a batch ran on a session's own connection";
    }
}

// A row held from outside (an uncommitted insert in psql) stops the change
// that needs it for the lock time-out, and that change alone: another
// operator's change, joined or not into the same batch, is stored at once
// after it, and the stuck one fails to be sent again.
TEST_P(ServerTest, ARowHeldFromOutsideFailsItsOwnChangeWithinTheLockTimeOutAndNoOther)
{
    if (GetParam() != "postgresql") {
        GTEST_SKIP() << "row locks held by another connection: PostgreSQL";
    }
    options_.database.lockTimeoutMs = 500;
    Server();
    auto holder = Database::Open(place_.Location(), {});
    holder->Begin(true);
    holder->Execute("INSERT INTO SERVCLIE (CDFILIAL, CDCLIENTE, CDSERVFILI) VALUES (?, ?, ?)",
                    {"0001", "00000002", "00003"});
    auto stuck = Connect();
    std::string failure;
    std::thread waiting([&] {
        std::vector<RemoteArg> args = {
            RemoteArg::ByRef(ChangePacketBuilder().Insert("0001", "00003", "00000002").Build())};
        try {
            stuck->Call("ApCoServClie", args);
        } catch (const ERemoteRefusal& e) {
            failure = std::string("refused for good: ") + e.what();
        } catch (const ERemoteError& e) {
            failure = e.what();
        }
    });
    std::this_thread::sleep_for(100ms);
    const auto started = std::chrono::steady_clock::now();
    std::string otherFailure;
    try {
        Apply(ChangePacketBuilder().Insert("0001", "00001", "00000002").Build());
    } catch (const std::exception& e) {
        otherFailure = e.what();
    }
    const auto other = std::chrono::steady_clock::now() - started;
    waiting.join();
    EXPECT_TRUE(otherFailure.empty()) << otherFailure;
    holder->Rollback();
    EXPECT_LT(other, 3s);
    // Not done, to be sent again: nothing was wrong with the change itself.
    EXPECT_FALSE(failure.empty());
    EXPECT_EQ(failure.find("refused for good"), std::string::npos) << failure;
    const std::string stored = Snapshot();
    EXPECT_NE(stored.find("0001|00000002|00001|"), std::string::npos);
    EXPECT_EQ(stored.find("0001|00000002|00003|"), std::string::npos);
}

// A change that waited for a row another transaction held, and let go of,
// is stored once it is answered.
TEST_P(ServerTest, AChangeThatWaitedForARowLetGoIsStored)
{
    if (GetParam() != "postgresql") {
        GTEST_SKIP() << "row locks held by another connection: PostgreSQL";
    }
    Server();
    auto holder = Database::Open(place_.Location(), {});
    holder->Begin(true);
    holder->Execute("INSERT INTO SERVCLIE (CDFILIAL, CDCLIENTE, CDSERVFILI) VALUES (?, ?, ?)",
                    {"0001", "00000002", "00003"});
    std::string failure;
    std::thread waiting([this, &failure] {
        try {
            Apply(ChangePacketBuilder().Insert("0001", "00003", "00000002").Build());
        } catch (const std::exception& e) {
            failure = e.what();
        }
    });
    std::this_thread::sleep_for(400ms);
    holder->Rollback();
    waiting.join();
    EXPECT_TRUE(failure.empty()) << failure;
    EXPECT_NE(Snapshot().find("0001|00000002|00003|"), std::string::npos) << Snapshot();
}

TEST_P(ServerTest, SigtermEndsTheServerWithinItsStopTimeOutWhileAChangeWaitsForAHeldRow)
{
    if (GetParam() != "postgresql") {
        GTEST_SKIP() << "row locks held by another connection: PostgreSQL";
    }
    AppServerProcess server(
        {"--db", place_.Location(), "--listen", "127.0.0.1:0", "--lock-timeout", "60", "--stop-timeout", "1"});
    const int port = server.ListeningPort();
    ASSERT_GT(port, 0);
    auto holder = Database::Open(place_.Location(), {});
    holder->Begin(true);
    holder->Execute("INSERT INTO SERVCLIE (CDFILIAL, CDCLIENTE, CDSERVFILI) VALUES (?, ?, ?)",
                    {"0001", "00000002", "00003"});
    RemoteClient stuck;
    stuck.SetCallTimeout(30s);
    stuck.Open("127.0.0.1", port, "Zel.rdmServCliente", "");
    std::thread waiting([&] {
        std::vector<RemoteArg> args = {
            RemoteArg::ByRef(ChangePacketBuilder().Insert("0001", "00003", "00000002").Build())};
        try {
            stuck.Call("ApCoServClie", args);
        } catch (const std::exception&) {
            // Lost with the server: the client settles it as in doubt.
        }
    });
    std::this_thread::sleep_for(300ms);
    const auto started = std::chrono::steady_clock::now();
    server.Signal(SIGTERM);
    EXPECT_EQ(server.Wait(), 0);
    const auto took = std::chrono::steady_clock::now() - started;
    waiting.join();
    holder->Rollback();
    // The server's orphaned transaction ends before the schema goes.
    holder->Begin(true);
    holder->Execute("LOCK TABLE SERVCLIE IN ACCESS EXCLUSIVE MODE", {});
    holder->Commit();
    // The row waited for 60 s; the server went after its second. What it
    // had sent is the database's to finish (a commit sent along with the
    // change, in one pipeline, still runs): the client lost the answer and
    // settles the change as in doubt.
    EXPECT_LT(took, 5s);
}
