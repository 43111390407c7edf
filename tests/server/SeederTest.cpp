#include "server/Seeder.h"
#include "platform/core/Cp1252.h"
#include "server/Schema.h"
#include "server/SqliteDatabase.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>

namespace {

// Check digits computed independently of the seeder: the usual modulus-11 rule.
bool ValidCheckDigits(const std::string& number, const std::vector<int>& first, const std::vector<int>& second)
{
    auto digit = [&](size_t count, const std::vector<int>& weights) {
        int sum = 0;
        for (size_t i = 0; i < count; ++i) {
            sum += (number[i] - '0') * weights[i];
        }
        return sum % 11 < 2 ? 0 : 11 - sum % 11;
    };
    return number[first.size()] - '0' == digit(first.size(), first) &&
           number[second.size()] - '0' == digit(second.size(), second);
}

bool ValidCpf(const std::string& n)
{
    return n.size() == 11 && ValidCheckDigits(n, {10, 9, 8, 7, 6, 5, 4, 3, 2}, {11, 10, 9, 8, 7, 6, 5, 4, 3, 2});
}

bool ValidCnpj(const std::string& n)
{
    return n.size() == 14 &&
           ValidCheckDigits(n, {5, 4, 3, 2, 9, 8, 7, 6, 5, 4, 3, 2}, {6, 5, 4, 3, 2, 9, 8, 7, 6, 5, 4, 3, 2});
}

class SeederTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        char dir[] = "/tmp/servcliente-seed-XXXXXX";
        ASSERT_NE(mkdtemp(dir), nullptr);
        dir_ = dir;
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }
    std::string dir_;
};

} // namespace

TEST(SeederCheckDigits, KnownRegistrationNumbers)
{
    EXPECT_EQ(Seeder::Cpf("529982247"), "52998224725");
    EXPECT_EQ(Seeder::Cnpj("112223330001"), "11222333000181");
    EXPECT_TRUE(ValidCpf("52998224725"));
    EXPECT_FALSE(ValidCpf("52998224726"));
}

TEST_F(SeederTest, DemoDataIsWellFormedAndSeedingAgainAddsNothing)
{
    SqliteDatabase db(dir_ + "/server.db", {});
    auto counts = Seeder::Seed(db);
    EXPECT_GE(counts.branches, 3);
    EXPECT_GE(counts.clients, 300);
    EXPECT_GE(counts.assignments, 1);

    auto clients = db.Query("SELECT IDTPIJURCLIE, NRINSJURCLIE, NMRAZSOCCLIE FROM CLIENTE", {});
    ASSERT_EQ(clients.size(), static_cast<size_t>(counts.clients));
    int individuals = 0;
    int companies = 0;
    for (const auto& c : clients) {
        if (*c[0] == "F") {
            EXPECT_TRUE(ValidCpf(*c[1])) << *c[1];
            ++individuals;
        } else {
            EXPECT_EQ(*c[0], "J");
            EXPECT_TRUE(ValidCnpj(*c[1])) << *c[1];
            ++companies;
        }
        EXPECT_LE(Cp1252::FromUtf8(*c[2]).size(), 50u) << *c[2];
    }
    EXPECT_GT(individuals, 0);
    EXPECT_GT(companies, 0);

    for (const auto& row : db.Query("SELECT CDFILIAL, COUNT(*) FROM SERVFILI GROUP BY CDFILIAL", {})) {
        EXPECT_GE(std::stoi(*row[1]), 50) << *row[0];
    }
    for (const auto& row : db.Query("SELECT NMSERVICO FROM SERVFILI", {})) {
        EXPECT_LE(Cp1252::FromUtf8(*row[0]).size(), 40u) << *row[0];
    }
    auto accented = db.Query("SELECT COUNT(*) FROM SERVFILI WHERE NMSERVICO LIKE ?", {"%ção%"});
    EXPECT_GT(std::stoi(*accented[0][0]), 0);

    auto again = Seeder::Seed(db);
    EXPECT_EQ(again.clients + again.services + again.assignments + again.branches, 0);

    Seeder::SeedLocal(dir_ + "/local.db");
    SqliteDatabase local(dir_ + "/local.db", {});
    EXPECT_EQ(local.Query("SELECT CDFILIAL, NMFILIAL FROM FILIAL ORDER BY 1", {}),
              db.Query("SELECT CDFILIAL, NMFILIAL FROM FILIAL ORDER BY 1", {}));
}

TEST_F(SeederTest, SqliteRunsInWalModeWithFullSyncByDefault)
{
    SqliteDatabase db(dir_ + "/server.db", {});
    EXPECT_EQ(*db.Query("PRAGMA journal_mode", {})[0][0], "wal");
    EXPECT_EQ(*db.Query("PRAGMA synchronous", {})[0][0], "2");
    EXPECT_EQ(*db.Query("PRAGMA foreign_keys", {})[0][0], "1");
    DatabaseOptions normal;
    normal.fullSync = false;
    SqliteDatabase relaxed(dir_ + "/other.db", normal);
    EXPECT_EQ(*relaxed.Query("PRAGMA synchronous", {})[0][0], "1");
}
