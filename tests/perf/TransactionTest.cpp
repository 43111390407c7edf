// Transactions as the server's methods run them, on SQLite and, when
// SERVCLIENTE_PG_URL is set, on PostgreSQL, where statements are prepared
// once per connection and BEGIN travels with the transaction's first
// statement. A rollback must still undo everything the transaction did, a
// failed statement must leave the connection usable, and a connection that
// the server dropped must be opened again by the next transaction.
#include "platform/core/Exception.h"
#include "server/Database.h"
#include "server/Schema.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <unistd.h>

namespace {

class Transactions : public ::testing::TestWithParam<std::string> {
protected:
    void SetUp() override
    {
        if (GetParam() == "postgresql") {
            const char* url = std::getenv("SERVCLIENTE_PG_URL");
            if (url == nullptr || *url == '\0') {
                GTEST_SKIP() << "SERVCLIENTE_PG_URL is not set";
            }
            static int counter = 0;
            schema_ = "perf" + std::to_string(getpid()) + "_" + std::to_string(++counter);
            admin_ = Database::Open(url, {});
            admin_->ExecScript("DROP SCHEMA IF EXISTS " + schema_ + " CASCADE; CREATE SCHEMA " + schema_);
            spec_ = std::string(url) + (std::string(url).find('?') == std::string::npos ? "?" : "&") +
                    "options=-csearch_path%3D" + schema_;
        } else {
            spec_ = (std::filesystem::temp_directory_path() /
                     ("servcliente-perf-tx-" + std::to_string(getpid()) + ".db"))
                        .string();
            Clean();
        }
        db_ = Database::Open(spec_, {});
        Schema::Create(*db_);
    }
    void TearDown() override
    {
        db_.reset();
        if (admin_) {
            admin_->ExecScript("DROP SCHEMA IF EXISTS " + schema_ + " CASCADE");
        } else if (!spec_.empty()) {
            Clean();
        }
    }
    void Clean()
    {
        for (const char* suffix : {"", "-wal", "-shm"}) {
            std::filesystem::remove(spec_ + suffix);
        }
    }
    size_t Branches() { return db_->Query("SELECT CDFILIAL FROM FILIAL", {}).size(); }
    void AddBranch(const std::string& code) { db_->Execute("INSERT INTO FILIAL VALUES (?, ?)", {code, "Filial"}); }

    std::string spec_;
    std::string schema_;
    std::unique_ptr<Database> admin_;
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

TEST_P(Transactions, AConnectionTheServerDroppedIsOpenedAgainByTheNextTransaction)
{
    if (!admin_) {
        GTEST_SKIP() << "only a PostgreSQL server drops connections";
    }
    AddBranch("0001");
    db_->Begin(false);
    auto pid = db_->Query("SELECT pg_backend_pid()", {});
    db_->Query("SELECT NMFILIAL FROM FILIAL WHERE CDFILIAL = ?", {"0001"});
    db_->Commit();
    ASSERT_EQ(pid.size(), 1u);
    // The connection is ended as a restart of the server ends it.
    admin_->Query("SELECT pg_terminate_backend(?::int)", {pid[0][0]});
    for (int i = 0; i < 100 && !admin_->Query("SELECT 1 FROM pg_stat_activity WHERE pid = ?::int", {pid[0][0]}).empty();
         ++i) {
        usleep(10000);
    }

    db_->Begin(false);
    auto rows = db_->Query("SELECT NMFILIAL FROM FILIAL WHERE CDFILIAL = ?", {"0001"});
    db_->Commit();
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0][0], "Filial");
}

INSTANTIATE_TEST_SUITE_P(Databases, Transactions, ::testing::Values("sqlite", "postgresql"),
                         [](const auto& info) { return info.param; });
