// The branch query over the shell's shared connection to the local database,
// against a temporary SQLite file.
#include "host/TADOIBQuery.h"
#include "host/TADOIBStringField.h"
#include "host/TdtmDBGeral.h"
#include "platform/core/Cp1252.h"
#include "platform/core/Exception.h"
#include "platform/data/TDataSource.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <filesystem>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

const std::vector<std::string> kFilialSQL = {
    "SELECT",
    "   CDFILIAL,",
    "   NMFILIAL",
    "FROM",
    "   FILIAL, PARAM (:P_CDFILIAL)  CFILIAL",
    "WHERE",
    "  CDFILIAL = NVLSTR(CFILIAL.PARAM, CDFILIAL)",
    "ORDER BY",
    "   CDFILIAL",
};

void Exec(sqlite3* db, const std::string& sql)
{
    char* err = nullptr;
    if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &err) != SQLITE_OK) {
        std::string what = err != nullptr ? err : "?";
        sqlite3_free(err);
        throw std::runtime_error(what);
    }
}

class LocalDatabase : public ::testing::Test {
protected:
    void SetUp() override
    {
        path_ = (std::filesystem::temp_directory_path() /
                 ("servcliente-data-" + std::to_string(getpid()) + "-" +
                  ::testing::UnitTest::GetInstance()->current_test_info()->name() + ".db"))
                    .string();
        std::filesystem::remove(path_);
        sqlite3* db = nullptr;
        ASSERT_EQ(sqlite3_open(path_.c_str(), &db), SQLITE_OK);
        // Rows go in out of code order; names are UTF-8 as the database keeps them.
        Exec(db, "CREATE TABLE FILIAL (CDFILIAL varchar(4) PRIMARY KEY, NMFILIAL varchar(30));"
                 "INSERT INTO FILIAL VALUES ('0003', 'Filial Três Rios');"
                 "INSERT INTO FILIAL VALUES ('0001', 'Matriz São Paulo');"
                 "INSERT INTO FILIAL VALUES ('0002', NULL);");
        sqlite3_close(db);
        TdtmDBGeral::Instance().SetDatabase(path_);

        qry_ = new TADOIBQuery(&form_);
        qry_->SetName("qryFilial");
        qry_->SetSQL(kFilialSQL);
        code_ = AddField("CDFILIAL", 4, true);
        name_ = AddField("NMFILIAL", 30, false);
    }

    void TearDown() override
    {
        TdtmDBGeral::Instance().SetDatabase("");
        std::filesystem::remove(path_);
    }

    TADOIBStringField* AddField(const std::string& name, int size, bool required)
    {
        auto* f = new TADOIBStringField(&form_);
        f->SetName("qryFilial" + name);
        f->SetFieldName(name);
        f->SetSize(size);
        f->SetRequired(required);
        f->SetDataSet(qry_);
        return f;
    }

    // What the header does to check a branch.
    void Run(const std::string& code)
    {
        qry_->Close();
        qry_->ParamByName("P_CDFILIAL")->SetAsString(code);
        qry_->Open();
    }

    std::vector<std::string> Codes()
    {
        std::vector<std::string> codes;
        for (qry_->First(); !qry_->Eof(); qry_->Next()) {
            codes.push_back(code_->AsString());
        }
        return codes;
    }

    void Write(const std::string& sql)
    {
        TdtmDBGeral::Instance().Close();
        sqlite3* db = nullptr;
        ASSERT_EQ(sqlite3_open(path_.c_str(), &db), SQLITE_OK);
        Exec(db, sql);
        sqlite3_close(db);
    }

    std::string path_;
    TComponent form_{nullptr};
    TADOIBQuery* qry_ = nullptr;
    TADOIBStringField* code_ = nullptr;
    TADOIBStringField* name_ = nullptr;
};

} // namespace

TEST_F(LocalDatabase, TheParameterIsTakenFromTheSQL)
{
    ASSERT_EQ(qry_->Params().Count(), 1);
    EXPECT_EQ(qry_->Params().Items(0)->Name(), "P_CDFILIAL");
    EXPECT_EQ(qry_->ParamByName("p_cdfilial"), qry_->Params().Items(0));
    EXPECT_THROW(qry_->ParamByName("P_OUTRO"), EDatabaseError);
}

TEST_F(LocalDatabase, AnEmptyParameterSelectsEveryBranchInCodeOrder)
{
    Run("");
    EXPECT_FALSE(qry_->IsEmpty());
    EXPECT_EQ(Codes(), (std::vector<std::string>{"0001", "0002", "0003"}));
    qry_->First();
    EXPECT_EQ(name_->AsString(), Cp1252::FromUtf8("Matriz São Paulo"));
    qry_->Next();
    EXPECT_TRUE(name_->IsNull());

    qry_->Close();
    qry_->ParamByName("P_CDFILIAL")->Clear(); // Null alike
    qry_->Open();
    EXPECT_EQ(qry_->RecordCount(), 3);
}

TEST_F(LocalDatabase, ACodeSelectsThatBranchAloneOrNone)
{
    Run("0003");
    EXPECT_EQ(Codes(), (std::vector<std::string>{"0003"}));
    EXPECT_EQ(name_->AsString(), Cp1252::FromUtf8("Filial Três Rios"));
    Run("0009");
    EXPECT_TRUE(qry_->IsEmpty());
    Run("0001");
    EXPECT_EQ(Codes(), (std::vector<std::string>{"0001"}));
}

TEST_F(LocalDatabase, ParameterTextIsBoundNotPasted)
{
    Run("0001' OR '1'='1");
    EXPECT_TRUE(qry_->IsEmpty());
}

TEST_F(LocalDatabase, TheQueryIsReadOnly)
{
    Run("");
    EXPECT_THROW(qry_->Edit(), EDatabaseError);
    EXPECT_THROW(qry_->Insert(), EDatabaseError);
    EXPECT_THROW(qry_->Delete(), EDatabaseError);
    EXPECT_THROW(code_->SetAsString("0009"), EDatabaseError);

    TADOIBQuery writer(nullptr);
    writer.SetSQL({"DELETE FROM FILIAL"});
    EXPECT_THROW(writer.Open(), EDatabaseError);
    EXPECT_FALSE(writer.Active());
    Run("");
    EXPECT_EQ(qry_->RecordCount(), 3);
}

TEST_F(LocalDatabase, WithoutPersistentFieldsEveryColumnBecomesATextField)
{
    TADOIBQuery q(nullptr);
    q.SetSQL({"SELECT CDFILIAL AS CODIGO, NMFILIAL, 7 AS N FROM FILIAL WHERE CDFILIAL = :C"});
    q.ParamByName("C")->SetAsString("0001");
    q.Open();
    ASSERT_EQ(q.FieldCount(), 3);
    EXPECT_EQ(q.FieldByName("CODIGO")->AsString(), "0001");
    EXPECT_EQ(q.FieldByName("N")->AsString(), "7");
    q.Close();
    EXPECT_EQ(q.FieldCount(), 0);
}

TEST_F(LocalDatabase, TheConnectionFunctionsWorkOnTheirOwn)
{
    TADOIBQuery q(nullptr);
    q.SetSQL({"SELECT NVLSTR(NULL, 'b') AS A, NVLSTR('a', 'b') AS B, P.PARAM AS C FROM PARAM('x') P"});
    q.Open();
    ASSERT_EQ(q.RecordCount(), 1);
    EXPECT_EQ(q.FieldByName("A")->AsString(), "b");
    EXPECT_EQ(q.FieldByName("B")->AsString(), "a");
    EXPECT_EQ(q.FieldByName("C")->AsString(), "x");
    q.Close();
    q.SetSQL({"SELECT PARAM FROM PARAM"}); // without an argument: one Null row
    q.Open();
    ASSERT_EQ(q.RecordCount(), 1);
    EXPECT_TRUE(q.Fields()[0]->IsNull());
}

TEST_F(LocalDatabase, TextWithoutAWindows1252FormIsAClearError)
{
    Write("INSERT INTO FILIAL VALUES ('0004', 'Filial Ωmega')");
    try {
        Run("0004");
        FAIL() << "a text with no Windows-1252 form was loaded";
    } catch (const EDatabaseError& e) {
        EXPECT_NE(e.Message().find("NMFILIAL"), std::string::npos) << e.Message();
    }
    EXPECT_FALSE(qry_->Active());
    Run("0001"); // the query is fine for other rows
    EXPECT_EQ(qry_->RecordCount(), 1);
}

TEST_F(LocalDatabase, AValueLongerThanItsFieldIsRefused)
{
    Write("INSERT INTO FILIAL VALUES ('0005', '" + std::string(31, 'n') + "')");
    EXPECT_THROW(Run(""), EDatabaseError);
    EXPECT_FALSE(qry_->Active());
}

TEST_F(LocalDatabase, AFieldWithoutAColumnIsRefused)
{
    AddField("NMFANTASIA", 30, false);
    try {
        Run("");
        FAIL() << "opened without the column NMFANTASIA";
    } catch (const EDatabaseError& e) {
        EXPECT_NE(e.Message().find("NMFANTASIA"), std::string::npos) << e.Message();
    }
}

TEST_F(LocalDatabase, SQLErrorsAndMissingParametersAreClear)
{
    TADOIBQuery q(nullptr);
    q.SetSQL({"SELECT * FROM NAO_EXISTE"});
    try {
        q.Open();
        FAIL();
    } catch (const EDatabaseError& e) {
        EXPECT_NE(e.Message().find("NAO_EXISTE"), std::string::npos) << e.Message();
    }
    q.SetSQL({"SELECT :A"});
    q.Params().Clear();
    EXPECT_THROW(q.Open(), EDatabaseError);
}

TEST_F(LocalDatabase, AMissingDatabaseIsNamedInTheError)
{
    TdtmDBGeral::Instance().SetDatabase(path_ + ".nao-existe");
    try {
        Run("");
        FAIL();
    } catch (const EDatabaseError& e) {
        EXPECT_NE(e.Message().find(".nao-existe"), std::string::npos) << e.Message();
    }
    EXPECT_FALSE(TdtmDBGeral::Instance().Connected());
    TdtmDBGeral::Instance().SetDatabase("");
    EXPECT_THROW(Run(""), EDatabaseError);
    TdtmDBGeral::Instance().SetDatabase(path_); // the next use tries again
    Run("");
    EXPECT_EQ(qry_->RecordCount(), 3);
}

TEST_F(LocalDatabase, ALookupListSeesTheQueryThroughItsDataSource)
{
    TDataSource dtsFilial(nullptr);
    dtsFilial.SetDataSet(qry_);
    std::vector<TDataSetState> states;
    dtsFilial.SetOnStateChange([&](TObject*) { states.push_back(dtsFilial.State()); });
    Run("");
    Run("0002");
    EXPECT_EQ(states, (std::vector<TDataSetState>{TDataSetState::dsBrowse, TDataSetState::dsInactive,
                                                  TDataSetState::dsBrowse}));
}

TEST(QueryParams, NamesAreFoundOutsideQuotesAndComments)
{
    EXPECT_EQ(
        TParams::NamesInSQL("SELECT ':X', \":Y\" -- :Z\n FROM T /* :W */ WHERE A = :B AND C = :b AND D::int = :E"),
        (std::vector<std::string>{"B", "E"}));
}

TEST(QueryParams, SettingTheSQLKeepsTheValuesOfParametersThatStay)
{
    TADOIBQuery q(nullptr);
    q.SetSQL({"SELECT :A, :B"});
    q.ParamByName("A")->SetAsString("1");
    q.SetSQL({"SELECT :B, :A, :C"});
    ASSERT_EQ(q.Params().Count(), 3);
    EXPECT_EQ(q.Params().Items(0)->Name(), "B");
    EXPECT_EQ(q.ParamByName("A")->AsString(), "1");
    EXPECT_TRUE(q.ParamByName("C")->IsNull());
}
