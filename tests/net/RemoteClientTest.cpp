#include "Answers.h"
#include "FakeServer.h"

#include "platform/core/Exception.h"
#include "platform/net/CallTrace.h"
#include "platform/net/RemoteClient.h"
#include "platform/net/SocketChannel.h"

#include <gtest/gtest.h>

using namespace std::chrono_literals;

namespace {

std::vector<RemoteArg> TwoTexts()
{
    return {RemoteArg::Text("0001"), RemoteArg::Text("00000004")};
}

void ExpectMessageHas(const std::exception& e, const std::string& part)
{
    EXPECT_NE(std::string(e.what()).find(part), std::string::npos) << e.what();
}

} // namespace

class RemoteClientTest : public ::testing::Test {
protected:
    void OpenOn(FakeServer& server)
    {
        client.SetConnectTimeout(500ms);
        client.SetCallTimeout(500ms);
        client.Open("127.0.0.1", server.Port(), "Zel.rdmServCliente", "");
    }
    RemoteClient client;
};

TEST_F(RemoteClientTest, SilentServerFailsTheHandshakeInsteadOfHanging)
{
    FakeServer server([](const std::string&, int) { return FakeAction::Silence(); });
    try {
        OpenOn(server);
        FAIL() << "opened a connection to a server that never answered";
    } catch (const ESocketError& e) {
        ExpectMessageHas(e, "handshake");
    }
    EXPECT_FALSE(client.IsOpen());
}

TEST_F(RemoteClientTest, CallThatIsNeverAnsweredFailsAndClosesTheConnection)
{
    FakeServer server(FakeServer::Calls([](const Protocol::Call&, int) { return FakeAction::Silence(); }));
    OpenOn(server);
    auto args = TwoTexts();
    // A wait hook is called while the call waits, and the time-out holds.
    int waits = 0;
    auto previous = SocketChannel::SetWaitHook([&waits] { ++waits; });
    try {
        client.Call("GetServico", args);
        FAIL() << "a call without an answer returned";
    } catch (const ESocketError& e) {
        ExpectMessageHas(e, "GetServico");
        ExpectMessageHas(e, "500 ms");
    }
    SocketChannel::SetWaitHook(previous);
    EXPECT_GE(waits, 3);
    EXPECT_FALSE(client.IsOpen());
    EXPECT_THROW(client.Call("GetServico", args), ESocketError);
}

TEST_F(RemoteClientTest, NoServerListeningIsASocketError)
{
    int port = 0;
    {
        FakeServer gone([](const std::string&, int) { return FakeAction::Silence(); });
        port = gone.Port();
    }
    client.SetConnectTimeout(500ms);
    EXPECT_THROW(client.Open("127.0.0.1", port, "Zel.rdmServCliente", ""), ESocketError);
    EXPECT_THROW(client.Open("no-such-host.invalid", 7211, "Zel.rdmServCliente", ""), ESocketError);
}

TEST_F(RemoteClientTest, RefusedHandshakeRaisesTheServersMessage)
{
    FakeServer server([](const std::string&, int) {
        return FakeAction::Reply(HelloAnswer(false, "limite de conex\xF5"
                                                    "es"));
    });
    try {
        OpenOn(server);
        FAIL();
    } catch (const ERemoteError& e) {
        EXPECT_EQ(std::string(e.what()), "limite de conex\xF5"
                                         "es");
    }
    EXPECT_FALSE(client.IsOpen());
}

TEST_F(RemoteClientTest, ServerErrorRaisesItsMessageAndTheConnectionGoesOn)
{
    FakeServer server(FakeServer::Calls([](const Protocol::Call& call, int) {
        if (call.descriptor.Method() == "DelTodos") {
            return FakeAction::Reply(FaultAnswer("Cliente inexistente"));
        }
        return FakeAction::Result(Variant(std::int64_t{7}));
    }));
    OpenOn(server);
    auto args = TwoTexts();
    try {
        client.Call("DelTodos", args);
        FAIL();
    } catch (const ERemoteError& e) {
        EXPECT_EQ(std::string(e.what()), "Cliente inexistente");
    }
    EXPECT_TRUE(client.IsOpen());
    EXPECT_EQ(client.Call("GetCliente", args).AsInt(), 7);
    EXPECT_EQ(server.Connections(), 1);
}

TEST_F(RemoteClientTest, ByReferenceArgumentsComeBackChanged)
{
    FakeServer server(FakeServer::Calls([](const Protocol::Call& call, int) {
        // Two texts: the server claims to change the second, which it may not.
        const bool texts = call.args.size() == 2;
        Protocol::CallReply r;
        r.ok = true;
        r.result = Variant(1);
        r.byRef.emplace_back(texts ? 1u : 0u, texts ? Variant("trocado") : Variant());
        return FakeAction::Reply(Protocol::EncodeCallReply(r));
    }));
    OpenOn(server);
    std::vector<RemoteArg> byRef = {RemoteArg::ByRef(Variant("pacote"))};
    EXPECT_EQ(client.Call("ApCoServClie", byRef).AsInt(), 1);
    EXPECT_TRUE(byRef[0].Value().IsNull());

    // The server may not change an argument passed by value.
    auto texts = TwoTexts();
    EXPECT_THROW(client.Call("GetServico", texts), ESocketError);
    EXPECT_EQ(texts[1].Value().AsString(), "00000004");
}

TEST_F(RemoteClientTest, GarbledAnswersCloseTheConnection)
{
    FakeServer server(FakeServer::Calls([](const Protocol::Call& call, int) {
        if (call.descriptor.Method() == "GetCliente") {
            return FakeAction::Reply(std::string("\x93\x05\xC1\x90", 4));
        }
        return FakeAction::Raw(std::string("\x7F\xFF\xFF\xFF", 4)); // a frame far beyond the bound
    }));
    OpenOn(server);
    auto args = TwoTexts();
    EXPECT_THROW(client.Call("GetCliente", args), ESocketError);
    EXPECT_FALSE(client.IsOpen());
    OpenOn(server);
    EXPECT_THROW(client.Call("GetServico", args), ESocketError);
    EXPECT_FALSE(client.IsOpen());
}

TEST_F(RemoteClientTest, TraceHookSeesEachCallAsItIsSent)
{
    FakeServer server(FakeServer::Calls([](const Protocol::Call&, int) { return FakeAction::Result(Variant()); }));
    OpenOn(server);
    std::vector<std::string> seen;
    auto previous =
        CallTrace::Set([&](const std::string& method, const std::string& head, const std::vector<Variant>& args) {
            seen.push_back(method + " " + CallDescriptor::Hex(head) + " " + std::to_string(args.size()) + " " +
                           args[0].AsString());
        });
    auto texts = TwoTexts();
    client.Call("GetServClie", texts);
    std::vector<RemoteArg> packet = {RemoteArg::ByRef(Variant())};
    client.Call("ApCoServClie", packet);
    CallTrace::Set(previous);
    client.Call("GetServClie", texts);
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0], "GetServClie 01 02 00 48 48 2 0001");
    EXPECT_EQ(seen[1], "ApCoServClie 01 01 00 8C 1 ");
}

TEST_F(RemoteClientTest, AConnectionTheServerClosedIsSeenAsStale)
{
    FakeServer server([](const std::string&, int) { return FakeAction::ReplyThenClose(HelloAnswer(true)); });
    OpenOn(server);
    bool stale = false;
    for (int i = 0; i < 200 && !stale; ++i) {
        stale = client.IsStale();
        if (!stale) {
            std::this_thread::sleep_for(10ms);
        }
    }
    EXPECT_TRUE(stale);
    EXPECT_FALSE(client.IsOpen());
}

TEST_F(RemoteClientTest, ALiveIdleConnectionIsNotStale)
{
    FakeServer server(FakeServer::Calls([](const Protocol::Call&, int) { return FakeAction::Result(Variant()); }));
    OpenOn(server);
    EXPECT_FALSE(client.IsStale());
    auto args = TwoTexts();
    EXPECT_NO_THROW(client.Call("GetCliente", args));
    EXPECT_FALSE(client.IsStale());
    EXPECT_TRUE(client.IsOpen());
}

TEST_F(RemoteClientTest, UpdatesSentBeforeAReadingOfTheWatchedRowsAreShownInItAndDropped)
{
    using U = Protocol::Update;
    const U same{"0001", "00000004", "ana", {{TUpdateStatus::usInserted, "00004"}}};
    const U other{"0001", "00000009", "ana", {{TUpdateStatus::usDeleted, "00002"}}};
    const U reload{};
    FakeServer server(FakeServer::Calls([&](const Protocol::Call&, int) {
        std::string frames;
        for (const U& u : {same, other, reload}) {
            frames += FrameBuffer::Wrap(Protocol::EncodeUpdate(u));
        }
        return FakeAction::Raw(frames + FrameBuffer::Wrap(ResultAnswer(Variant(0))));
    }));
    client.SetLiveUpdates(true);
    OpenOn(server);
    struct Case {
        const char* method;
        std::vector<std::string> kept; // by client code, "" for the reload
    };
    const Case cases[] = {
        {"GetServClie", {"00000009"}},
        {"getservclie", {"00000009"}},
        {"GetServico", {"00000004", "00000009", ""}},
    };
    for (const Case& c : cases) {
        auto args = TwoTexts();
        client.Call(c.method, args);
        std::vector<std::string> kept;
        for (const U& u : client.TakeUpdates()) {
            kept.push_back(u.client);
        }
        EXPECT_EQ(kept, c.kept) << c.method;
    }
}
