// The real appserver program: its command line, its "listening on" line, a
// clean stop on SIGTERM, a client that goes on after a restart, and what it
// does when its descriptors or memory run short, under a flood of liveness
// probes, and with its files and logs.
#include "ServerFixture.h"

#include "host/TNetConnection.h"
#include "platform/core/Exception.h"
#include "platform/net/CallDescriptor.h"
#include "server/Credentials.h"
#include "server/HealthCheck.h"
#include "server/LivenessProbe.h"
#include "server/ServerSession.h"

#include <msgpack.hpp>
#include <sqlite3.h>

#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <deque>
#include <filesystem>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <tuple>
#include <unistd.h>

namespace {

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

namespace {

// Under AddressSanitizer the server's memory is its allocator's (shadow,
// quarantine, an address space reserved whole), so memory is not measured;
// the sanitizers' runtime also needs descriptors of its own.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool kAddressSanitizer = true;
#else
constexpr bool kAddressSanitizer = false;
#endif

std::unique_ptr<RemoteClient> Operator(int port, const std::string& secret = "")
{
    auto c = std::make_unique<RemoteClient>();
    c->SetConnectTimeout(std::chrono::seconds(5));
    c->SetCallTimeout(std::chrono::seconds(15));
    c->Open("127.0.0.1", port, "Zel.rdmServCliente", secret);
    return c;
}

size_t GetClienteRows(RemoteClient& client)
{
    std::vector<RemoteArg> args = {RemoteArg::Text("0001"), RemoteArg::Text("")};
    return client.Call("GetCliente", args).AsPacket()->rows.size();
}

// The payload of an ApCoServClie call carrying a change packet of rows
// inserted rows of fields nil values, written by hand: as a DataPacket it
// would take the memory it is meant to make the server spend.
std::string NilPacketCall(int fields, int rows)
{
    msgpack::sbuffer body;
    msgpack::packer<msgpack::sbuffer> pk(&body);
    pk.pack_array(4);
    pk.pack_str(4);
    pk.pack_str_body("SCDP", 4);
    pk.pack_uint8(1);
    pk.pack_array(static_cast<std::uint32_t>(fields));
    for (int f = 0; f < fields; ++f) {
        const std::string name = "F" + std::to_string(f);
        pk.pack_array(4);
        pk.pack_str(static_cast<std::uint32_t>(name.size()));
        pk.pack_str_body(name.data(), static_cast<std::uint32_t>(name.size()));
        pk.pack_uint8(1);
        pk.pack_uint8(1);
        pk.pack_false();
    }
    pk.pack_array(static_cast<std::uint32_t>(rows));
    for (int r = 0; r < rows; ++r) {
        pk.pack_array(3);
        pk.pack_uint8(2);
        pk.pack_array(static_cast<std::uint32_t>(fields));
        for (int f = 0; f < fields; ++f) {
            pk.pack_nil();
        }
        pk.pack_array(0);
    }
    msgpack::sbuffer call;
    msgpack::packer<msgpack::sbuffer> out(&call);
    const std::string descriptor = CallDescriptor("ApCoServClie", {TArgType::atVariantByRef}).Bytes();
    out.pack_array(3);
    out.pack_uint8(4);
    out.pack_bin(static_cast<std::uint32_t>(descriptor.size()));
    out.pack_bin_body(descriptor.data(), static_cast<std::uint32_t>(descriptor.size()));
    out.pack_array(1);
    out.pack_ext(body.size(), 1);
    out.pack_ext_body(body.data(), static_cast<std::uint32_t>(body.size()));
    return std::string(call.data(), call.size());
}

} // namespace

TEST_F(AppServerProcessTest, KeepsAcceptingWhenItsDescriptorsRunOut)
{
    if (kAddressSanitizer) {
        // UBSan checks a pointer by writing the memory to a pipe, which a
        // process without a descriptor left cannot open; it then aborts.
        GTEST_SKIP() << "a sanitized server cannot be run out of descriptors";
    }
    // The limit is lowered from outside once the server runs, to a little
    // above what it holds, so that a burst of connections exhausts it
    // whatever the server made sure of at start.
    const std::string log = dir_ + "/server.log";
    AppServerProcess server({"--db", dir_ + "/server.db", "--listen", "127.0.0.1:0"}, log);
    const int port = server.ListeningPort();
    ASSERT_GT(port, 0);
    const std::string fds = "/proc/" + std::to_string(server.Pid()) + "/fd";
    const auto open = std::distance(std::filesystem::directory_iterator(fds), std::filesystem::directory_iterator());
    rlimit limit{};
    ASSERT_EQ(prlimit(server.Pid(), RLIMIT_NOFILE, nullptr, &limit), 0);
    limit.rlim_cur = static_cast<rlim_t>(open + 12);
    ASSERT_EQ(prlimit(server.Pid(), RLIMIT_NOFILE, &limit, nullptr), 0);

    const auto started = std::chrono::steady_clock::now();
    {
        asio::io_context ioc;
        std::vector<asio::ip::tcp::socket> burst;
        for (int i = 0; i < 300; ++i) {
            burst.emplace_back(ioc);
            burst.back().connect({asio::ip::make_address("127.0.0.1"), static_cast<unsigned short>(port)});
        }
        std::this_thread::sleep_for(std::chrono::seconds(1));
    }
    std::unique_ptr<RemoteClient> client;
    while (!client && std::chrono::steady_clock::now() - started < std::chrono::seconds(10)) {
        try {
            client = Operator(port);
        } catch (const std::exception&) {
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
    }
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(std::chrono::steady_clock::now() - started);
    ASSERT_TRUE(client) << "no connection accepted after the burst";
    EXPECT_EQ(GetClienteRows(*client), 0u);
    EXPECT_TRUE(server.Alive());
    const std::string text = FileText(log);
    // The accept itself, or the session's loop, found no descriptor.
    EXPECT_NE(text.find("Too many open files"), std::string::npos) << text;
    EXPECT_LE(Occurrences(text, "[error]"), static_cast<size_t>(seconds.count()) + 1) << text;
}

TEST_F(AppServerProcessTest, RaisesItsOpenFileLimitForItsConnectionsOrRefusesToStart)
{
    const std::string log = dir_ + "/server.log";
    const std::string db = dir_ + "/server.db";
    {
        AppServerProcess server({"--db", db, "--listen", "127.0.0.1:0", "--max-connections", "10000"}, log,
                                rlimit{1024, 1024});
        EXPECT_EQ(server.ReadLine(), "");
        EXPECT_EQ(server.Wait(), 1);
        const std::string text = FileText(log);
        EXPECT_NE(text.find("--max-connections 10000"), std::string::npos) << text;
        EXPECT_NE(text.find("limit of 1024"), std::string::npos) << text;
    }
    // A soft limit of 128 holds a dozen connections; the hard limit allows
    // what 100 need, and every one of them is served.
    AppServerProcess server(
        {"--db", db, "--listen", "127.0.0.1:0", "--max-connections", "100", "--max-sessions-per-address", "100"}, log,
        rlimit{128, 4096});
    const int port = server.ListeningPort();
    ASSERT_GT(port, 0);
    std::vector<std::unique_ptr<RemoteClient>> clients;
    for (int i = 0; i < 100; ++i) {
        ASSERT_NO_THROW(clients.push_back(Operator(port))) << "connection " << i + 1;
    }
    EXPECT_EQ(GetClienteRows(*clients.front()), 0u);
    EXPECT_EQ(GetClienteRows(*clients.back()), 0u);
    EXPECT_TRUE(server.Alive());
}

TEST_F(AppServerProcessTest, AConnectionsMemoryStaysWithinTheFrameBoundAndTheValueBudget)
{
    const std::string log = dir_ + "/server.log";
    AppServerProcess server({"--db", dir_ + "/server.db", "--listen", "127.0.0.1:0", "--max-connections", "40",
                             "--max-sessions-per-address", "40"},
                            log);
    const int port = server.ListeningPort();
    ASSERT_GT(port, 0);
    RawPeer first(port);
    first.Hello();
    const long before = server.StatusKb("VmHWM");

    // 32 peers announce a frame of the whole bound and send one byte of it.
    {
        std::vector<std::unique_ptr<RawPeer>> peers;
        for (int i = 0; i < 32; ++i) {
            peers.push_back(std::make_unique<RawPeer>(port));
            peers.back()->Hello();
            peers.back()->WriteRaw(std::string("\x00\x7F\xFF\xFF", 4) + "x");
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        if (!kAddressSanitizer) {
            EXPECT_LT(server.StatusKb("VmHWM") - before, 16 * 1024) << "kB more after 32 announced frames";
        }
    }

    // A change packet of 1,024 fields by 8,135 rows of nil, just within the
    // frame bound: refused before its rows are built.
    const std::string call = NilPacketCall(1024, 8135);
    ASSERT_LE(call.size(), FrameBuffer::kDefaultMaxFrame);
    first.channel.WriteFrame(call, std::chrono::seconds(10));
    auto fault = Protocol::DecodeCallReply(first.Read());
    EXPECT_FALSE(fault.ok);
    EXPECT_NE(fault.message.find("limit of 1000000 values"), std::string::npos) << fault.message;
    if (!kAddressSanitizer) {
        EXPECT_LT(server.StatusKb("VmHWM") - before, 40 * 1024) << "kB more after the packet";
    }
    Protocol::Call get{CallDescriptor("GetCliente", {TArgType::atTextByValue, TArgType::atTextByValue}),
                       {Variant("0001"), Variant("")}};
    first.channel.WriteFrame(Protocol::EncodeCall(get), std::chrono::seconds(5));
    EXPECT_TRUE(Protocol::DecodeCallReply(first.Read()).ok);
    if (kAddressSanitizer) {
        GTEST_SKIP() << "an address-space cap needs the plain allocator";
    }

    // With the budget lifted and the address space capped, the same packet
    // runs the server out of memory: that call gets a fault, the connection
    // and the server go on.
    AppServerProcess lifted({"--db", dir_ + "/lifted.db", "--listen", "127.0.0.1:0", "--max-cells", "100000000"}, log);
    const int liftedPort = lifted.ListeningPort();
    ASSERT_GT(liftedPort, 0);
    RawPeer capped(liftedPort);
    capped.Hello();
    rlimit space{static_cast<rlim_t>(lifted.StatusKb("VmSize") + 128 * 1024) * 1024, RLIM_INFINITY};
    ASSERT_EQ(prlimit(lifted.Pid(), RLIMIT_AS, &space, nullptr), 0);
    capped.channel.WriteFrame(call, std::chrono::seconds(10));
    fault = Protocol::DecodeCallReply(capped.Read());
    EXPECT_FALSE(fault.ok);
    EXPECT_NE(fault.message.find("ran out of memory"), std::string::npos) << fault.message;
    capped.channel.WriteFrame(Protocol::EncodeCall(get), std::chrono::seconds(5));
    EXPECT_TRUE(Protocol::DecodeCallReply(capped.Read()).ok);
    EXPECT_TRUE(lifted.Alive());
}

TEST_F(AppServerProcessTest, StartRefusesUnknownLogLevelsAndOpenSecretFilesAndKeepsTheDatabasePrivate)
{
    const std::string log = dir_ + "/server.log";
    const std::string db = dir_ + "/server.db";
    {
        AppServerProcess server({"--db", db, "--listen", "127.0.0.1:0", "--log-level", "verbos"}, log);
        EXPECT_EQ(server.ReadLine(), "");
        EXPECT_NE(server.Wait(), 0);
        EXPECT_NE(FileText(log).find("verbos"), std::string::npos) << FileText(log);
    }
    for (auto [level, infoShown] : {std::pair{"INFO", true}, std::pair{"Warn", false}}) {
        AppServerProcess server({"--db", db, "--listen", "127.0.0.1:0", "--log-level", level}, log);
        ASSERT_GT(server.ListeningPort(), 0) << level;
        server.Signal(SIGTERM);
        EXPECT_EQ(server.Wait(), 0);
        EXPECT_EQ(FileText(log).find("[info] listening on") != std::string::npos, infoShown) << level;
    }
    const auto others = std::filesystem::perms::group_all | std::filesystem::perms::others_all;
    EXPECT_EQ(std::filesystem::status(db).permissions() & others, std::filesystem::perms::none);

    // A database file found open to others is narrowed; its -wal and -shm follow it.
    std::filesystem::permissions(db, std::filesystem::perms::owner_read | std::filesystem::perms::owner_write |
                                         std::filesystem::perms::group_read | std::filesystem::perms::others_read);
    {
        AppServerProcess server({"--db", db, "--listen", "127.0.0.1:0"}, log);
        const int port = server.ListeningPort();
        ASSERT_GT(port, 0);
        auto client = Operator(port);
        for (const char* suffix : {"", "-wal", "-shm"}) {
            ASSERT_TRUE(std::filesystem::exists(db + suffix)) << suffix;
            EXPECT_EQ(std::filesystem::status(db + suffix).permissions() & others, std::filesystem::perms::none)
                << suffix;
        }
        EXPECT_NE(FileText(log).find("narrowed to 0600"), std::string::npos) << FileText(log);
    }

    const std::string secret = dir_ + "/secret";
    std::ofstream(secret) << "s3gredo\n";
    std::filesystem::permissions(secret, std::filesystem::perms::owner_read | std::filesystem::perms::owner_write |
                                             std::filesystem::perms::group_read | std::filesystem::perms::group_write |
                                             std::filesystem::perms::others_read |
                                             std::filesystem::perms::others_write);
    AppServerProcess server({"--db", db, "--listen", "127.0.0.1:0", "--secret-file", secret}, log);
    EXPECT_EQ(server.ReadLine(), "");
    EXPECT_EQ(server.Wait(), 1);
    EXPECT_NE(FileText(log).find(secret + " has mode 0666"), std::string::npos) << FileText(log);
}

TEST_F(AppServerProcessTest, EveryRowCostsAValueSoNoPacketGrowsTheServerPast64MB)
{
    AppServerProcess server({"--db", dir_ + "/server.db", "--listen", "127.0.0.1:0"});
    const int port = server.ListeningPort();
    ASSERT_GT(port, 0);
    RawPeer peer(port);
    peer.Hello();
    const long before = server.StatusKb("VmHWM");
    // Rows without fields, and rows of one field: 2,000,000 and 999,999
    // rows are refused before they are built; 999,999 empty rows, just
    // within the budget, are what one packet can cost at most.
    for (auto [fields, rows, refused] :
         {std::tuple{0, 2000000, true}, std::tuple{1, 999999, true}, std::tuple{0, 999999, false}}) {
        const std::string call = NilPacketCall(fields, rows);
        ASSERT_LE(call.size(), FrameBuffer::kDefaultMaxFrame);
        peer.channel.WriteFrame(call, std::chrono::seconds(10));
        const auto reply = Protocol::DecodeCallReply(peer.Read());
        EXPECT_EQ(reply.message.find("over the limit of 1000000 values") != std::string::npos, refused)
            << fields << " x " << rows << ": " << reply.message;
    }
    if (!kAddressSanitizer) {
        EXPECT_LT(server.StatusKb("VmHWM") - before, 64 * 1024) << "kB more after the packets";
    }
    EXPECT_TRUE(server.Alive());
}

TEST_F(AppServerProcessTest, AnswersOverTheBoundAreNotBuiltAndFewAreBuiltAtOnce)
{
    // 30,000 clients of one branch: an answer of some 3 MB, over a bound of
    // 1 MiB; room for two such answers at once.
    const std::string db = dir_ + "/server.db";
    {
        auto d = Database::Open(db, {});
        Schema::Create(*d);
        d->Begin(true);
        d->Execute("INSERT INTO FILIAL VALUES (?, ?)", {"0001", "Matriz"});
        for (int i = 0; i < 30000; ++i) {
            char code[16];
            std::snprintf(code, sizeof code, "%08d", i);
            d->Execute("INSERT INTO CLIENTE VALUES (?, ?, ?, ?, ?)",
                       {"0001", code, "F", "12345678909", "Cliente " + std::string(code) + std::string(30, 'x')});
        }
        d->Commit();
    }
    AppServerProcess server({"--db", db, "--listen", "127.0.0.1:0", "--max-answer", "1048576", "--answer-memory",
                             "2097152", "--max-connections", "40", "--max-sessions-per-address", "40"});
    const int port = server.ListeningPort();
    ASSERT_GT(port, 0);
    std::vector<std::unique_ptr<RawPeer>> peers;
    for (int i = 0; i < 16; ++i) {
        peers.push_back(std::make_unique<RawPeer>(port));
        peers.back()->Hello();
    }
    const long before = server.StatusKb("VmHWM");
    const Protocol::Call get{CallDescriptor("GetCliente", {TArgType::atTextByValue, TArgType::atTextByValue}),
                             {Variant("0001"), Variant("")}};
    for (auto& p : peers) {
        p->channel.WriteFrame(Protocol::EncodeCall(get), std::chrono::seconds(5));
    }
    int overBound = 0;
    for (auto& p : peers) {
        const auto reply = Protocol::DecodeCallReply(p->Read());
        EXPECT_FALSE(reply.ok);
        // A slow server may find no room for some within its wait.
        EXPECT_TRUE(reply.code == "srv.resposta_grande" || reply.code == "srv.respostas_ocupado") << reply.message;
        overBound += reply.code == "srv.resposta_grande" ? 1 : 0;
    }
    EXPECT_GT(overBound, 0);
    if (!kAddressSanitizer) {
        EXPECT_LT(server.StatusKb("VmHWM") - before, 160 * 1024) << "kB more after 16 answers over the bound";
    }
    const Protocol::Call small{CallDescriptor("GetServico", {TArgType::atTextByValue, TArgType::atTextByValue}),
                               {Variant("0001"), Variant("")}};
    peers.front()->channel.WriteFrame(Protocol::EncodeCall(small), std::chrono::seconds(5));
    EXPECT_TRUE(Protocol::DecodeCallReply(peers.front()->Read()).ok);
}

TEST_F(AppServerProcessTest, SighupReadsTheCredentialsAgainAndEndsTheSessionsOfOperatorsRemoved)
{
    const std::string file = dir_ + "/operators";
    const std::string log = dir_ + "/server.log";
    WriteCredentials(file, CheapCredentialsLine("maria", "maria-secret", "0001") +
                               CheapCredentialsLine("joao", "joao-secret", "*"));
    AppServerProcess server({"--db", dir_ + "/server.db", "--listen", "127.0.0.1:0", "--credentials", file}, log);
    const int port = server.ListeningPort();
    ASSERT_GT(port, 0);
    auto open = [port](const std::string& op, const std::string& secret) { return OpenAs(port, op, secret); };
    auto maria = open("maria", "maria-secret");
    auto ana = std::unique_ptr<RemoteClient>();
    EXPECT_EQ(GetClienteRows(*maria), 0u);
    auto reloaded = [&](size_t times) {
        for (int i = 0; i < 100 && Occurrences(FileText(log), "signal 1:") < times; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    };

    // A connection accepted before the reload whose handshake comes after it.
    SocketChannel early;
    early.Connect("127.0.0.1", port, std::chrono::seconds(5));

    // maria removed, joao's secret changed, ana added.
    WriteCredentials(file, CheapCredentialsLine("joao", "new-secret", "*") +
                               CheapCredentialsLine("ana", "ana-secret", "0001"));
    server.Signal(SIGHUP);
    reloaded(1);
    // Checked against the credentials in force when it arrives.
    Protocol::Hello late;
    late.serverName = "Zel.rdmServCliente";
    late.secret = "maria-secret";
    late.operatorName = "maria";
    early.WriteFrame(Protocol::EncodeHello(late), std::chrono::seconds(5));
    EXPECT_FALSE(
        Protocol::DecodeHelloReply(early.ReadFrame(std::chrono::seconds(5), std::chrono::seconds(5), 4096)).accepted);
    ASSERT_TRUE(server.Alive());
    EXPECT_THROW(GetClienteRows(*maria), ESocketError);
    EXPECT_THROW(open("maria", "maria-secret"), ERemoteError);
    EXPECT_THROW(open("joao", "joao-secret"), ERemoteError);
    EXPECT_EQ(GetClienteRows(*open("joao", "new-secret")), 0u);
    ana = open("ana", "ana-secret");

    // A file that does not parse is not taken: the operators stay.
    WriteCredentials(file, "joao not-a-hash *\n");
    server.Signal(SIGHUP);
    reloaded(2);
    EXPECT_EQ(GetClienteRows(*open("joao", "new-secret")), 0u);
    EXPECT_EQ(GetClienteRows(*ana), 0u);
    server.Signal(SIGTERM);
    EXPECT_EQ(server.Wait(), 0);
    const std::string text = FileText(log);
    EXPECT_NE(text.find("not read again, the 2 operators loaded before are kept"), std::string::npos) << text;
    EXPECT_NE(text.find("stopped"), std::string::npos) << text;

    // A FIFO is refused at start instead of hanging it; '*' goes alone.
    const std::string fifo = dir_ + "/fifo";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    AppServerProcess onFifo({"--db", dir_ + "/server.db", "--listen", "127.0.0.1:0", "--credentials", fifo}, log);
    EXPECT_EQ(onFifo.ReadLine(), "");
    EXPECT_EQ(onFifo.Wait(), 1);
    EXPECT_NE(FileText(log).find("is not a regular file"), std::string::npos) << FileText(log);
    EXPECT_THROW(Credentials::Line("ana", "ana-secret", "*,0001"), EInvalidOperation);
    EXPECT_THROW(Credentials::Parse(CheapCredentialsLine("ana", "ana-secret", "0001,*"), "operators"),
                 EInvalidOperation);
    // A file read while it is written in place: its last line is cut.
    const std::string whole = CheapCredentialsLine("ana", "ana-secret", "0001,0002");
    EXPECT_EQ(Credentials::Parse(whole, "operators").Size(), 1u);
    EXPECT_THROW(Credentials::Parse(whole.substr(0, whole.size() - 3), "operators"), EInvalidOperation);
}

namespace {

// The process's threads (the Threads line of its status) and its open
// descriptors.
std::pair<long, long> ThreadsAndDescriptors(pid_t pid)
{
    const std::string proc = "/proc/" + std::to_string(pid);
    long threads = 0;
    std::ifstream status(proc + "/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind("Threads:", 0) == 0) {
            threads = std::stol(line.substr(8));
        }
    }
    std::error_code ec;
    long descriptors = 0;
    for (std::filesystem::directory_iterator it(proc + "/fd", ec), end; !ec && it != end; it.increment(ec)) {
        ++descriptors;
    }
    return {threads, descriptors};
}

} // namespace

TEST_F(AppServerProcessTest, AFloodOfLivenessProbesKeepsThreadsAndDescriptorsBoundedAndAnOperatorLogsIn)
{
    for (const std::string& engine : kEngines) {
        SCOPED_TRACE(engine);
        TestDatabasePlace place;
        if (!place.Make(engine)) {
            continue;
        }
        AppServerProcess server({"--db", place.Location(), "--listen", "127.0.0.1:0"}, dir_ + "/server.log");
        const int port = server.ListeningPort();
        ASSERT_GT(port, 0);
        const auto [threadsBefore, descriptorsBefore] = ThreadsAndDescriptors(server.Pid());
        // Another connection holds the database locked: a probe of it waits
        // as for a database that does not answer (SQLite's busy time-out,
        // 10 s; PostgreSQL's lock time-out, 5 s).
        sqlite3* sqliteHolder = nullptr;
        std::unique_ptr<Database> pgHolder;
        if (engine == "sqlite") {
            ASSERT_EQ(sqlite3_open(place.Location().c_str(), &sqliteHolder), SQLITE_OK);
            ASSERT_EQ(sqlite3_exec(sqliteHolder,
                                   "PRAGMA locking_mode=EXCLUSIVE; BEGIN EXCLUSIVE; CREATE TABLE HOLD (X INTEGER);",
                                   nullptr, nullptr, nullptr),
                      SQLITE_OK);
        } else {
            pgHolder = Database::Open(place.Location(), {});
            pgHolder->Begin(true);
            pgHolder->ExecScript("LOCK TABLE FILIAL IN ACCESS EXCLUSIVE MODE");
        }

        std::atomic<bool> done{false};
        long peakThreads = 0;
        long peakDescriptors = 0;
        std::thread watch([&] {
            while (!done) {
                const auto [threads, descriptors] = ThreadsAndDescriptors(server.Pid());
                peakThreads = std::max(peakThreads, threads);
                peakDescriptors = std::max(peakDescriptors, descriptors);
                std::this_thread::sleep_for(std::chrono::milliseconds(2));
            }
        });
        // 2,000 probes from 8 networks (127.0.N.1), none waiting for its
        // answer; this side keeps the last 256 open.
        {
            asio::io_context ioc;
            std::deque<asio::ip::tcp::socket> open;
            const std::string hello =
                FrameBuffer::Wrap(Protocol::EncodeHello({Protocol::kVersion, ServerSession::kLivenessQuestion, ""}));
            for (int i = 0; i < 2000; ++i) {
                auto& s = open.emplace_back(ioc);
                asio::error_code ec;
                s.open(asio::ip::tcp::v4(), ec);
                s.bind({asio::ip::make_address("127.0." + std::to_string(1 + i % 8) + ".1"), 0}, ec);
                s.connect({asio::ip::make_address("127.0.0.1"), static_cast<unsigned short>(port)}, ec);
                if (!ec) {
                    asio::write(s, asio::buffer(hello), ec);
                }
                if (open.size() > 256) {
                    open.pop_front();
                }
            }
            // While the one probe of the database waits, a question is told
            // within a second or so that the database does not answer.
            const auto asked = std::chrono::steady_clock::now();
            const auto silent = HealthCheck::Liveness("127.0.0.1", port, std::chrono::seconds(5));
            EXPECT_FALSE(silent.ok) << silent.message;
            EXPECT_NE(silent.message.find("does not answer"), std::string::npos) << silent.message;
            EXPECT_LT(std::chrono::steady_clock::now() - asked, std::chrono::seconds(3));
        }
        if (sqliteHolder) {
            sqlite3_exec(sqliteHolder, "ROLLBACK", nullptr, nullptr, nullptr);
            sqlite3_close(sqliteHolder);
        } else {
            pgHolder->Rollback();
            pgHolder.reset();
        }
        done = true;
        watch.join();
        // Once the database answers again, so do the probe and a new operator.
        const auto freed = std::chrono::steady_clock::now();
        std::unique_ptr<RemoteClient> client;
        ASSERT_NO_THROW(client = Operator(port));
        EXPECT_EQ(GetClienteRows(*client), 0u);
        const double login = std::chrono::duration<double>(std::chrono::steady_clock::now() - freed).count();
        client.reset();
        std::this_thread::sleep_for(LivenessProbe::kReuseFor);
        const auto alive = HealthCheck::Liveness("127.0.0.1", port, std::chrono::seconds(5));
        EXPECT_TRUE(alive.ok) << alive.message;
        std::cout << engine << ", 2000 probes: threads " << threadsBefore << " -> peak " << peakThreads
                  << ", descriptors " << descriptorsBefore << " -> peak " << peakDescriptors
                  << "; an operator logged in " << login << " s after the database was freed" << std::endl;
        // 64 handshake places and twice 64 wait places, each a thread and
        // its socket and loops (6 descriptors), the refusals being written at
        // the acceptor and the one probe's database.
        EXPECT_LT(peakThreads, threadsBefore + 200);
        EXPECT_LT(peakDescriptors, descriptorsBefore + 8 * 200);
        EXPECT_TRUE(server.Alive());
        server.Signal(SIGTERM);
        EXPECT_EQ(server.Wait(), 0);
        place.Drop();
    }
}
