// What an administrator runs: the appserver's version, its configuration file
// and environment, and its health check against a server that answers, one
// that is gone, one that is silent, one that speaks another protocol and one
// whose database is broken.
#include "ServerFixture.h"

#include "server/Credentials.h"
#include "server/LivenessProbe.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <poll.h>
#include <string>
#include <sys/socket.h>
#include <sys/un.h>
#include <thread>

namespace {

class AppServerAdminTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        char dir[] = "/tmp/servcliente-admin-XXXXXX";
        ASSERT_NE(mkdtemp(dir), nullptr);
        dir_ = dir;
        db_ = dir_ + "/server.db";
        AppServerProcess seed({"seed", "--db", db_, "--local-db", dir_ + "/local.db"});
        ASSERT_EQ(seed.Wait(), 0);
    }
    void TearDown() override
    {
        unsetenv("SERVCLIENTE_DB");
        unsetenv("NOTIFY_SOCKET");
        std::filesystem::remove_all(dir_);
    }

    std::string Write(const std::string& name, const std::string& text)
    {
        const std::string path = dir_ + "/" + name;
        std::ofstream(path) << text;
        return path;
    }

    struct CheckResult {
        int status;
        std::string out;
        std::string err;
    };
    CheckResult Check(const std::string& address, const std::string& timeout = "5",
                      const std::vector<std::string>& more = {})
    {
        const std::string errFile = dir_ + "/check.err";
        std::vector<std::string> args{"check", "--connect", address, "--timeout", timeout};
        args.insert(args.end(), more.begin(), more.end());
        AppServerProcess check(args, errFile);
        CheckResult r;
        r.out = check.ReadLine();
        r.status = check.Wait();
        r.err = FileText(errFile);
        return r;
    }

    std::string dir_;
    std::string db_;
};

} // namespace

TEST_F(AppServerAdminTest, VersionIsTheProjectsAndExitsZero)
{
    AppServerProcess version({"--version"});
    EXPECT_EQ(version.ReadLine(), std::string(SERVCLIENTE_VERSION) + "\n");
    EXPECT_EQ(version.Wait(), 0);
}

TEST_F(AppServerAdminTest, ConfigFileGivesEveryOptionAndTheCommandLineWins)
{
    // An open address without a secret stops the server: the file is read.
    const std::string conf = Write("appserver.conf", "db = \"" + db_ +
                                                         "\"\nlisten = \"0.0.0.0:0\"\nmax-connections = 4\n"
                                                         "[seed]\nlocal-db = \"" +
                                                         dir_ + "/other.db\"\n");
    {
        AppServerProcess server({"--config", conf});
        EXPECT_EQ(server.ReadLine(), "");
        EXPECT_EQ(server.Wait(), 1);
    }
    AppServerProcess server({"--config", conf, "--listen", "127.0.0.1:0"});
    const int port = server.ListeningPort();
    ASSERT_NE(port, 0);
    EXPECT_EQ(Check("127.0.0.1:" + std::to_string(port)).status, 0);
    server.Signal(SIGTERM);
    EXPECT_EQ(server.Wait(), 0);

    // A subcommand's options in its section.
    AppServerProcess seed({"--config", conf, "seed", "--db", db_});
    EXPECT_EQ(seed.Wait(), 0);
    EXPECT_TRUE(std::filesystem::exists(dir_ + "/other.db"));
}

TEST_F(AppServerAdminTest, ConfigFileWithAnUnknownKeyOrMissingIsRefusedWithItsName)
{
    const std::string errFile = dir_ + "/server.err";
    AppServerProcess typo({"--config", Write("typo.conf", "db = \"" + db_ + "\"\nlisten-on = \"127.0.0.1:0\"\n")},
                          errFile);
    EXPECT_EQ(typo.ReadLine(), "");
    EXPECT_NE(typo.Wait(), 0);
    EXPECT_NE(FileText(errFile).find("typo.conf:2: 'listen-on' is no option"), std::string::npos) << FileText(errFile);
    AppServerProcess section({"--config", Write("section.conf", "# seeding\n\n[seed]\nlocal-bd = x\n")}, errFile);
    EXPECT_EQ(section.Wait(), 2);
    EXPECT_NE(FileText(errFile).find("section.conf:4: 'seed.local-bd'"), std::string::npos) << FileText(errFile);
    AppServerProcess value({"--config", Write("value.conf", "db = \"" + db_ + "\"\nsync = \"fast\"\n")}, errFile);
    EXPECT_EQ(value.Wait(), 2);
    EXPECT_NE(FileText(errFile).find("value.conf:2: --sync: fast not in"), std::string::npos) << FileText(errFile);

    AppServerProcess missing({"--config", dir_ + "/none.conf"}, errFile);
    EXPECT_NE(missing.Wait(), 0);
    EXPECT_NE(FileText(errFile).find("none.conf"), std::string::npos) << FileText(errFile);
}

TEST_F(AppServerAdminTest, DatabaseMayComeFromTheEnvironment)
{
    setenv("SERVCLIENTE_DB", db_.c_str(), 1);
    AppServerProcess server({"--listen", "127.0.0.1:0"});
    const int port = server.ListeningPort();
    ASSERT_NE(port, 0);
    EXPECT_EQ(Check("127.0.0.1:" + std::to_string(port)).status, 0);
}

TEST_F(AppServerAdminTest, TellsTheServiceManagerItIsReadyOnceItListensAndWhenItStops)
{
    // The socket a service manager hands a Type=notify service.
    const int manager = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    ASSERT_GE(manager, 0);
    sockaddr_un where{};
    where.sun_family = AF_UNIX;
    const std::string path = dir_ + "/notify";
    std::snprintf(where.sun_path, sizeof where.sun_path, "%s", path.c_str());
    ASSERT_EQ(bind(manager, reinterpret_cast<sockaddr*>(&where), sizeof where), 0);
    setenv("NOTIFY_SOCKET", path.c_str(), 1);
    auto receive = [&] {
        pollfd p{manager, POLLIN, 0};
        char text[256] = {};
        if (poll(&p, 1, 10000) != 1 || recv(manager, text, sizeof text - 1, 0) <= 0) {
            return std::string("(nothing)");
        }
        return std::string(text);
    };

    AppServerProcess server({"--db", db_, "--listen", "127.0.0.1:0"});
    ASSERT_NE(server.ListeningPort(), 0);
    EXPECT_EQ(receive(), "READY=1");
    server.Signal(SIGTERM);
    EXPECT_EQ(receive(), "STOPPING=1");
    EXPECT_EQ(server.Wait(), 0);
    close(manager);
}

TEST_F(AppServerAdminTest, CheckPassesOnAServingServerAndFailsOnceItStopped)
{
    AppServerProcess server({"--db", db_, "--listen", "127.0.0.1:0"});
    const int port = server.ListeningPort();
    ASSERT_NE(port, 0);
    const std::string address = "127.0.0.1:" + std::to_string(port);
    auto ok = Check(address);
    EXPECT_EQ(ok.status, 0) << ok.err;
    EXPECT_EQ(ok.out.rfind("ok: " + address + ": ", 0), 0u) << ok.out;

    server.Signal(SIGTERM);
    ASSERT_EQ(server.Wait(), 0);
    auto gone = Check(address);
    EXPECT_EQ(gone.status, 1);
    EXPECT_EQ(gone.out, "");
    EXPECT_EQ(gone.err.rfind("appserver check: " + address + ": ", 0), 0u) << gone.err;
    EXPECT_NE(gone.err.find("refused"), std::string::npos) << gone.err;
    EXPECT_EQ(Occurrences(gone.err, "\n"), 1u) << gone.err;
}

TEST_F(AppServerAdminTest, CheckFailsOnASilentPeerAndOnAnotherProtocol)
{
    // Connections complete in the backlog, but nobody answers.
    asio::io_context ioc;
    asio::ip::tcp::acceptor silent(ioc, {asio::ip::make_address("127.0.0.1"), 0});
    auto quiet = Check("127.0.0.1:" + std::to_string(silent.local_endpoint().port()), "0.5");
    EXPECT_EQ(quiet.status, 1);
    EXPECT_NE(quiet.err.find("nothing arrived within"), std::string::npos) << quiet.err;

    asio::ip::tcp::acceptor web(ioc, {asio::ip::make_address("127.0.0.1"), 0});
    std::thread peer([&] {
        try {
            auto socket = web.accept();
            asio::write(socket, asio::buffer(std::string("HTTP/1.1 400 Bad Request\r\n\r\n")));
            char byte;
            asio::read(socket, asio::buffer(&byte, 1));
        } catch (const std::exception&) {
        }
    });
    auto other = Check("127.0.0.1:" + std::to_string(web.local_endpoint().port()));
    peer.join();
    EXPECT_EQ(other.status, 1);
    EXPECT_NE(other.err.find("protocol"), std::string::npos) << other.err;
}

TEST_F(AppServerAdminTest, CheckFailsWhenTheServerCannotReadItsDatabase)
{
    AppServerProcess server({"--db", db_, "--listen", "127.0.0.1:0"});
    const int port = server.ListeningPort();
    ASSERT_NE(port, 0);
    const std::string address = "127.0.0.1:" + std::to_string(port);
    ASSERT_EQ(Check(address).status, 0);

    ASSERT_EQ(Check(address, "5", {"--liveness"}).status, 0);

    std::ofstream(db_, std::ios::trunc) << std::string(8192, 'x');
    // The last probe's answer is given again for a while.
    std::this_thread::sleep_for(LivenessProbe::kReuseFor);
    auto broken = Check(address);
    EXPECT_EQ(broken.status, 1);
    EXPECT_NE(broken.err.find("database"), std::string::npos) << broken.err;
    auto silent = Check(address, "5", {"--liveness"});
    EXPECT_EQ(silent.status, 1);
    EXPECT_NE(silent.err.find("alive but its database does not answer"), std::string::npos) << silent.err;
    // A database gone is said so, and no empty one is made in its place.
    for (const char* suffix : {"", "-wal", "-shm"}) {
        std::filesystem::remove(db_ + suffix);
    }
    std::this_thread::sleep_for(LivenessProbe::kReuseFor);
    EXPECT_EQ(Check(address, "5", {"--liveness"}).status, 1);
    EXPECT_FALSE(std::filesystem::exists(db_));
}

TEST_F(AppServerAdminTest, CheckAnOperatorsServerAndProbeLivenessWithoutASecretAndWithoutBeingThrottled)
{
    const std::string credentials = Write("operators", Credentials::Line("maria", "s3gredo", "*") + "\n" +
                                                           Credentials::Line("monitor", "s3gredo", "0001") + "\n");
    const std::string secret = Write("secret", "s3gredo\n");
    const std::string wrongSecret = Write("wrong", "s3nha\n");
    for (const auto& file : {credentials, secret, wrongSecret}) {
        std::filesystem::permissions(file, std::filesystem::perms::owner_read);
    }
    const std::string log = dir_ + "/server.log";
    AppServerProcess server({"--db", db_, "--listen", "127.0.0.1:0", "--credentials", credentials}, log);
    const int port = server.ListeningPort();
    ASSERT_NE(port, 0);
    const std::string address = "127.0.0.1:" + std::to_string(port);

    // Every branch, or one: the check passes for any operator and warns of
    // nothing.
    for (const char* name : {"maria", "monitor"}) {
        auto checked = Check(address, "5", {"--operator", name, "--secret-file", secret});
        EXPECT_EQ(checked.status, 0) << name << ": " << checked.err;
    }
    EXPECT_EQ(Occurrences(FileText(log), "may not read"), 0u) << FileText(log);
    auto wrong = Check(address, "5", {"--operator", "maria", "--secret-file", wrongSecret});
    EXPECT_EQ(wrong.status, 1);
    EXPECT_NE(wrong.err.find("unknown operator or wrong secret"), std::string::npos) << wrong.err;
    auto anonymous = Check(address, "5", {"--secret-file", secret});
    EXPECT_NE(anonymous.err.find("named operators only"), std::string::npos) << anonymous.err;

    // Two refusals delay this address's next one; liveness probes are
    // answered at once and add nothing to its count.
    const auto started = std::chrono::steady_clock::now();
    for (int i = 0; i < 5; ++i) {
        auto alive = Check(address, "5", {"--liveness"});
        ASSERT_EQ(alive.status, 0) << alive.err;
        EXPECT_NE(alive.out.find("alive and its database answers"), std::string::npos) << alive.out;
    }
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(3));
    EXPECT_EQ(Occurrences(FileText(log), "liveness"), 0u) << FileText(log);
    server.Signal(SIGTERM);
    EXPECT_EQ(server.Wait(), 0);
}

TEST_F(AppServerAdminTest, CheckRefusesAnAddressWithoutAPort)
{
    auto bad = Check("127.0.0.1");
    EXPECT_EQ(bad.status, 2);
    EXPECT_NE(bad.err.find("'127.0.0.1' is not HOST:PORT"), std::string::npos) << bad.err;
}

// What keeps the server from starting is said with the file, and what is
// wrong with it, not with the library's words for all cases alike.
TEST_F(AppServerAdminTest, AStartThatCannotUseItsFilesSaysWhichAndWhy)
{
    const std::string conf =
        Write("appserver.conf", "listen = \"127.0.0.1:0\"\nlog-level = info\nlisten = \"127.0.0.1:7\"\n");
    const std::string cert = Write("server.pem", "not a certificate\n");
    std::filesystem::create_directory(dir_ + "/folder.key");
    struct Case {
        std::vector<std::string> args;
        std::string said;
    } cases[] = {
        {{"--config", conf, "--db", db_}, "appserver.conf:3: 'listen' is given again; line 1 gives it already"},
        {{"--db", db_, "--listen", "127.0.0.1:0", "--tls-cert", dir_ + "/none.pem", "--tls-key", dir_ + "/none.key"},
         "TLS certificate file " + dir_ + "/none.pem is missing"},
        {{"--db", db_, "--listen", "127.0.0.1:0", "--tls-cert", cert, "--tls-key", dir_ + "/folder.key"},
         "folder.key is not a regular file"},
        {{"--db", db_, "--listen", "127.0.0.1:0", "--credentials", dir_ + "/operators"},
         "credentials file " + dir_ + "/operators: it is missing"},
        {{"--db", dir_ + "/gone/server.db", "--listen", "127.0.0.1:0"}, "its folder " + dir_ + "/gone does not exist"},
    };
    for (const Case& c : cases) {
        const std::string log = dir_ + "/start.log";
        AppServerProcess server(c.args, log);
        EXPECT_NE(server.Wait(), 0) << c.said;
        EXPECT_NE(FileText(log).find(c.said), std::string::npos) << FileText(log);
    }
}

// A business's data loaded from CSV files, on every engine: stored as the
// screens read it, loaded again without duplicates (what changed updated),
// and a file with a bad row named by its line and left out whole.
TEST(CsvImportCommand, LoadsUpdatesAndRefusesAFileWithABadRowWhole)
{
    for (const std::string& kind : kEngines) {
        SCOPED_TRACE(kind);
        TestDatabasePlace place;
        if (!place.Make(kind)) {
            continue;
        }
        const std::string dir =
            std::filesystem::temp_directory_path() / ("servcliente-csv-" + std::to_string(getpid()));
        std::filesystem::create_directories(dir);
        auto write = [&dir](const char* name, const std::string& text) {
            std::ofstream(dir + "/" + name) << text;
            return dir + "/" + name;
        };
        auto run = [&](std::vector<std::string> args) {
            args.insert(args.begin(), {"import", "--db", place.Location()});
            AppServerProcess import(args, dir + "/import.err");
            const int status = import.Wait();
            return std::make_pair(status, FileText(dir + "/import.err"));
        };
        const std::string branches = write("filial.csv", "CDFILIAL,NMFILIAL\n0100,\"Loja Centro, São Paulo\"\n");
        const std::string services =
            write("servfili.csv", "NMSERVICO,CDSERVFILI,CDFILIAL\r\n\"Polimento \"\"premium\"\"\",00001,0100\r\n");
        EXPECT_EQ(run({"--branches", branches, "--services", services}).first, 0);
        write("filial.csv", "CDFILIAL,NMFILIAL\n0100,Loja Centro\n");
        EXPECT_EQ(run({"--branches", branches, "--services", services}).first, 0);
        auto db = Database::Open(place.Location(), {});
        EXPECT_EQ(db->Query("SELECT NMFILIAL FROM FILIAL WHERE CDFILIAL = '0100'", {}),
                  (std::vector<SqlRow>{{SqlValue("Loja Centro")}}));
        EXPECT_EQ(db->Query("SELECT NMSERVICO FROM SERVFILI", {}),
                  (std::vector<SqlRow>{{SqlValue("Polimento \"premium\"")}}));

        const struct {
            const char* text;
            const char* said;
        } bad[] = {
            {"CDFILIAL,CDCLIENTE,NRINSJURCLIE\n0100,1,11222333000181\n0100,2,112223330001810000000\n",
             "clientes.csv:3: NRINSJURCLIE has 21 characters, more than 20"},
            {"CDFILIAL,CDCLIENTE,NMRAZSOCCLIE\n0999,1,Ninguém\n", "clientes.csv:2: the branch 0999 is not there"},
            {"CDFILIAL,CDCLIENTE,IDADE\n0100,1,3\n", "clientes.csv:1: 'IDADE' is no column of CLIENTE"},
        };
        for (const auto& b : bad) {
            const auto [status, err] = run({"--clients", write("clientes.csv", b.text)});
            EXPECT_EQ(status, 1) << b.said;
            EXPECT_NE(err.find(b.said), std::string::npos) << err;
            EXPECT_TRUE(db->Query("SELECT CDCLIENTE FROM CLIENTE", {}).empty()) << b.said;
        }
        db.reset();
        place.Drop();
        std::filesystem::remove_all(dir);
    }
}
