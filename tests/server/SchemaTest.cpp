// The schema's versions: a database of the first version, or one made before
// versions were kept, brought to the current one with its rows kept; one
// newer than the program refused; and what an administrator runs for them
// (appserver migrate, appserver backup).
#include "ServerFixture.h"
#include "server/SqliteDatabase.h"

#include <gtest/gtest.h>

#include <cctype>
#include <map>
#include <sys/stat.h>

namespace {

class SchemaVersions : public ::testing::TestWithParam<std::string> {
protected:
    void SetUp() override
    {
        spdlog::set_level(spdlog::level::off);
        if (!place_.Make(GetParam())) {
            GTEST_SKIP() << "SERVCLIENTE_PG_URL is not set";
        }
        db_ = Database::Open(place_.Location(), {});
    }
    void TearDown() override
    {
        db_.reset();
        place_.Drop();
    }

    // A branch, a client, two services and an assignment.
    void Fill()
    {
        db_->Execute("INSERT INTO FILIAL VALUES (?, ?)", {"0001", "Matriz São Paulo"});
        db_->Execute("INSERT INTO CLIENTE VALUES (?, ?, ?, ?, ?)", {"0001", "C1", "F", "12345678909", "Zélia Souza"});
        db_->Execute("INSERT INTO SERVFILI VALUES (?, ?, ?)", {"0001", "00001", "Manutenção"});
        db_->Execute("INSERT INTO SERVFILI VALUES (?, ?, ?)", {"0001", "00002", "Consultoria"});
        db_->Execute("INSERT INTO SERVCLIE (CDFILIAL, CDCLIENTE, CDSERVFILI) VALUES (?, ?, ?)",
                     {"0001", "C1", "00001"});
    }

    // The database's version as a new connection reads it, after the
    // current schema is applied through it: what a server starting finds.
    int Reopened()
    {
        db_ = Database::Open(place_.Location(), {});
        return Schema::Found(*db_);
    }

    // The migrated database serves a write: its audit row carries the
    // peer's address.
    void ExpectServes()
    {
        ASSERT_EQ(Schema::Found(*db_), Schema::kCurrent);
        EXPECT_EQ(db_->StoredVersion(), Schema::kCurrent);
        EXPECT_EQ(*db_->Query("SELECT NMRAZSOCCLIE FROM CLIENTE WHERE CDCLIENTE = ?", {"C1"}).at(0).at(0),
                  "Zélia Souza");
        Caller caller;
        caller.peer = "192.0.2.7:40001";
        RdmServCliente module(db_.get(), caller);
        db_->Begin(true);
        EXPECT_EQ(module.DelTodos("0001", "C1").AsInt(), 1);
        db_->Commit();
        auto audit = db_->Query("SELECT NMENDERECO, DSACAO, NRLINHAS FROM AUDITORIA WHERE NMMETODO = ?", {"DelTodos"});
        ASSERT_EQ(audit.size(), 1u);
        EXPECT_EQ(*audit[0][0], "192.0.2.7:40001");
        EXPECT_EQ(*audit[0][1], "all deleted");
        EXPECT_EQ(*audit[0][2], "1");
    }

    TestDatabasePlace place_;
    std::unique_ptr<Database> db_;
};

TEST_P(SchemaVersions, TheFirstSchemaWithDataIsBroughtToTheCurrentOneKeepingIt)
{
    EXPECT_EQ(Schema::Found(*db_), 0);
    EXPECT_EQ(Schema::Migrate(*db_, 1), 0);
    ASSERT_FALSE(db_->HasTable("AUDITORIA"));
    Fill();
    EXPECT_EQ(Reopened(), 1);
    EXPECT_EQ(Schema::Migrate(*db_), 1);
    ExpectServes();
    // Applying it again finds nothing to do.
    EXPECT_EQ(Schema::Migrate(*db_), Schema::kCurrent);
}

TEST_P(SchemaVersions, ADatabaseOfAReleaseWithoutVersionsIsKnownByItsTablesAndMigrated)
{
    Schema::Migrate(*db_, 2);
    Fill();
    db_->Execute("INSERT INTO AUDITORIA VALUES (?, ?, ?, ?, ?, ?, ?)",
                 {"2026-01-02T03:04:05.000000Z", "maria", "ApCoServClie", "0001", "C1", "00001", "inserted"});
    // The releases before kept no version.
    if (place_.Admin()) {
        db_->ExecScript("DROP TABLE VERSAOESQUEMA");
    } else {
        db_->ExecScript("PRAGMA user_version = 0");
    }
    EXPECT_EQ(Reopened(), 2);
    Schema::Create(*db_);
    ExpectServes();
    auto old =
        db_->Query("SELECT NMOPERADOR, NMENDERECO, NRLINHAS FROM AUDITORIA WHERE NMMETODO = ?", {"ApCoServClie"});
    ASSERT_EQ(old.size(), 1u);
    EXPECT_EQ(*old[0][0], "maria");
    EXPECT_EQ(*old[0][1], "");
    EXPECT_FALSE(old[0][2].has_value());
}

TEST_P(SchemaVersions, ADatabaseNewerThanTheProgramIsRefusedNamingBothVersions)
{
    Schema::Create(*db_);
    db_->Begin(true);
    db_->StoreVersion(Schema::kCurrent + 1);
    db_->Commit();
    try {
        Schema::Create(*db_);
        ADD_FAILURE() << "a newer schema was taken";
    } catch (const EDatabaseError& e) {
        const std::string what = e.what();
        EXPECT_NE(what.find("version " + std::to_string(Schema::kCurrent + 1)), std::string::npos) << what;
        EXPECT_NE(what.find("newer than version " + std::to_string(Schema::kCurrent)), std::string::npos) << what;
    }
    EXPECT_EQ(Schema::Found(*db_), Schema::kCurrent + 1);
}

// The current schema holds every field the contract says the server sends,
// of the declared width: a field declared without its migration step, or a
// step that resized a column without the declaration, fails here.
TEST_P(SchemaVersions, TheCurrentTablesHoldEveryDeclaredFieldAtItsSize)
{
    Schema::Create(*db_);
    const bool pg = GetParam() == "postgresql";
    const std::string sql = pg ? "SELECT column_name, data_type, character_maximum_length FROM "
                                 "information_schema.columns WHERE table_schema = current_schema() AND "
                                 "upper(table_name) IN ('CLIENTE', 'SERVFILI', 'SERVCLIE')"
                               : "SELECT p.name, p.type, '' FROM sqlite_master m, pragma_table_info(m.name) p "
                                 "WHERE m.name IN ('CLIENTE', 'SERVFILI', 'SERVCLIE')";
    std::map<std::string, std::string> columns; // name: "varchar(n)" or "char(n)"
    for (const auto& r : db_->Query(sql, {})) {
        std::string name = *r[0];
        for (char& c : name) {
            c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        }
        columns[name] = pg ? (*r[1] == "character" ? "char(" : "varchar(") + *r[2] + ")" : *r[1];
    }
    for (const auto& dataSet : ServClienteContract::Get().DataSets()) {
        for (const auto& f : dataSet.fields) {
            const std::string wanted = (f.fixedWidth ? "char(" : "varchar(") + std::to_string(f.size) + ")";
            EXPECT_EQ(columns[f.name], wanted) << dataSet.name << "." << f.name;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Databases, SchemaVersions, ::testing::ValuesIn(kEngines));

// What appserver migrate and appserver backup do for an administrator.
class SchemaCommands : public ::testing::Test {
protected:
    void SetUp() override
    {
        spdlog::set_level(spdlog::level::off);
        ASSERT_TRUE(place_.Make("sqlite"));
    }
    void TearDown() override { place_.Drop(); }

    struct Outcome {
        int status;
        std::string out;
        std::string err;
    };
    Outcome Run(const std::vector<std::string>& args)
    {
        const std::string errFile = place_.Location() + ".err";
        AppServerProcess process(args, errFile);
        Outcome o;
        o.out = process.ReadLine();
        o.status = process.Wait();
        o.err = FileText(errFile);
        return o;
    }

    TestDatabasePlace place_;
};

TEST_F(SchemaCommands, MigrateReportsThenAppliesTheStepsAndTheServerRefusesANewerDatabase)
{
    const std::string& db = place_.Location();
    {
        auto first = Database::Open(db, {});
        Schema::Migrate(*first, 1);
    }
    auto status = Run({"migrate", "--db", db, "--status"});
    EXPECT_EQ(status.status, 0) << status.err;
    EXPECT_NE(status.out.find("schema version 1 found; this appserver's is " + std::to_string(Schema::kCurrent)),
              std::string::npos)
        << status.out;
    EXPECT_EQ(Schema::Found(*Database::Open(db, {})), 1);

    auto migrated = Run({"migrate", "--db", db});
    EXPECT_EQ(migrated.status, 0) << migrated.err;
    EXPECT_NE(migrated.out.find("brought to version " + std::to_string(Schema::kCurrent)), std::string::npos)
        << migrated.out;
    EXPECT_EQ(Schema::Found(*Database::Open(db, {})), Schema::kCurrent);

    Database::Open(db, {})->ExecScript("PRAGMA user_version = 99");
    auto refused = Run({"--db", db, "--listen", "127.0.0.1:0"});
    EXPECT_EQ(refused.status, 1);
    EXPECT_NE(refused.err.find("version 99, newer than version " + std::to_string(Schema::kCurrent)), std::string::npos)
        << refused.err;
    EXPECT_EQ(Run({"migrate", "--db", db, "--dry-run"}).status, 1);
}

TEST_F(SchemaCommands, BackupMakesAPrivateCopyAndSendsPostgresToPgDump)
{
    const std::string& db = place_.Location();
    {
        auto source = Database::Open(db, {});
        Schema::Create(*source);
        source->Execute("INSERT INTO FILIAL VALUES (?, ?)", {"0001", "Matriz"});
    }
    const std::string copy = db + ".copy";
    std::ofstream(copy) << "an older copy";
    chmod(copy.c_str(), 0644);
    auto done = Run({"backup", "--db", db, "--to", copy});
    EXPECT_EQ(done.status, 0) << done.err;
    EXPECT_NE(done.out.find("copied to " + copy), std::string::npos) << done.out;
    struct stat st {};
    ASSERT_EQ(stat(copy.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    EXPECT_EQ(*Database::Open(copy, {})->Query("SELECT NMFILIAL FROM FILIAL", {}).at(0).at(0), "Matriz");

    // The database's journal files are no place for a copy.
    for (const char* suffix : {"-wal", "-shm", "-journal"}) {
        auto journal = Run({"backup", "--db", db, "--to", db + suffix});
        EXPECT_EQ(journal.status, 1) << suffix;
        EXPECT_NE(journal.err.find("database's own " + std::string(suffix) + " file"), std::string::npos)
            << journal.err;
    }
    auto missing = Run({"backup", "--db", db + ".none", "--to", copy + "2"});
    EXPECT_EQ(missing.status, 1);
    EXPECT_NE(missing.err.find("does not exist"), std::string::npos) << missing.err;
    auto postgres = Run({"backup", "--db", "postgresql://servcliente@localhost/servcliente", "--to", copy});
    EXPECT_EQ(postgres.status, 2);
    EXPECT_NE(postgres.err.find("runuser -u postgres -- pg_dump -Fc -d servcliente > /var/backups/servcliente/"),
              std::string::npos)
        << postgres.err;
}

} // namespace
