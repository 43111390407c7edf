#pragma once
// An application server running inside the test on a loopback port, over a
// small known database: SQLite always, PostgreSQL when SERVCLIENTE_PG_URL
// names one (the PostgreSQL cases are skipped otherwise).
// Also a real appserver process for what only a process shows (its limits,
// its memory, its log), and a peer that speaks the protocol by hand.
#include "platform/core/Cp1252.h"
#include "platform/core/Exception.h"
#include "platform/net/FrameBuffer.h"
#include "platform/net/Protocol.h"
#include "platform/net/RemoteClient.h"
#include "platform/net/SocketChannelIo.h"
#include "server/AppServer.h"
#include "server/RdmServCliente.h"
#include "server/Schema.h"
#include "tests/net/ContractRows.h"

#include <gtest/gtest.h>
#include <openssl/evp.h>
#include <spdlog/spdlog.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

// Windows-1252 form of a UTF-8 literal.
inline std::string W(const char* utf8)
{
    return Cp1252::FromUtf8(utf8);
}

// One appserver process, its standard output read line by line, its standard
// error (the log) written to errFile when one is named, and its open-file
// limit set before it starts when nofile is given.
class AppServerProcess {
public:
    explicit AppServerProcess(std::vector<std::string> args, const std::string& errFile = "",
                              std::optional<rlimit> nofile = std::nullopt)
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
            if (!errFile.empty()) {
                int err = open(errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
                dup2(err, STDERR_FILENO);
                close(err);
            }
            if (nofile && setrlimit(RLIMIT_NOFILE, &*nofile) != 0) {
                _exit(126);
            }
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

    // The port of the first line, "listening on 127.0.0.1:PORT"; 0 when the
    // process printed another line or none.
    int ListeningPort()
    {
        const std::string line = ReadLine();
        const std::string head = "listening on 127.0.0.1:";
        return line.rfind(head, 0) == 0 ? std::stoi(line.substr(head.size())) : 0;
    }

    void Signal(int sig) { kill(pid_, sig); }
    pid_t Pid() const { return pid_; }
    bool Alive() const { return pid_ > 0 && waitpid(pid_, nullptr, WNOHANG) == 0; }

    // A line of /proc/PID/status in kB ("VmHWM", "VmRSS"); -1 when absent.
    long StatusKb(const std::string& field) const
    {
        std::ifstream in("/proc/" + std::to_string(pid_) + "/status");
        for (std::string line; std::getline(in, line);) {
            if (line.rfind(field + ":", 0) == 0) {
                return std::stol(line.substr(field.size() + 1));
            }
        }
        return -1;
    }

    // The exit status, or -1 when the process did not exit normally; a
    // process still running after 20 s is killed.
    int Wait()
    {
        int status = 0;
        for (int i = 0; i < 2000 && waitpid(pid_, &status, WNOHANG) == 0; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
            if (i == 1999) {
                kill(pid_, SIGKILL);
                waitpid(pid_, &status, 0);
            }
        }
        pid_ = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

private:
    pid_t pid_ = -1;
    FILE* out_ = nullptr;
};

// The whole of a text file, e.g. a server's log.
inline std::string FileText(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// How many times needle occurs in text.
inline size_t Occurrences(const std::string& text, const std::string& needle)
{
    size_t n = 0;
    for (size_t at = text.find(needle); at != std::string::npos; at = text.find(needle, at + 1)) {
        ++n;
    }
    return n;
}

// A credentials file line for name with the cheapest cost the file allows
// (ln=10), so that tests checking many secrets stay fast.
inline std::string CheapCredentialsLine(const std::string& name, const std::string& secret, const std::string& branches)
{
    const std::string salt = "salt-for-tests.."; // 16 bytes
    unsigned char key[32];
    EVP_PBE_scrypt(secret.data(), secret.size(), reinterpret_cast<const unsigned char*>(salt.data()), salt.size(), 1024,
                   8, 1, 0, key, sizeof key);
    auto base64 = [](const unsigned char* bytes, size_t size) {
        std::string out(4 * ((size + 2) / 3) + 1, '\0');
        out.resize(static_cast<size_t>(
            EVP_EncodeBlock(reinterpret_cast<unsigned char*>(out.data()), bytes, static_cast<int>(size))));
        return out;
    };
    return name + " $scrypt$ln=10,r=8,p=1$" + base64(reinterpret_cast<const unsigned char*>(salt.data()), 16) + "$" +
           base64(key, sizeof key) + " " + branches + "\n";
}

// Writes a credentials file only its owner may read.
inline void WriteCredentials(const std::string& path, const std::string& lines)
{
    std::ofstream(path) << lines;
    std::filesystem::permissions(path, std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
}

// A handshake sent from a source address of loopback's own (127.0.N.1: a
// network of its own for the server), and the server's answer; ESocketError
// when the server closed the connection without one.
inline Protocol::HelloReply HelloFrom(const std::string& source, int port, const Protocol::Hello& hello)
{
    asio::io_context ioc;
    asio::ip::tcp::socket socket(ioc);
    socket.open(asio::ip::tcp::v4());
    socket.bind({asio::ip::make_address(source), 0});
    socket.connect({asio::ip::make_address("127.0.0.1"), static_cast<unsigned short>(port)});
    asio::write(socket, asio::buffer(FrameBuffer::Wrap(Protocol::EncodeHello(hello))));
    unsigned char header[FrameBuffer::kHeaderSize];
    asio::error_code ec;
    asio::read(socket, asio::buffer(header), ec);
    if (ec) {
        throw ESocketError("closed without an answer");
    }
    std::string payload(FrameBuffer::PayloadLength(header, 65536), '\0');
    asio::read(socket, asio::buffer(payload), ec);
    if (ec) {
        throw ESocketError("closed within the answer");
    }
    return Protocol::DecodeHelloReply(payload);
}

// A peer that speaks the protocol by hand, frame by frame or byte by byte.
class RawPeer {
public:
    explicit RawPeer(int port) { channel.Connect("127.0.0.1", port, std::chrono::seconds(5)); }
    void Hello(const std::string& name = "Zel.rdmServCliente", const std::string& secret = "")
    {
        channel.WriteFrame(Protocol::EncodeHello({Protocol::kVersion, name, secret}), std::chrono::seconds(5));
        ASSERT_TRUE(Protocol::DecodeHelloReply(Read()).accepted);
    }
    std::string Read()
    {
        return channel.ReadFrame(std::chrono::seconds(10), std::chrono::seconds(10), FrameBuffer::kDefaultMaxFrame);
    }
    void WriteRaw(const std::string& bytes) { asio::write(channel.Asio().socket, asio::buffer(bytes)); }
    SocketChannel channel;
};

// A server on its own thread, stopped and joined when destroyed.
class RunningServer {
public:
    RunningServer(ServerOptions options, const ModuleRegistry& registry) : server_(std::move(options), registry)
    {
        server_.Start();
        thread_ = std::thread([this] { server_.Run(); });
    }
    ~RunningServer()
    {
        server_.Stop();
        thread_.join();
    }
    int Port() const { return server_.Port(); }
    AppServer& Server() { return server_; }

private:
    AppServer server_;
    std::thread thread_;
};

// Where a test's database lives: on PostgreSQL a schema of its own (tests may
// run at once in several processes), which every connection opened on the
// location uses; on SQLite a file in a directory of its own. Drop removes the
// schema or the directory.
class TestDatabasePlace {
public:
    // False when kind is "postgresql" and SERVCLIENTE_PG_URL names no server.
    bool Make(const std::string& kind)
    {
        if (kind == "postgresql") {
            const char* url = std::getenv("SERVCLIENTE_PG_URL");
            if (!url || !*url) {
                return false;
            }
            static int counter = 0;
            schema_ = "t" + std::to_string(getpid()) + "_" + std::to_string(++counter);
            admin_ = Database::Open(url, {});
            admin_->ExecScript("DROP SCHEMA IF EXISTS " + schema_ + " CASCADE; CREATE SCHEMA " + schema_);
            location_ = std::string(url) + (std::string(url).find('?') == std::string::npos ? "?" : "&") +
                        "options=-csearch_path%3D" + schema_;
        } else {
            char dir[] = "/tmp/servcliente-server-XXXXXX";
            if (mkdtemp(dir) == nullptr) {
                throw std::runtime_error("no temporary directory for the database");
            }
            dir_ = dir;
            location_ = dir_ + "/server.db";
        }
        return true;
    }
    void Drop()
    {
        if (admin_) {
            admin_->ExecScript("DROP SCHEMA IF EXISTS " + schema_ + " CASCADE");
            admin_.reset();
        }
        if (!dir_.empty()) {
            std::filesystem::remove_all(dir_);
            dir_.clear();
        }
    }
    const std::string& Location() const { return location_; }
    // The connection that made the PostgreSQL schema; null on SQLite.
    Database* Admin() const { return admin_.get(); }

private:
    std::string schema_;
    std::string dir_;
    std::string location_;
    std::unique_ptr<Database> admin_;
};

// Every engine the server speaks, by the name TestDatabasePlace::Make takes:
// each suite of the server's tests runs on all of them from this list.
inline const std::vector<std::string> kEngines = {"sqlite", "postgresql"};

// A client that names op and gives secret to the server on port.
inline std::unique_ptr<RemoteClient> OpenAs(int port, const std::string& op, const std::string& secret)
{
    auto c = std::make_unique<RemoteClient>();
    c->SetOperator(op);
    c->Open("127.0.0.1", port, "Zel.rdmServCliente", secret);
    return c;
}

class ServerTest : public ::testing::TestWithParam<std::string> {
protected:
    void SetUp() override
    {
        spdlog::set_level(spdlog::level::off);
        if (!place_.Make(GetParam())) {
            GTEST_SKIP() << "SERVCLIENTE_PG_URL is not set";
        }
        dbLocation_ = place_.Location();
        db_ = Database::Open(dbLocation_, {});
        db_->ExecScript("DROP TABLE IF EXISTS SERVCLIE; DROP TABLE IF EXISTS SERVFILI; "
                        "DROP TABLE IF EXISTS CLIENTE; DROP TABLE IF EXISTS FILIAL;");
        Schema::Create(*db_);
        Fill();
        RdmServCliente::Register(registry_);
        options_.db = dbLocation_;
        options_.listenHost = "127.0.0.1";
        options_.listenPort = 0;
    }

    void TearDown() override
    {
        server_.reset();
        db_.reset();
        place_.Drop();
    }

    void Fill()
    {
        auto run = [&](const std::string& sql, std::vector<SqlValue> values) { db_->Execute(sql, values); };
        for (auto [code, name] : {std::pair{"0001", "Matriz São Paulo"}, std::pair{"0002", "Filial Campinas"}}) {
            run("INSERT INTO FILIAL VALUES (?, ?)", {code, name});
        }
        const char* clients[][5] = {
            {"0001", "00000001", "F", "12345678909", "Zélia Souza"},
            {"0001", "00000002", "J", "11222333000181", "Álvaro Comércio Ltda"},
            {"0001", "00000003", "F", "98765432100", "bruno lima"},
            {"0001", "00000004", "F", "529.982.247-25", "Carla Dias"},
            {"0002", "00000001", "F", "12345678909", "Outra Filial"},
        };
        for (auto& c : clients) {
            run("INSERT INTO CLIENTE VALUES (?, ?, ?, ?, ?)", {c[0], c[1], c[2], c[3], c[4]});
        }
        const char* services[][3] = {
            {"0001", "00003", "Limpeza pós-obra"},
            {"0001", "00001", "Manutenção"},
            {"0001", "00002", "Consultoria"},
            {"0002", "00001", "Outro serviço"},
        };
        for (auto& s : services) {
            run("INSERT INTO SERVFILI VALUES (?, ?, ?)", {s[0], s[1], s[2]});
        }
        for (auto [branch, service] : {std::pair{"0001", "00002"}, std::pair{"0002", "00001"}}) {
            run("INSERT INTO SERVCLIE (CDFILIAL, CDCLIENTE, CDSERVFILI) VALUES (?, ?, ?)",
                {branch, "00000001", service});
        }
    }

    RunningServer& Server()
    {
        if (!server_) {
            server_ = std::make_unique<RunningServer>(options_, registry_);
        }
        return *server_;
    }

    std::unique_ptr<RemoteClient> Connect(const std::string& serverName = "Zel.rdmServCliente",
                                          const std::string& secret = "")
    {
        auto c = std::make_unique<RemoteClient>();
        c->SetConnectTimeout(std::chrono::seconds(5));
        c->SetCallTimeout(std::chrono::seconds(15));
        c->Open("127.0.0.1", Server().Port(), serverName, secret);
        return c;
    }

    RemoteClient& Client()
    {
        if (!client_) {
            client_ = Connect();
        }
        return *client_;
    }

    Variant Call2(const std::string& method, const std::string& a, const std::string& b)
    {
        std::vector<RemoteArg> args = {RemoteArg::Text(a), RemoteArg::Text(b)};
        return Client().Call(method, args);
    }

    DataPacket Packet2(const std::string& method, const std::string& a, const std::string& b)
    {
        return *Call2(method, a, b).AsPacket();
    }

    Variant Apply(const Variant& packet)
    {
        std::vector<RemoteArg> args = {RemoteArg::ByRef(packet)};
        return Client().Call("ApCoServClie", args);
    }

    // Every row of every table, in a fixed order: what "nothing changed" compares.
    std::string Snapshot()
    {
        std::string out;
        for (const char* sql : {"SELECT CDFILIAL, NMFILIAL FROM FILIAL ORDER BY 1",
                                "SELECT CDFILIAL, CDCLIENTE, IDTPIJURCLIE, NRINSJURCLIE, NMRAZSOCCLIE FROM CLIENTE "
                                "ORDER BY 1, 2",
                                "SELECT CDFILIAL, CDSERVFILI, NMSERVICO FROM SERVFILI ORDER BY 1, 2",
                                "SELECT CDFILIAL, CDCLIENTE, CDSERVFILI FROM SERVCLIE ORDER BY 1, 2, 3"}) {
            for (const auto& row : db_->Query(sql, {})) {
                for (const auto& v : row) {
                    out += v.value_or("<null>") + "|";
                }
                out += "\n";
            }
            out += "--\n";
        }
        return out;
    }

    // The assigned service codes of a client, from the database itself.
    std::vector<std::string> Assigned(const std::string& branch, const std::string& client)
    {
        std::vector<std::string> codes;
        for (const auto& row : db_->Query("SELECT CDSERVFILI FROM SERVCLIE WHERE CDFILIAL = ? AND CDCLIENTE = ? "
                                          "ORDER BY CDSERVFILI",
                                          {branch, client})) {
            codes.push_back(*row[0]);
        }
        return codes;
    }

    TestDatabasePlace place_;
    std::string dbLocation_;
    std::unique_ptr<Database> db_;
    ModuleRegistry registry_;
    ServerOptions options_;
    std::unique_ptr<RunningServer> server_;
    std::unique_ptr<RemoteClient> client_;
};

// A change packet of assignments, shaped as the screen's client data set sends it.
class ChangePacketBuilder {
public:
    ChangePacketBuilder() { packet_.fields = contractrows::Assigned().PacketFields(); }
    ChangePacketBuilder& Insert(const char* branch, const char* service, const char* client)
    {
        packet_.rows.push_back({TUpdateStatus::usInserted, Row(branch, service, client), {}});
        return *this;
    }
    ChangePacketBuilder& Delete(const char* branch, const char* service, const char* client)
    {
        packet_.rows.push_back({TUpdateStatus::usDeleted, Row(branch, service, client), {}});
        return *this;
    }
    ChangePacketBuilder& Modify(const char* branch, const char* from, const char* to, const char* client)
    {
        packet_.rows.push_back({TUpdateStatus::usModified, Row(branch, to, client), Row(branch, from, client)});
        return *this;
    }
    Variant Build() const { return Variant(packet_); }
    DataPacket& Packet() { return packet_; }

private:
    static std::vector<FieldValue> Row(const char* branch, const char* service, const char* client)
    {
        return contractrows::AssignedRow(branch, service, client, "nome");
    }

    DataPacket packet_;
};
