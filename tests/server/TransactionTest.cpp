// Transactions as the server's methods run them, on SQLite and, when
// SERVCLIENTE_PG_URL is set, on PostgreSQL, where statements are prepared
// once per connection and BEGIN travels with the transaction's first
// statement. A rollback must still undo everything the transaction did, a
// failed statement must leave the connection usable, and a connection that
// the server dropped must be opened again by the next transaction.
#include "ServerFixture.h"
#include "platform/core/Exception.h"
#include "server/AssignmentWriter.h"
#include "server/Database.h"
#include "server/Schema.h"

#include <gtest/gtest.h>

#include <unistd.h>

namespace {

class Transactions : public ::testing::TestWithParam<std::string> {
protected:
    void SetUp() override
    {
        if (!place_.Make(GetParam())) {
            GTEST_SKIP() << "SERVCLIENTE_PG_URL is not set";
        }
        db_ = Database::Open(place_.Location(), {});
        Schema::Create(*db_);
    }
    void TearDown() override
    {
        db_.reset();
        place_.Drop();
    }
    size_t Branches() { return db_->Query("SELECT CDFILIAL FROM FILIAL", {}).size(); }
    void AddBranch(const std::string& code) { db_->Execute("INSERT INTO FILIAL VALUES (?, ?)", {code, "Filial"}); }

    TestDatabasePlace place_;
    std::unique_ptr<Database> db_;
};

} // namespace

TEST_P(Transactions, ARollbackUndoesEveryStatementFromTheFirst)
{
    db_->Begin(true);
    AddBranch("0001");
    AddBranch("0002");
    db_->Rollback();
    EXPECT_EQ(Branches(), 0u);

    db_->Begin(true);
    AddBranch("0003");
    db_->Commit();
    EXPECT_EQ(Branches(), 1u);
}

TEST_P(Transactions, ATransactionWithoutStatementsCommitsAndRollsBack)
{
    db_->Begin(false);
    db_->Commit();
    db_->Begin(true);
    db_->Rollback();
    db_->Begin(true);
    AddBranch("0001");
    db_->Commit();
    EXPECT_EQ(Branches(), 1u);
}

TEST_P(Transactions, AFailedStatementLeavesTheConnectionUsable)
{
    AddBranch("0001");
    // The first statement of the transaction fails.
    db_->Begin(true);
    EXPECT_THROW(AddBranch("0001"), EDatabaseError);
    db_->Rollback();
    // A later statement fails, after one that worked.
    db_->Begin(true);
    AddBranch("0002");
    EXPECT_THROW(AddBranch("0001"), EDatabaseError);
    db_->Rollback();
    // A statement that cannot be prepared.
    db_->Begin(false);
    EXPECT_THROW(db_->Query("SELECT NOSUCHCOLUMN FROM FILIAL WHERE CDFILIAL = ?", {"0001"}), EDatabaseError);
    db_->Rollback();

    db_->Begin(true);
    AddBranch("0003");
    db_->Commit();
    auto rows = db_->Query("SELECT CDFILIAL FROM FILIAL ORDER BY CDFILIAL", {});
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0][0], "0001");
    EXPECT_EQ(rows[1][0], "0003");
}

TEST_P(Transactions, AReadTransactionAnswersWithItsRows)
{
    AddBranch("0001");
    AddBranch("0002");
    for (int i = 0; i < 3; ++i) {
        db_->Begin(false);
        auto rows = db_->Query("SELECT NMFILIAL FROM FILIAL WHERE CDFILIAL = ?", {i == 1 ? "0002" : "0001"});
        db_->Commit();
        ASSERT_EQ(rows.size(), 1u);
        EXPECT_EQ(rows[0][0], "Filial");
    }
}

TEST_P(Transactions, OnSqliteTheReadsOfATransactionSeeOneStateOfTheData)
{
    if (GetParam() != "sqlite") {
        GTEST_SKIP() << "PostgreSQL runs a reading transaction's statements each on its own";
    }
    AddBranch("0001");
    auto other = Database::Open(place_.Location(), {});
    db_->Begin(false);
    EXPECT_EQ(Branches(), 1u);
    other->Begin(true);
    other->Execute("INSERT INTO FILIAL VALUES (?, ?)", {"0002", "Filial"});
    other->Commit();
    EXPECT_EQ(Branches(), 1u);
    db_->Commit();
    EXPECT_EQ(Branches(), 2u);
}

TEST_P(Transactions, AConnectionTheServerDroppedIsOpenedAgainByTheNextTransaction)
{
    if (!place_.Admin()) {
        GTEST_SKIP() << "only a PostgreSQL server drops connections";
    }
    AddBranch("0001");
    db_->Begin(false);
    auto pid = db_->Query("SELECT pg_backend_pid()", {});
    db_->Query("SELECT NMFILIAL FROM FILIAL WHERE CDFILIAL = ?", {"0001"});
    db_->Commit();
    ASSERT_EQ(pid.size(), 1u);
    // The connection is ended as a restart of the server ends it.
    Database& admin = *place_.Admin();
    admin.Query("SELECT pg_terminate_backend(?::int)", {pid[0][0]});
    for (int i = 0; i < 100 && !admin.Query("SELECT 1 FROM pg_stat_activity WHERE pid = ?::int", {pid[0][0]}).empty();
         ++i) {
        usleep(10000);
    }

    db_->Begin(false);
    auto rows = db_->Query("SELECT NMFILIAL FROM FILIAL WHERE CDFILIAL = ?", {"0001"});
    db_->Commit();
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0][0], "Filial");
}

// The refusal rule holds alike on every engine: a foreign key that finds its
// row missing is a check (EDatabaseCheck), anything else a plain failure;
// either way the connection goes on. Every engine has the checked insert.
TEST_P(Transactions, OnlyAGuardThatStoppedItsStatementIsACheck)
{
    const SqlStatement insert = AssignmentWriter::CheckedInsert(*db_);
    db_->Begin(true);
    EXPECT_THROW(
        db_->Execute("INSERT INTO SERVCLIE (CDFILIAL, CDCLIENTE, CDSERVFILI) VALUES (?, ?, ?)", {"0009", "1", "00001"}),
        EDatabaseCheck);
    db_->Rollback();
    db_->Begin(true);
    AddBranch("0001");
    try {
        AddBranch("0001");
        FAIL() << "a duplicate key was stored";
    } catch (const EDatabaseCheck&) {
        FAIL() << "a duplicate key is no guard's check";
    } catch (const EDatabaseError&) {
    }
    db_->Rollback();
    db_->Begin(true);
    AddBranch("0001");
    db_->Execute("INSERT INTO CLIENTE VALUES (?, ?, ?, ?, ?)", {"0001", "1", "F", "1", "Cliente"});
    db_->Execute("INSERT INTO SERVFILI VALUES (?, ?, ?)", {"0001", "00001", "Servico"});
    const auto key = insert.Bind(AssignmentWriter::InsertValues({"0001", "1", "00001"}));
    EXPECT_EQ(db_->Execute(insert.Text(), key), 1);
    EXPECT_EQ(db_->Execute(insert.Text(), key), 0);
    db_->Commit();
}

INSTANTIATE_TEST_SUITE_P(Databases, Transactions, ::testing::ValuesIn(kEngines),
                         [](const auto& info) { return info.param; });

TEST_P(Transactions, AnAuditRowQueuedInABatchIsStampedWhenItRunsWhereTheEngineQueuesIt)
{
    Caller caller;
    caller.peer = "127.0.0.1:5000";
    AssignmentWriter writer(caller);
    db_->Begin(true);
    writer.Audit(*db_, "DelTodos", {"0001", "00000001", ""}, "all deleted", 2);
    usleep(60 * 1000);
    const std::string beforeCommit = AssignmentWriter::AuditTime();
    db_->Commit();
    const auto rows = db_->Query("SELECT DTAUDITORIA FROM AUDITORIA", {});
    ASSERT_EQ(rows.size(), 1u);
    const std::string stamped = *rows[0][0];
    EXPECT_EQ(stamped.size(), 27u) << stamped;
    // A queued statement runs at the commit at the latest; one run at once
    // is stamped before it.
    if (db_->TimeOfExecution().empty()) {
        EXPECT_LT(stamped, beforeCommit);
    } else {
        EXPECT_GE(stamped, beforeCommit);
    }
}
