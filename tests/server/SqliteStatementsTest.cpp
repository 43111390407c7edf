// The SQLite database keeps every statement it prepared for its next use.
// These cases check that a kept statement answers each use with that use's
// own values, also after a failure, a rollback, a change of the schema and
// more statements than the database keeps.
#include "platform/core/Exception.h"
#include "server/DataSetReader.h"
#include "server/Database.h"
#include "server/Schema.h"
#include "server/SqlStatement.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <unistd.h>

namespace {

class SqliteStatements : public ::testing::Test {
protected:
    void SetUp() override
    {
        path_ = std::filesystem::temp_directory_path() / ("servcliente-perf-" + std::to_string(getpid()) + ".db");
        Clean();
        db_ = Database::Open(path_.string(), {});
        Schema::Create(*db_);
        db_->Execute("INSERT INTO FILIAL VALUES (?, ?)", {"0001", "Matriz"});
        db_->Execute("INSERT INTO FILIAL VALUES (?, ?)", {"0002", std::nullopt});
    }
    void TearDown() override
    {
        db_.reset();
        Clean();
    }
    void Clean()
    {
        for (const char* suffix : {"", "-wal", "-shm"}) {
            std::filesystem::remove(path_.string() + suffix);
        }
    }
    std::string Name(const std::string& branch)
    {
        auto rows = db_->Query("SELECT NMFILIAL FROM FILIAL WHERE CDFILIAL = ?", {branch});
        if (rows.empty()) {
            return "(none)";
        }
        return rows[0][0].value_or("(null)");
    }

    std::filesystem::path path_;
    std::unique_ptr<Database> db_;
};

} // namespace

TEST_F(SqliteStatements, EachUseAnswersWithItsOwnValues)
{
    EXPECT_EQ(Name("0001"), "Matriz");
    EXPECT_EQ(Name("0002"), "(null)");
    EXPECT_EQ(Name("0003"), "(none)");
    EXPECT_EQ(Name("0001"), "Matriz");
    // A null value after a text one: the earlier binding is not left behind.
    EXPECT_TRUE(db_->Query("SELECT CDFILIAL FROM FILIAL WHERE CDFILIAL = ?", {std::nullopt}).empty());
    EXPECT_EQ(db_->Query("SELECT CDFILIAL FROM FILIAL WHERE CDFILIAL = ?", {"0002"}).size(), 1u);
}

TEST_F(SqliteStatements, ChangeCountsBelongToEachExecution)
{
    const std::string rename = "UPDATE FILIAL SET NMFILIAL = ? WHERE CDFILIAL = ?";
    EXPECT_EQ(db_->Execute(rename, {"Sede", "0001"}), 1);
    EXPECT_EQ(db_->Execute(rename, {"Sede", "0009"}), 0);
    EXPECT_EQ(db_->Execute(rename, {"Norte", "0002"}), 1);
    EXPECT_EQ(Name("0001"), "Sede");
    EXPECT_EQ(Name("0002"), "Norte");
}

TEST_F(SqliteStatements, AFailedStatementRunsAgainAndARollbackUndoesItsWork)
{
    const std::string insert = "INSERT INTO FILIAL VALUES (?, ?)";
    EXPECT_THROW(db_->Execute(insert, {"0001", "Duplicada"}), EDatabaseError);
    EXPECT_EQ(db_->Execute(insert, {"0003", "Terceira"}), 1);

    db_->Begin(true);
    db_->Execute(insert, {"0004", "Quarta"});
    EXPECT_THROW(db_->Execute(insert, {"0004", "De novo"}), EDatabaseError);
    db_->Rollback();
    EXPECT_EQ(Name("0004"), "(none)");
    EXPECT_EQ(Name("0003"), "Terceira");

    db_->Begin(true);
    db_->Execute(insert, {"0005", "Quinta"});
    db_->Commit();
    EXPECT_EQ(Name("0005"), "Quinta");
}

TEST_F(SqliteStatements, MoreStatementsThanKeptStillAnswerRight)
{
    for (int round = 0; round < 2; ++round) {
        for (int i = 0; i < 150; ++i) {
            // A distinct text each time, as statements built on the fly are.
            auto rows =
                db_->Query("SELECT NMFILIAL, " + std::to_string(i) + " FROM FILIAL WHERE CDFILIAL = ?", {"0001"});
            ASSERT_EQ(rows.size(), 1u);
            EXPECT_EQ(rows[0][0], "Matriz");
            EXPECT_EQ(rows[0][1], std::to_string(i));
        }
    }
}

TEST_F(SqliteStatements, AKeptStatementFollowsAChangedTable)
{
    const std::string select = "SELECT * FROM EXTRA WHERE K = ?";
    db_->ExecScript("CREATE TABLE EXTRA (K text, V text)");
    db_->Execute("INSERT INTO EXTRA VALUES (?, ?)", {"a", "1"});
    auto before = db_->Query(select, {"a"});
    ASSERT_EQ(before.size(), 1u);
    EXPECT_EQ(before[0].size(), 2u);

    db_->ExecScript("DROP TABLE EXTRA; CREATE TABLE EXTRA (K text, W text, V text)");
    db_->Execute("INSERT INTO EXTRA VALUES (?, ?, ?)", {"a", "w", "2"});
    auto after = db_->Query(select, {"a"});
    ASSERT_EQ(after.size(), 1u);
    ASSERT_EQ(after[0].size(), 3u);
    EXPECT_EQ(after[0][2], "2");
}

// Named parameters: each placeholder takes the value of its name, a name may
// be used twice, a cast's "::" is no parameter, and a name without a value
// is the program's fault, said at once.
TEST(SqlStatementNames, BindByNameInPlaceholderOrder)
{
    const SqlStatement s("SELECT :B, CAST(:A AS integer), x::text FROM t WHERE a = :A AND c = :C_1");
    EXPECT_EQ(s.Text(), "SELECT ?, CAST(? AS integer), x::text FROM t WHERE a = ? AND c = ?");
    EXPECT_EQ(s.Names(), (std::vector<std::string>{"B", "A", "A", "C_1"}));
    EXPECT_EQ(s.Bind({{"A", "1"}, {"C_1", std::nullopt}, {"B", "2"}, {"A", "ignored"}}),
              (std::vector<SqlValue>{"2", "1", "1", std::nullopt}));
    EXPECT_THROW(s.Bind({{"A", "1"}, {"B", "2"}}), std::logic_error);
    EXPECT_EQ(SqlStatement::Insert("T", {"A", "B"}), "INSERT INTO T (A, B) VALUES (:A, :B)");
}

// A data set read from its declaration checks every text against its field's
// size; an integer field has no size to keep, and its values pass.
TEST_F(SqliteStatements, ADeclaredReadChecksTextsButNotIntegers)
{
    ContractDataSet counted{"counted",
                            {{"CDFILIAL", TFieldType::ftString, 4, false},
                             {"NMFILIAL", TFieldType::ftString, 3, false},
                             {"NRLINHAS", TFieldType::ftInteger, 0, false}}};
    const std::string select = "SELECT CDFILIAL, NMFILIAL, 12345 FROM FILIAL WHERE CDFILIAL = ?";
    EXPECT_THROW(DataSetReader::Read(*db_, "Get", counted, select, {"0001"}, "branch", "CDFILIAL"), ERemoteError);
    counted.fields[1].size = 30;
    const DataPacket p = DataSetReader::Read(*db_, "Get", counted, select, {"0001"}, "branch", "CDFILIAL");
    ASSERT_EQ(p.rows.size(), 1u);
    EXPECT_EQ(p.rows[0].values[2], FieldValue("12345"));
}
