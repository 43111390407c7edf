#include "Answers.h"
#include "FakeServer.h"

#include "host/HostMessages.h"
#include "host/TNetConnection.h"
#include "platform/core/Cp1252.h"
#include "platform/core/Exception.h"

#include <gtest/gtest.h>

using namespace std::chrono_literals;

namespace {

std::vector<RemoteArg> TwoTexts()
{
    return {RemoteArg::Text("0001"), RemoteArg::Text("00000004")};
}

int DeadPort()
{
    FakeServer gone([](const std::string&, int) { return FakeAction::Silence(); });
    return gone.Port();
}

} // namespace

class TNetConnectionTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        net.SetServerName("Zel.rdmServCliente");
        net.SetConnectTimeoutMs(1000);
        net.SetCallTimeoutMs(1000);
        net.SetOnBeforeConnect([this](TObject* Sender) {
            ++beforeConnect;
            sender = Sender;
            net.SetHost("127.0.0.1");
            net.SetPort(port);
        });
    }

    TNetConnection net{nullptr};
    int port = 0;
    int beforeConnect = 0;
    TObject* sender = nullptr;
};

TEST_F(TNetConnectionTest, OpeningRunsTheBeforeConnectHandlerThenNamesTheServerObject)
{
    std::string named;
    FakeServer server([&](const std::string& payload, int) {
        if (Protocol::Kind(payload) == TMessageKind::mkHello) {
            named = Protocol::DecodeHello(payload).serverName;
            return FakeAction::Welcome();
        }
        return FakeAction::Result(Variant(std::int64_t{5}));
    });
    port = server.Port();
    net.SetConnected(true);
    EXPECT_TRUE(net.Connected());
    EXPECT_EQ(beforeConnect, 1);
    EXPECT_EQ(sender, &net);
    EXPECT_EQ(named, "Zel.rdmServCliente");

    auto args = TwoTexts();
    EXPECT_EQ(net.AppServer().Call("DelTodos", args).AsInt(), 5);
    EXPECT_EQ(beforeConnect, 1); // an open connection is not opened again

    net.SetConnected(false);
    EXPECT_FALSE(net.Connected());
}

TEST_F(TNetConnectionTest, QuietFailedOpenIsRetriedByTheNextCallWhichRaises)
{
    port = DeadPort();
    net.SetThrowException(false);
    EXPECT_NO_THROW(net.SetConnected(true));
    EXPECT_FALSE(net.Connected());
    EXPECT_NE(net.LastError().find("127.0.0.1:" + std::to_string(port)), std::string::npos) << net.LastError();

    auto args = TwoTexts();
    try {
        net.AppServer().Call("GetCliente", args);
        FAIL() << "a call on an unreachable server returned";
    } catch (const ESocketError& e) {
        EXPECT_NE(std::string(e.what()).find(Cp1252::FromUtf8("Não foi possível conectar ao servidor de aplicação em")),
                  std::string::npos)
            << e.what();
    }
    EXPECT_EQ(beforeConnect, 2);

    net.SetThrowException(true);
    EXPECT_THROW(net.SetConnected(true), ESocketError);
    EXPECT_EQ(beforeConnect, 3);
}

// A call the module's contract does not declare, by name or argument kinds,
// is refused before anything is sent, with the server's own code.
TEST_F(TNetConnectionTest, ACallTheContractDoesNotDeclareIsRefusedBeforeItIsSent)
{
    int calls = 0;
    FakeServer server(FakeServer::Calls([&](const Protocol::Call&, int) {
        ++calls;
        return FakeAction::Result(Variant(std::int64_t{1}));
    }));
    port = server.Port();
    std::vector<RemoteArg> oneText = {RemoteArg::Text("0001")};
    std::vector<RemoteArg> packet = {RemoteArg::ByRef(Variant())};
    auto code = [&](const std::string& method, std::vector<RemoteArg>& args) {
        try {
            net.AppServer().Call(method, args);
        } catch (const ERemoteRefusal& e) {
            return e.Code();
        }
        return std::string("sent");
    };
    EXPECT_EQ(code("GetServico", oneText), "srv.descritor");
    EXPECT_EQ(code("DelTodos", packet), "srv.descritor");
    EXPECT_EQ(code("GetServicos", oneText), "srv.metodo_desconhecido");
    EXPECT_EQ(calls, 0);
    EXPECT_EQ(code("apcoservclie", packet), "sent"); // late-bound names ignore case
    EXPECT_EQ(calls, 1);
}

TEST_F(TNetConnectionTest, ServerGoneDuringACallFailsItAndTheNextCallOpensAgain)
{
    FakeServer server(FakeServer::Calls([](const Protocol::Call&, int connection) {
        return connection == 1 ? FakeAction::Close() : FakeAction::Result(Variant(std::int64_t{1}));
    }));
    port = server.Port();
    net.SetConnected(true);
    std::vector<RemoteArg> packet = {RemoteArg::ByRef(Variant())};
    try {
        net.AppServer().Call("ApCoServClie", packet);
        FAIL();
    } catch (const ESocketError& e) {
        EXPECT_NE(std::string(e.what()).find("ApCoServClie"), std::string::npos) << e.what();
    }
    EXPECT_FALSE(net.Connected());
    EXPECT_EQ(net.AppServer().Call("ApCoServClie", packet).AsInt(), 1);
    EXPECT_EQ(beforeConnect, 2);
    EXPECT_EQ(server.Connections(), 2);
}

TEST_F(TNetConnectionTest, ConnectionClosedByTheServerWhileIdleIsReopenedBeforeTheCall)
{
    FakeServer server([](const std::string& payload, int connection) {
        if (Protocol::Kind(payload) == TMessageKind::mkHello) {
            return connection == 1 ? FakeAction::ReplyThenClose(HelloAnswer(true)) : FakeAction::Welcome();
        }
        return connection == 1 ? FakeAction::Close() : FakeAction::Result(Variant("ok"));
    });
    port = server.Port();
    net.SetConnected(true);
    std::this_thread::sleep_for(300ms); // let the server's close reach this side
    auto args = TwoTexts();
    EXPECT_EQ(net.AppServer().Call("GetServClie", args).AsString(), "ok");
    EXPECT_EQ(beforeConnect, 2);
}

TEST_F(TNetConnectionTest, HostAndPortAreReadOnlyWhenTheConnectionOpens)
{
    FakeServer first(FakeServer::Calls([](const Protocol::Call&, int) { return FakeAction::Result(Variant(1)); }));
    FakeServer second(FakeServer::Calls([](const Protocol::Call&, int) { return FakeAction::Result(Variant(2)); }));
    port = first.Port();
    net.SetConnected(true);
    port = second.Port();
    auto args = TwoTexts();
    EXPECT_EQ(net.AppServer().Call("GetCliente", args).AsInt(), 1);
    net.SetConnected(false);
    EXPECT_EQ(net.AppServer().Call("GetCliente", args).AsInt(), 2);
    EXPECT_EQ(second.Connections(), 1);
}

TEST_F(TNetConnectionTest, RefusedHandshakeNamesTheServerAndItsReason)
{
    FakeServer server(
        [](const std::string&, int) { return FakeAction::Reply(HelloAnswer(false, "unknown server object")); });
    port = server.Port();
    try {
        net.SetConnected(true);
        FAIL();
    } catch (const ERemoteError& e) {
        std::string m = e.what();
        EXPECT_NE(m.find("127.0.0.1:" + std::to_string(port)), std::string::npos) << m;
        EXPECT_NE(m.find("unknown server object"), std::string::npos) << m;
    }
}

TEST_F(TNetConnectionTest, ListOfServersOpensTheFirstThatAnswersAndALostCallSendsTheNextToAnother)
{
    FakeServer first(FakeServer::Calls([](const Protocol::Call&, int connection) {
        return connection == 1 ? FakeAction::Close() : FakeAction::Result(Variant(1));
    }));
    FakeServer second(FakeServer::Calls([](const Protocol::Call&, int) { return FakeAction::Result(Variant(2)); }));
    const int dead = DeadPort();
    net.SetOnBeforeConnect([&](TObject*) {
        ++beforeConnect;
        net.SetHost("127.0.0.1:" + std::to_string(dead) + ", 127.0.0.1:" + std::to_string(first.Port()) +
                    ",127.0.0.1:" + std::to_string(second.Port()));
    });
    net.SetConnected(true);
    EXPECT_EQ(first.Connections(), 1) << "the dead server is passed over";
    auto args = TwoTexts();
    EXPECT_THROW(net.AppServer().Call("GetCliente", args), ESocketError) << "the call in flight fails";
    EXPECT_EQ(net.AppServer().Call("GetCliente", args).AsInt(), 2);
    EXPECT_EQ(net.AppServer().Call("GetCliente", args).AsInt(), 2) << "the connection stays with the new server";
    EXPECT_EQ(first.Connections(), 1);
    EXPECT_EQ(second.Connections(), 1);
}

namespace {

// The answer of a hostile server: a data packet of one field and rows of nil,
// five bytes a row on the wire, written by hand.
std::string NilRowsAnswer(std::uint32_t rows)
{
    std::string body("\x94\xA4SCDP\x01\x91\x94\xA1"
                     "F\x01\x01\xC2\xDD");
    for (int shift = 24; shift >= 0; shift -= 8) {
        body += static_cast<char>((rows >> shift) & 0xFF);
    }
    for (std::uint32_t i = 0; i < rows; ++i) {
        body += std::string("\x93\x02\x91\xC0\x90", 5);
    }
    std::string answer("\x93\x05\xC9", 3);
    for (int shift = 24; shift >= 0; shift -= 8) {
        answer += static_cast<char>((body.size() >> shift) & 0xFF);
    }
    return answer + '\x01' + body + '\x90';
}

} // namespace

TEST_F(TNetConnectionTest, AnAnswerOverTheValueBudgetIsRefusedInTheOperatorsLanguage)
{
    // 600,000 rows of one nil are 3 MB on the wire, 1.2 million values once
    // decoded: over the budget, whatever the frame bound allows.
    const std::string hostile = NilRowsAnswer(600000);
    FakeServer server(FakeServer::Calls([&](const Protocol::Call& call, int) {
        return FakeAction::Reply(call.descriptor.Method() == "GetCliente" ? hostile : NilRowsAnswer(1000));
    }));
    port = server.Port();
    auto args = TwoTexts();
    EXPECT_EQ(net.AppServer().Call("GetServico", args).AsPacket()->rows.size(), 1000u);
    try {
        net.AppServer().Call("GetCliente", args);
        FAIL() << "the answer was taken";
    } catch (const ESocketError& e) {
        EXPECT_EQ(e.Cause(), TSocketCause::scOversize);
        EXPECT_NE(std::string(e.what()).find(HostMessages::Text("causa.resposta_grande")), std::string::npos)
            << e.what();
    }
}
