// Who may reach the server and what they may do: TLS with the server's
// certificate checked by the client, operators' credentials and their
// branches, and the audit of every write. Loopback only: the address outside
// loopback is checked without sending anything to it.
#include "ServerFixture.h"

#include "host/Session.h"
#include "host/TNetConnection.h"
#include "platform/core/Exception.h"
#include "platform/net/TlsContext.h"
#include "server/Credentials.h"
#include "server/HealthCheck.h"
#include "server/PrivateFile.h"

#include <spdlog/sinks/ostream_sink.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <sstream>
#include <sys/socket.h>

using namespace std::chrono_literals;

namespace {

// Standard output of a shell command, or "<failed>" when it did not exit 0.
std::string Shell(const std::string& command)
{
    std::string out;
    FILE* p = popen(command.c_str(), "r");
    if (!p) {
        return "<failed>";
    }
    std::array<char, 512> buffer{};
    while (fgets(buffer.data(), buffer.size(), p)) {
        out += buffer.data();
    }
    return pclose(p) == 0 ? out : "<failed>";
}

// A folder of the test's own, removed with everything in it at the end.
struct ScratchDir {
    ScratchDir()
    {
        char d[] = "/tmp/servcliente-access-XXXXXX";
        if (!mkdtemp(d)) {
            throw std::runtime_error("mkdtemp failed");
        }
        path = d;
    }
    ~ScratchDir() { std::filesystem::remove_all(path); }
    std::string path;
};

void OwnerOnly(const std::string& path)
{
    std::filesystem::permissions(path, std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
}

// A throw-away CA, a server certificate it signed for 127.0.0.1, and a second
// CA that signed nothing, made by the openssl program.
struct TestPki {
    explicit TestPki(const std::string& dir)
        : ca(dir + "/ca.pem"), otherCa(dir + "/other-ca.pem"), cert(dir + "/server.pem"), key(dir + "/server.key")
    {
        const std::string ec = " -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes";
        std::ofstream(dir + "/san.ext") << "subjectAltName=IP:127.0.0.1\n";
        for (const std::string& command :
             {"openssl req -x509" + ec + " -keyout " + dir + "/ca.key -out " + ca + " -days 2 -subj /CN=Test-CA",
              "openssl req -x509" + ec + " -keyout " + dir + "/other-ca.key -out " + otherCa +
                  " -days 2 -subj /CN=Other-CA",
              "openssl req" + ec + " -keyout " + key + " -out " + dir + "/server.csr -subj /CN=127.0.0.1",
              "openssl x509 -req -in " + dir + "/server.csr -CA " + ca + " -CAkey " + dir +
                  "/ca.key -CAcreateserial -out " + cert + " -days 2 -extfile " + dir + "/san.ext"}) {
            if (Shell(command + " 2>&1") == "<failed>") {
                throw std::runtime_error("openssl failed: " + command);
            }
        }
        OwnerOnly(cert);
        OwnerOnly(key);
        // "sha256 Fingerprint=AB:CD:..." as openssl prints it.
        const std::string line = Shell("openssl x509 -in " + cert + " -noout -fingerprint -sha256");
        fingerprint = line.substr(line.find('=') + 1);
        fingerprint = fingerprint.substr(0, fingerprint.find('\n'));
    }
    std::string ca;
    std::string otherCa;
    std::string cert;
    std::string key;
    std::string fingerprint;
};

std::unique_ptr<RemoteClient> TlsClient(int port, std::shared_ptr<TlsContext> tls, const std::string& op = "",
                                        const std::string& secret = "")
{
    auto c = std::make_unique<RemoteClient>();
    c->SetConnectTimeout(5s);
    c->SetTls(std::move(tls));
    c->SetOperator(op);
    c->Open("127.0.0.1", port, "Zel.rdmServCliente", secret);
    return c;
}

Variant CallOn(RemoteClient& client, const std::string& method, const std::string& a, const std::string& b)
{
    std::vector<RemoteArg> args = {RemoteArg::Text(a), RemoteArg::Text(b)};
    return client.Call(method, args);
}

std::string Message(const std::function<void()>& fn)
{
    try {
        fn();
    } catch (const std::exception& e) {
        return e.what();
    }
    return "<no error>";
}

// A relay between one client and the server that passes the client's bytes
// on one at a time, 100 ms apart, once told to trickle; it notes when the
// server closed its end.
class TrickleRelay {
public:
    explicit TrickleRelay(int serverPort) : acceptor_(ioc_, {asio::ip::make_address("127.0.0.1"), 0})
    {
        thread_ = std::thread([this, serverPort] {
            acceptor_.accept(client_);
            server_.connect({asio::ip::make_address("127.0.0.1"), static_cast<unsigned short>(serverPort)});
            std::thread back([&] {
                Copy(server_, client_, false);
                serverClosed_ = std::chrono::steady_clock::now();
                closed_ = true;
                ::shutdown(client_.native_handle(), SHUT_RDWR);
            });
            Copy(client_, server_, true);
            ::shutdown(server_.native_handle(), SHUT_RDWR);
            back.join();
        });
    }
    ~TrickleRelay()
    {
        done_ = true;
        ::shutdown(client_.native_handle(), SHUT_RDWR);
        thread_.join();
    }
    int Port() const { return acceptor_.local_endpoint().port(); }
    void Trickle() { trickle_ = true; }
    bool ServerClosed() const { return closed_; }
    std::chrono::steady_clock::time_point ServerClosedAt() const { return serverClosed_; }

private:
    void Copy(asio::ip::tcp::socket& from, asio::ip::tcp::socket& to, bool mayTrickle)
    {
        std::array<char, 4096> buffer{};
        for (;;) {
            asio::error_code ec;
            const size_t n = from.read_some(asio::buffer(buffer), ec);
            if (ec || done_) {
                return;
            }
            for (size_t at = 0; at < n;) {
                const size_t step = mayTrickle && trickle_ ? 1 : n - at;
                if (step == 1) {
                    std::this_thread::sleep_for(100ms);
                }
                asio::write(to, asio::buffer(buffer.data() + at, step), ec);
                if (ec || done_) {
                    return;
                }
                at += step;
            }
        }
    }

    asio::io_context ioc_;
    asio::ip::tcp::acceptor acceptor_;
    asio::ip::tcp::socket client_{ioc_};
    asio::ip::tcp::socket server_{ioc_};
    std::thread thread_;
    std::atomic<bool> trickle_{false};
    std::atomic<bool> done_{false};
    std::atomic<bool> closed_{false};
    std::chrono::steady_clock::time_point serverClosed_{};
};

} // namespace

TEST_P(ServerTest, OverTlsARecordTrickledAfterTheHandshakeIsCutOffAtTheFrameTimeOut)
{
    if (GetParam() != "sqlite") {
        GTEST_SKIP() << "the server's own time-outs; the database does not matter here";
    }
    ScratchDir scratch;
    TestPki pki(scratch.path);
    options_.tlsCert = pki.cert;
    options_.tlsKey = pki.key;
    options_.frameTimeout = 1s;
    options_.idleTimeout = 30s;
    TrickleRelay relay(Server().Port());
    auto client = TlsClient(relay.Port(), TlsContext::ForClient(pki.ca, ""));
    client->SetCallTimeout(20s);
    EXPECT_EQ(CallOn(*client, "GetCliente", "0001", " ").AsPacket()->rows.size(), 4u);
    // The next call's record, some 70 bytes, would take 7 s to arrive.
    relay.Trickle();
    const auto sent = std::chrono::steady_clock::now();
    EXPECT_THROW(CallOn(*client, "GetCliente", "0001", " "), ESocketError);
    ASSERT_TRUE(relay.ServerClosed());
    EXPECT_LT(relay.ServerClosedAt() - sent, 3s) << "the trickled record was waited for";
}

TEST_P(ServerTest, OverTlsTheServerIsServedWhenItsCertificateMatchesTheCaOrThePinnedFingerprint)
{
    ScratchDir scratch;
    TestPki pki(scratch.path);
    options_.tlsCert = pki.cert;
    options_.tlsKey = pki.key;
    for (auto tls : {TlsContext::ForClient(pki.ca, ""), TlsContext::ForClient("", pki.fingerprint),
                     TlsContext::ForClient(pki.ca, pki.fingerprint)}) {
        auto client = TlsClient(Server().Port(), tls);
        EXPECT_EQ(CallOn(*client, "GetCliente", "0001", " ").AsPacket()->rows.size(), 4u);
        EXPECT_EQ(CallOn(*client, "GetServClie", "0001", "00000001").AsPacket()->rows.size(), 1u);
    }
    // Live updates come over TLS as over plain TCP, the records left whole.
    auto watcher = std::make_unique<RemoteClient>();
    watcher->SetTls(TlsContext::ForClient(pki.ca, ""));
    watcher->SetLiveUpdates(true);
    watcher->Open("127.0.0.1", Server().Port(), "Zel.rdmServCliente", "");
    CallOn(*watcher, "GetServClie", "0001", "00000002");
    auto writer = TlsClient(Server().Port(), TlsContext::ForClient(pki.ca, ""));
    std::vector<RemoteArg> change = {
        RemoteArg::ByRef(Variant(ChangePacketBuilder().Insert("0001", "00002", "00000002").Build()))};
    writer->Call("ApCoServClie", change);
    std::vector<Protocol::Update> told;
    for (int i = 0; i < 100 && told.empty(); ++i) {
        told = watcher->TakeUpdates();
        std::this_thread::sleep_for(20ms);
    }
    ASSERT_EQ(told.size(), 1u);
    EXPECT_EQ(told[0].changes.size(), 1u);
    EXPECT_EQ(CallOn(*watcher, "GetServClie", "0001", "00000002").AsPacket()->rows.size(), 1u);
    // A plain client gets no answer from a TLS server; the health check
    // speaks TLS when told how to check the server.
    EXPECT_THROW(Connect(), ESocketError);
    auto plain = HealthCheck::Run("127.0.0.1", Server().Port(), "", 2s);
    EXPECT_FALSE(plain.ok);
    EXPECT_NE(plain.message.find("seems to speak TLS"), std::string::npos) << plain.message;
    auto checked = HealthCheck::Run("127.0.0.1", Server().Port(), "", 2s, TlsContext::ForClient("", pki.fingerprint));
    EXPECT_TRUE(checked.ok) << checked.message;
    // So does the administrator's command, given the CA or the fingerprint.
    const std::string check = std::string(TEST_BIN_DIR) +
                              "/appserver check --timeout 2 --connect 127.0.0.1:" + std::to_string(Server().Port());
    EXPECT_NE(Shell(check + " --tls-ca-file " + pki.ca + " 2>&1"), "<failed>");
    EXPECT_NE(Shell(check + " --tls-fingerprint " + pki.fingerprint + " 2>&1"), "<failed>");
    EXPECT_EQ(Shell(check + " --tls-ca-file " + pki.otherCa + " 2>&1"), "<failed>");

    // The shell's connection takes the check from the session.
    Session::Current().Set("TlsFingerprint", pki.fingerprint);
    TNetConnection net(nullptr);
    net.SetServerName("Zel.rdmServCliente");
    net.SetHost("127.0.0.1");
    net.SetPort(Server().Port());
    net.SetThrowException(true);
    EXPECT_NO_THROW(net.Open());
    Session::Current().Set("TlsFingerprint", "");
    net.Close();
    EXPECT_THROW(net.Open(), ESocketError);
}

TEST_P(ServerTest, TheClientRefusesAServerCertificateOfAnotherCaOrFingerprintWithAClearMessage)
{
    ScratchDir scratch;
    TestPki pki(scratch.path);
    options_.tlsCert = pki.cert;
    options_.tlsKey = pki.key;
    const int port = Server().Port();
    const std::string wrongCa = Message([&] { TlsClient(port, TlsContext::ForClient(pki.otherCa, "")); });
    EXPECT_NE(wrongCa.find("the server's TLS certificate was refused"), std::string::npos) << wrongCa;
    EXPECT_NE(wrongCa.find(pki.otherCa), std::string::npos) << wrongCa;
    const std::string pinned(64, 'a');
    const std::string wrongPin = Message([&] { TlsClient(port, TlsContext::ForClient("", pinned)); });
    EXPECT_NE(wrongPin.find("fingerprint"), std::string::npos) << wrongPin;
    EXPECT_NE(wrongPin.find(pinned), std::string::npos) << wrongPin;
    EXPECT_THROW(TlsContext::ForClient("", "AB:CD"), EConvertError);
    EXPECT_NO_THROW(TlsClient(port, TlsContext::ForClient(pki.ca, "")));
}

TEST_P(ServerTest, StartRefusesPlainListeningOffLoopbackAndKeyOrCredentialFilesOpenToOthers)
{
    ScratchDir scratch;
    TestPki pki(scratch.path);
    ServerOptions open = options_;
    open.secret = "s3gredo";
    open.listenHost = "0.0.0.0";
    const std::string plain = Message([&] { AppServer(open, registry_).Start(); });
    EXPECT_NE(plain.find("without TLS"), std::string::npos) << plain;

    const std::string credentials = pki.key + ".operators";
    std::ofstream(credentials) << "maria $scrypt$ln=10,r=8,p=1$c2FsdHNhbHRzYWx0$aGFzaGhhc2hoYXNoaGFzaA== *\n";
    ServerOptions tls = options_;
    tls.tlsCert = pki.cert;
    tls.tlsKey = pki.key;
    tls.credentialsFile = credentials;
    for (auto [file, what] : {std::pair{pki.key, "TLS key file"}, std::pair{credentials, "credentials file"}}) {
        OwnerOnly(pki.key);
        OwnerOnly(credentials);
        std::filesystem::permissions(file, std::filesystem::perms::group_read | std::filesystem::perms::others_read,
                                     std::filesystem::perm_options::add);
        const std::string refused = Message([&] { AppServer(tls, registry_).Start(); });
        EXPECT_NE(refused.find(std::string(what) + " " + file + " has mode 0644"), std::string::npos) << refused;
    }
    // The certificate is public: readable by all, the server starts.
    OwnerOnly(pki.key);
    OwnerOnly(credentials);
    std::filesystem::permissions(pki.cert, std::filesystem::perms::group_read | std::filesystem::perms::others_read,
                                 std::filesystem::perm_options::add);
    EXPECT_EQ(Message([&] { AppServer(tls, registry_).Start(); }), "<no error>");

    // Root may keep a private file for the server's group to read; no one
    // else may share one, and no group may write one.
    EXPECT_TRUE(PrivateFile::IsPrivate(0600, 1000));
    EXPECT_TRUE(PrivateFile::IsPrivate(0640, 0));
    EXPECT_TRUE(PrivateFile::IsPrivate(0400, 0));
    EXPECT_FALSE(PrivateFile::IsPrivate(0640, 1000));
    EXPECT_FALSE(PrivateFile::IsPrivate(0660, 0));
    EXPECT_FALSE(PrivateFile::IsPrivate(0644, 0));
    EXPECT_FALSE(PrivateFile::IsPrivate(0650, 0));
}

TEST(RemoteClientTest, NoSecretOrOperatorIsSentInClearToAnAddressOutsideLoopback)
{
    RemoteClient client;
    // 192.0.2.1 is a documentation address; the client refuses before connecting.
    const std::string refused = Message([&] { client.Open("192.0.2.1", 7211, "Zel.rdmServCliente", "s3gredo"); });
    EXPECT_NE(refused.find("without TLS"), std::string::npos) << refused;
    client.SetOperator("maria");
    EXPECT_THROW(client.Open("192.0.2.1", 7211, "Zel.rdmServCliente", ""), ESocketError);
    EXPECT_FALSE(client.IsOpen());
}

TEST_P(ServerTest, OperatorsAreCheckedInTheHandshakeAndKeptToTheirBranchesAndEveryRefusalIsLogged)
{
    std::ostringstream logged;
    auto previous = spdlog::default_logger();
    spdlog::set_default_logger(
        std::make_shared<spdlog::logger>("test", std::make_shared<spdlog::sinks::ostream_sink_mt>(logged)));
    spdlog::set_level(spdlog::level::info);

    // The lines come from the appserver program, the secret on its standard input.
    const std::string program = std::string(TEST_BIN_DIR) + "/appserver";
    ScratchDir scratch;
    const std::string file = scratch.path + "/operators";
    std::ofstream(file) << "# operators\n"
                        << Shell("echo maria-secret | " + program + " passwd --operator maria --branches 0001")
                        << Shell("echo joao-secret | " + program + " passwd --operator joao --branches '*'");
    OwnerOnly(file);
    options_.credentialsFile = file;
    const int port = Server().Port();
    auto open = [port](const std::string& op, const std::string& secret) { return OpenAs(port, op, secret); };
    for (auto [op, secret] : {std::pair{"maria", "joao-secret"}, std::pair{"ana", "maria-secret"}}) {
        const std::string refused = Message([&] { open(op, secret); });
        EXPECT_NE(refused.find("unknown operator or wrong secret"), std::string::npos) << op << ": " << refused;
    }
    EXPECT_NE(Message([&] { open("", "maria-secret"); }).find("named operators only"), std::string::npos);

    auto maria = open("maria", "maria-secret");
    EXPECT_EQ(CallOn(*maria, "GetCliente", "0001", " ").AsPacket()->rows.size(), 4u);
    // Every method declares how it names its branch: by an argument, checked
    // here, or by the entries of its change packet, checked below.
    for (const ContractMethod& m : ServClienteContract::Get().Methods()) {
        ASSERT_TRUE(m.branchArg >= 0 || !m.entryBranchField.empty()) << m.name << " names no branch";
        if (m.branchArg < 0) {
            continue;
        }
        try {
            CallOn(*maria, m.name, "0002", "00000001");
            ADD_FAILURE() << m.name << " on another branch was served";
        } catch (const ERemoteRefusal& e) {
            EXPECT_NE(std::string(e.what()).find("the operator maria may not read or change the branch 0002"),
                      std::string::npos)
                << e.what();
        }
    }
    std::vector<RemoteArg> args = {RemoteArg::ByRef(
        ChangePacketBuilder().Insert("0001", "00001", "00000001").Insert("0002", "00001", "00000001").Build())};
    try {
        maria->Call("ApCoServClie", args);
        ADD_FAILURE() << "a packet with a row of another branch was applied";
    } catch (const ERemoteRefusal& e) {
        EXPECT_EQ(e.Entry(), 2u) << e.what();
    }
    EXPECT_EQ(Assigned("0001", "00000001"), std::vector<std::string>{"00002"});
    EXPECT_EQ(Assigned("0002", "00000001"), std::vector<std::string>{"00001"});
    EXPECT_NE(logged.str().find("DelTodos: the operator maria may not read or change the branch 0002"),
              std::string::npos)
        << logged.str();

    auto joao = open("joao", "joao-secret");
    EXPECT_EQ(CallOn(*joao, "DelTodos", "0002", "00000001").AsInt(), 1);
    // The refused writes are recorded as denied, with the operator and the
    // peer; the reads refused are not writes.
    std::vector<std::string> audit;
    for (const auto& r : db_->Query("SELECT NMOPERADOR, NMENDERECO, NMMETODO, CDFILIAL, CDCLIENTE, CDSERVFILI, "
                                    "DSACAO, NRLINHAS FROM AUDITORIA ORDER BY DTAUDITORIA",
                                    {})) {
        EXPECT_EQ(r[1]->rfind("127.0.0.1:", 0), 0u) << *r[1];
        audit.push_back(*r[0] + "|" + *r[2] + "|" + *r[3] + "|" + *r[4] + "|" + *r[5] + "|" + *r[6] + "|" + *r[7]);
    }
    EXPECT_EQ(audit, (std::vector<std::string>{"maria|DelTodos|0002|00000001||denied|0",
                                               "maria|ApCoServClie|0002|00000001|00001|denied|0",
                                               "joao|DelTodos|0002|00000001||all deleted|1"}));
    spdlog::set_default_logger(previous);
}

TEST_P(ServerTest, EveryChangeOfARowIsAuditedOnceWithItsPeerAndNothingElseIs)
{
    auto audit = [&] {
        std::vector<std::string> rows;
        for (const auto& r : db_->Query("SELECT DTAUDITORIA, NMOPERADOR, NMENDERECO, NMMETODO, CDFILIAL, CDCLIENTE, "
                                        "CDSERVFILI, DSACAO, NRLINHAS FROM AUDITORIA",
                                        {})) {
            EXPECT_EQ(r[0]->size(), 27u) << *r[0]; // 2026-12-07T18:48:31.123456Z
            EXPECT_EQ(r[0]->back(), 'Z');
            // Without credentials the operator is the peer's address.
            EXPECT_EQ(r[2]->rfind("127.0.0.1:", 0), 0u) << *r[2];
            EXPECT_EQ(*r[1], *r[2]);
            rows.push_back(*r[3] + "|" + *r[4] + "|" + *r[5] + "|" + *r[6] + "|" + *r[7] + "|" + *r[8]);
        }
        std::sort(rows.begin(), rows.end());
        return rows;
    };
    // A repeated insert, an edit (the deletion of one service and the
    // insertion of another) and an edit that changes nothing.
    Apply(ChangePacketBuilder()
              .Insert("0001", "00001", "00000002")
              .Insert("0001", "00001", "00000002")
              .Delete("0001", "00002", "00000001")
              .Modify("0001", "00001", "00003", "00000002")
              .Modify("0001", "00003", "00003", "00000002")
              .Build());
    // Inserts and deletions only (PostgreSQL sends them in one round trip),
    // a deletion repeated; then an insert and a deletion sent again, as after
    // a lost answer.
    Apply(ChangePacketBuilder()
              .Insert("0001", "00001", "00000003")
              .Insert("0001", "00002", "00000003")
              .Delete("0001", "00002", "00000003")
              .Delete("0001", "00002", "00000003")
              .Build());
    Apply(ChangePacketBuilder().Insert("0001", "00001", "00000003").Build());
    Apply(ChangePacketBuilder().Delete("0001", "00002", "00000003").Build());
    EXPECT_EQ(Call2("DelTodos", "0001", "00000002").AsInt(), 1);
    EXPECT_EQ(Call2("DelTodos", "0001", "00000004").AsInt(), 0);
    const auto stored = Snapshot();
    // A refused packet stores neither its rows nor their record; neither do
    // key texts holding control characters, refused for good with the entry.
    EXPECT_THROW(Apply(ChangePacketBuilder().Insert("0001", "00001", "00000004").Insert("0001", "00001", "99").Build()),
                 ERemoteRefusal);
    try {
        Apply(ChangePacketBuilder().Insert("0001", "00001", "00000004").Insert("0001", "0\x1b[2J", "00000004").Build());
        ADD_FAILURE() << "a service code with ESC was taken";
    } catch (const ERemoteRefusal& e) {
        EXPECT_EQ(e.Entry(), 2u);
        EXPECT_NE(std::string(e.what()).find("control character 0x1B"), std::string::npos) << e.what();
    }
    for (const std::string& client : {std::string("0000\n0001"),
                                      std::string("0000\0"
                                                  "01",
                                                  7),
                                      std::string("\x7f")}) {
        EXPECT_THROW(Call2("DelTodos", "0001", client), ERemoteRefusal) << client;
    }
    EXPECT_THROW(Call2("DelTodos", "00\r1", "00000001"), ERemoteRefusal);
    EXPECT_EQ(Snapshot(), stored);
    EXPECT_EQ(audit(), (std::vector<std::string>{
                           "ApCoServClie|0001|00000001|00002|deleted|1",
                           "ApCoServClie|0001|00000002|00001|deleted|1",
                           "ApCoServClie|0001|00000002|00001|inserted|1",
                           "ApCoServClie|0001|00000002|00003|inserted|1",
                           "ApCoServClie|0001|00000003|00001|inserted|1",
                           "ApCoServClie|0001|00000003|00002|deleted|1",
                           "ApCoServClie|0001|00000003|00002|inserted|1",
                           "DelTodos|0001|00000002||all deleted|1",
                       }));
}
