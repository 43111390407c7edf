// The real appserver program: its command line, its "listening on" line, a
// clean stop on SIGTERM, and a client that goes on after a restart.
#include "host/TNetConnection.h"
#include "platform/core/Exception.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <filesystem>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// One appserver process, its standard output read line by line.
class AppServerProcess {
public:
    explicit AppServerProcess(std::vector<std::string> args)
    {
        int out[2];
        if (pipe(out) != 0) {
            throw std::runtime_error("pipe failed");
        }
        pid_ = fork();
        if (pid_ == 0) {
            dup2(out[1], STDOUT_FILENO);
            close(out[0]);
            close(out[1]);
            std::string program = std::string(TEST_BIN_DIR) + "/appserver";
            std::vector<char*> argv{program.data()};
            for (auto& a : args) {
                argv.push_back(a.data());
            }
            argv.push_back(nullptr);
            execv(program.c_str(), argv.data());
            _exit(127);
        }
        close(out[1]);
        out_ = fdopen(out[0], "r");
    }

    ~AppServerProcess()
    {
        if (pid_ > 0) {
            kill(pid_, SIGKILL);
            Wait();
        }
        if (out_) {
            fclose(out_);
        }
    }

    std::string ReadLine()
    {
        char line[256];
        if (!fgets(line, sizeof line, out_)) {
            return {};
        }
        return line;
    }

    void Signal(int sig) { kill(pid_, sig); }

    // The exit status, or -1 when the process did not exit normally.
    int Wait()
    {
        int status = 0;
        waitpid(pid_, &status, 0);
        pid_ = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

private:
    pid_t pid_ = -1;
    FILE* out_ = nullptr;
};

class AppServerProcessTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!std::filesystem::exists(std::string(TEST_BIN_DIR) + "/appserver")) {
            FAIL() << "the appserver program is not built in " << TEST_BIN_DIR;
        }
        char dir[] = "/tmp/servcliente-process-XXXXXX";
        ASSERT_NE(mkdtemp(dir), nullptr);
        dir_ = dir;
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }
    std::string dir_;
};

} // namespace

TEST_F(AppServerProcessTest, SeedsListensStopsOnSigtermAndClientsGoOnAfterARestart)
{
    const std::string db = dir_ + "/server.db";
    {
        AppServerProcess seed({"seed", "--db", db, "--local-db", dir_ + "/local.db"});
        ASSERT_EQ(seed.Wait(), 0);
    }
    ASSERT_TRUE(std::filesystem::exists(dir_ + "/local.db"));

    auto server = std::make_unique<AppServerProcess>(std::vector<std::string>{"--db", db, "--listen", "127.0.0.1:0"});
    std::string line = server->ReadLine();
    ASSERT_EQ(line.rfind("listening on 127.0.0.1:", 0), 0u) << line;
    ASSERT_EQ(line.back(), '\n');
    const std::string address = line.substr(13, line.size() - 14);
    const int port = std::stoi(address.substr(address.find(':') + 1));

    TNetConnection net(nullptr);
    int opened = 0;
    net.SetServerName("Zel.rdmServCliente");
    net.SetThrowException(false);
    net.SetOnBeforeConnect([&](TObject*) {
        ++opened;
        net.SetHost("127.0.0.1");
        net.SetPort(port);
    });
    net.SetConnected(true);
    std::vector<RemoteArg> args = {RemoteArg::Text("0001"), RemoteArg::Text("")};
    auto clients = net.AppServer().Call("GetCliente", args).AsPacket();
    EXPECT_EQ(clients->rows.size(), 150u);

    server->Signal(SIGTERM);
    EXPECT_EQ(server->Wait(), 0);
    EXPECT_THROW(net.AppServer().Call("GetCliente", args), ESocketError);

    server = std::make_unique<AppServerProcess>(
        std::vector<std::string>{"--db", db, "--listen", "127.0.0.1:" + std::to_string(port)});
    ASSERT_EQ(server->ReadLine(), "listening on " + address + "\n");
    EXPECT_EQ(net.AppServer().Call("GetCliente", args).AsPacket()->rows.size(), 150u);
    EXPECT_EQ(opened, 3); // the first open, the failed reopen while it was down, the reopen after

    server->Signal(SIGTERM);
    EXPECT_EQ(server->Wait(), 0);
}

TEST_F(AppServerProcessTest, RefusesToStartOnAnOpenAddressWithoutASecret)
{
    AppServerProcess server({"--db", dir_ + "/server.db", "--listen", "0.0.0.0:0"});
    EXPECT_EQ(server.ReadLine(), "");
    EXPECT_EQ(server.Wait(), 1);
}
