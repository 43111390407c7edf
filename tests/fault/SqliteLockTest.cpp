// The server keeps its hold on the SQLite database while it serves: another
// client coming and going, a health check and an online backup taken by
// another process must not let that process take the database for unused and
// remove the write-ahead log the server writes to. After a kill, every move
// the operator was told is stored is in the database.
#include "FaultTest.h"

#include <algorithm>
#include <fcntl.h>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

using trace::Errors;

namespace {

// Runs the appserver with args, its output thrown away; its exit status.
int RunAppServer(const std::vector<std::string>& args)
{
    const pid_t pid = fork();
    if (pid == 0) {
        int devnull = open("/dev/null", O_WRONLY);
        dup2(devnull, 1);
        dup2(devnull, 2);
        std::vector<std::string> argv = {std::string(TEST_BIN_DIR) + "/appserver"};
        argv.insert(argv.end(), args.begin(), args.end());
        ExecProgram(std::move(argv));
    }
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// The services of a client as a fresh process finds them, through SQLite
// itself.
std::vector<std::string> StoredAfterwards(const std::string& path, const std::string& client)
{
    sqlite3* db = nullptr;
    std::vector<std::string> codes;
    if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr) == SQLITE_OK) {
        sqlite3_stmt* st = nullptr;
        sqlite3_prepare_v2(db, "SELECT CDSERVFILI FROM SERVCLIE WHERE CDFILIAL = '0001' AND CDCLIENTE = ? ORDER BY 1",
                           -1, &st, nullptr);
        sqlite3_bind_text(st, 1, client.c_str(), -1, SQLITE_TRANSIENT);
        while (sqlite3_step(st) == SQLITE_ROW) {
            codes.emplace_back(reinterpret_cast<const char*>(sqlite3_column_text(st, 0)));
        }
        sqlite3_finalize(st);
    }
    sqlite3_close(db);
    return codes;
}

} // namespace

class SqliteLockTest : public FaultTest {};

TEST_F(SqliteLockTest, MovesAnsweredAfterAVisitorACheckAndAnOnlineBackupSurviveAKill)
{
    auto shell = NewShell("operator");
    auto ready = shell->Step(Header(1));
    ASSERT_EQ(ListCodes(ready).size(), 5u) << ready.Text();
    // From here only the server and the processes below use the database.
    db_.reset();

    std::vector<std::string> told;
    auto move = [&] {
        auto out = shell->Step("listclick lsbPossiveis 0\nclick sbtEscolhido");
        ASSERT_TRUE(Errors(out.lines).empty()) << out.Text();
        ASSERT_EQ(out.Component("cdsServClie")["changeCount"], 0) << out.Text();
        told.push_back(PacketEntries(out.lines).at(0).substr(std::string("inserted:").size()));
    };
    move();
    move();
    {
        auto visitor = NewShell("visitor");
        auto seen = visitor->Step(Header(0));
        ASSERT_TRUE(Errors(seen.lines).empty()) << seen.Text();
    }
    const std::string address = "127.0.0.1:" + std::to_string(Server().Port());
    ASSERT_EQ(RunAppServer({"check", "--connect", address}), 0);
    const std::string copy = dir_ + "/backup.db";
    ASSERT_EQ(RunAppServer({"backup", "--db", dbPath_, "--to", copy}), 0);
    EXPECT_EQ(StoredAfterwards(copy, "C0002"), told);
    move();
    move();

    Server().Kill();
    std::sort(told.begin(), told.end());
    EXPECT_EQ(StoredAfterwards(dbPath_, "C0002"), told);
}
