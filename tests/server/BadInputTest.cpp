#include "ServerFixture.h"

#include "platform/core/Exception.h"
#include "platform/net/FrameBuffer.h"
#include "platform/net/Protocol.h"
#include "platform/net/SocketChannelIo.h"

using namespace std::chrono_literals;

namespace {

// The message of a call that fails on the server; a refusal for good unless
// refusal is false (the call was not done and may be retried).
std::string MessageOf(const std::function<void()>& call, bool refusal = true)
{
    try {
        call();
    } catch (const ERemoteError& e) {
        EXPECT_EQ(dynamic_cast<const ERemoteRefusal*>(&e) != nullptr, refusal) << e.what();
        return e.what();
    }
    ADD_FAILURE() << "the call did not raise ERemoteError";
    return {};
}

} // namespace

TEST_P(ServerTest, OversizeAndSqlLookingArgumentsGetClearErrorsAndChangeNothing)
{
    const std::string before = Snapshot();
    std::string m = MessageOf([&] { Call2("GetCliente", "00001", ""); });
    EXPECT_NE(m.find("branch code"), std::string::npos) << m;
    m = MessageOf([&] { Call2("DelTodos", "0001", "x' OR 1=1; DROP TABLE SERVCLIE; --"); });
    EXPECT_NE(m.find("client code"), std::string::npos) << m;
    m = MessageOf([&] { Call2("GetCliente", "0001", std::string(21, '1')); });
    EXPECT_NE(m.find("registration number"), std::string::npos) << m;

    EXPECT_EQ(Call2("DelTodos", "0001", "' OR ''='").AsInt(), 0);
    EXPECT_EQ(Call2("DelTodos", "'--", "00000001").AsInt(), 0);
    EXPECT_TRUE(Packet2("GetCliente", "0001", "1' OR '1'='1").rows.empty());
    EXPECT_TRUE(Packet2("GetServClie", "0001", "1' OR 1=1 --").rows.empty());
    EXPECT_TRUE(Packet2("GetServico", "' OR", "1").rows.empty());
    EXPECT_EQ(Snapshot(), before);
    EXPECT_EQ(Packet2("GetCliente", "0001", "").rows.size(), 4u); // the same connection goes on
}

TEST_P(ServerTest, UnknownMethodsAndWrongDescriptorsAreRefusedAndTheConnectionGoesOn)
{
    const std::string before = Snapshot();
    std::string m = MessageOf([&] { Call2("DropEverything", "0001", ""); });
    EXPECT_NE(m.find("DropEverything is not a method of Zel.rdmServCliente"), std::string::npos) << m;

    m = MessageOf([&] {
        std::vector<RemoteArg> args = {RemoteArg::ByRef(Variant("0001")), RemoteArg::Text("")};
        Client().Call("GetCliente", args);
    });
    EXPECT_NE(m.find("01 02 00 8C 48"), std::string::npos) << m;
    EXPECT_NE(m.find("01 02 00 48 48"), std::string::npos) << m;

    m = MessageOf([&] {
        std::vector<RemoteArg> args = {RemoteArg::Text("0001"), RemoteArg::Text("00000001"), RemoteArg::Text("")};
        Client().Call("DelTodos", args);
    });
    EXPECT_NE(m.find("01 03 00 48 48 48"), std::string::npos) << m;

    m = MessageOf([&] {
        std::vector<RemoteArg> args = {RemoteArg::Text("")};
        Client().Call("ApCoServClie", args);
    });
    EXPECT_NE(m.find("01 01 00 8C"), std::string::npos) << m;

    EXPECT_EQ(Snapshot(), before);
    EXPECT_TRUE(Client().IsOpen());
    EXPECT_EQ(Packet2("GetServClie", "0001", "00000001").rows.size(), 1u);
}

TEST_P(ServerTest, UnknownServerObjectIsRefusedInTheHandshake)
{
    try {
        Connect("Zel.rdmOutraCoisa");
        FAIL();
    } catch (const ERemoteError& e) {
        EXPECT_NE(std::string(e.what()).find("Zel.rdmOutraCoisa"), std::string::npos) << e.what();
    }
    EXPECT_NO_THROW(Connect("zel.RDMSERVCLIENTE")); // registered names ignore case
}

TEST_P(ServerTest, StoredTextWithoutAWindows1252FormFailsThatCallOnly)
{
    db_->Execute("UPDATE CLIENTE SET NMRAZSOCCLIE = ? WHERE CDFILIAL = ? AND CDCLIENTE = ?",
                 {"Ωmega 日本 Ltda", "0001", "00000003"});
    std::string m = MessageOf([&] { Packet2("GetCliente", "0001", ""); }, false);
    EXPECT_NE(m.find("00000003"), std::string::npos) << m;
    EXPECT_NE(m.find("Windows-1252"), std::string::npos) << m;
    EXPECT_EQ(Packet2("GetCliente", "0001", "52998224725").rows.size(), 1u);
    EXPECT_EQ(Packet2("GetCliente", "0002", "").rows.size(), 1u);
}

TEST_P(ServerTest, StoredTextLongerThanItsFieldFailsTheCall)
{
    if (GetParam() != "sqlite") {
        GTEST_SKIP() << "PostgreSQL keeps varchar sizes itself";
    }
    db_->Execute("UPDATE SERVFILI SET NMSERVICO = ? WHERE CDFILIAL = ? AND CDSERVFILI = ?",
                 {std::string(41, 'n'), "0001", "00003"});
    std::string m = MessageOf([&] { Packet2("GetServico", "0001", "00000001"); }, false);
    EXPECT_NE(m.find("NMSERVICO"), std::string::npos) << m;
}

TEST_P(ServerTest, MalformedFramesGetAFaultAndTheServerKeepsServing)
{
    const std::string before = Snapshot();
    {
        // A payload that is not a call: answered with a fault, the stream goes on.
        RawPeer peer(Server().Port());
        peer.Hello();
        peer.channel.WriteFrame(std::string("\x93\x04\xC1\xFF", 4), 5s);
        auto fault = Protocol::DecodeCallReply(peer.Read());
        EXPECT_FALSE(fault.ok);
        EXPECT_NE(fault.message.find("Invalid"), std::string::npos) << fault.message;
        Protocol::Call call{CallDescriptor("GetCliente", {TArgType::atTextByValue, TArgType::atTextByValue}),
                            {Variant("0001"), Variant("")}};
        peer.channel.WriteFrame(Protocol::EncodeCall(call), 5s);
        auto answer = Protocol::DecodeCallReply(peer.Read());
        ASSERT_TRUE(answer.ok) << answer.message;
        EXPECT_EQ(answer.result.AsPacket()->rows.size(), 4u);
        // Two calls in one write are both answered, in their order.
        Protocol::Call second{CallDescriptor("GetServClie", {TArgType::atTextByValue, TArgType::atTextByValue}),
                              {Variant("0001"), Variant("00000001")}};
        peer.WriteRaw(FrameBuffer::Wrap(Protocol::EncodeCall(call)) + FrameBuffer::Wrap(Protocol::EncodeCall(second)));
        EXPECT_EQ(Protocol::DecodeCallReply(peer.Read()).result.AsPacket()->rows.size(), 4u);
        EXPECT_EQ(Protocol::DecodeCallReply(peer.Read()).result.AsPacket()->rows.size(), 1u);
    }
    {
        // A frame far beyond the bound: a fault, then the server closes.
        RawPeer peer(Server().Port());
        peer.Hello();
        peer.WriteRaw(std::string("\x7F\xFF\xFF\xF0", 4));
        auto fault = Protocol::DecodeCallReply(peer.Read());
        EXPECT_FALSE(fault.ok);
        EXPECT_NE(fault.message.find("limit"), std::string::npos) << fault.message;
        EXPECT_THROW(peer.Read(), ESocketError);
    }
    {
        // Another protocol altogether.
        RawPeer peer(Server().Port());
        peer.WriteRaw("GET / HTTP/1.1\r\nHost: x\r\n\r\n");
        auto refused = Protocol::DecodeHelloReply(peer.Read());
        EXPECT_FALSE(refused.accepted);
    }
    {
        // A call before the handshake.
        RawPeer peer(Server().Port());
        Protocol::Call call{CallDescriptor("DelTodos", {TArgType::atTextByValue, TArgType::atTextByValue}),
                            {Variant("0001"), Variant("00000001")}};
        peer.channel.WriteFrame(Protocol::EncodeCall(call), 5s);
        EXPECT_FALSE(Protocol::DecodeHelloReply(peer.Read()).accepted);
    }
    EXPECT_EQ(Snapshot(), before);
    EXPECT_EQ(Packet2("GetServClie", "0001", "00000001").rows.size(), 1u);
}

TEST_P(ServerTest, AnAnswerOverTheBoundIsAFaultNamingItAndTheConnectionGoesOn)
{
    db_->Execute("INSERT INTO FILIAL VALUES (?, ?)", {"0003", "Filial Grande"});
    db_->ExecScript("WITH RECURSIVE n(i) AS (SELECT 10000000 UNION ALL SELECT i + 1 FROM n WHERE i < 10139999) "
                    "INSERT INTO CLIENTE SELECT '0003', '' || i, 'F', '12345678909', "
                    "'Cliente de nome comprido, de numero ' || i FROM n");
    std::string m = MessageOf([&] { Packet2("GetCliente", "0003", ""); }, false);
    EXPECT_NE(m.find("more than the application server's limit of 8192 KiB"), std::string::npos) << m;
    EXPECT_NE(m.find("narrow the search"), std::string::npos) << m;
    EXPECT_EQ(Packet2("GetCliente", "0001", "").rows.size(), 4u);
}

TEST(FaultText, KeepsWhatFollowsANulAndLosesTerminalEscapes)
{
    // A server that welcomes the client and answers its call with a fault.
    asio::io_context ioc;
    asio::ip::tcp::acceptor acceptor(ioc, {asio::ip::make_address("127.0.0.1"), 0});
    std::thread server([&] {
        try {
            auto socket = acceptor.accept();
            auto read = [&] {
                unsigned char header[FrameBuffer::kHeaderSize];
                asio::read(socket, asio::buffer(header));
                std::string payload(FrameBuffer::PayloadLength(header, 4096), '\0');
                asio::read(socket, asio::buffer(payload));
            };
            read();
            Protocol::HelloReply welcome;
            welcome.accepted = true;
            asio::write(socket, asio::buffer(FrameBuffer::Wrap(Protocol::EncodeHelloReply(welcome))));
            read();
            Protocol::CallReply fault;
            const char text[] = "Saldo\0 insuficiente\x1b[2J\x1b]0;x\x07 na filial\r\n0001";
            fault.message = std::string(text, sizeof text - 1);
            asio::write(socket, asio::buffer(FrameBuffer::Wrap(Protocol::EncodeCallReply(fault))));
            read(); // until the client closes
        } catch (const std::exception&) {
        }
    });
    RemoteClient client;
    client.Open("127.0.0.1", acceptor.local_endpoint().port(), "Zel.rdmServCliente", "");
    std::vector<RemoteArg> args = {RemoteArg::Text("0001"), RemoteArg::Text("")};
    try {
        client.Call("GetCliente", args);
        ADD_FAILURE() << "the fault was not raised";
    } catch (const ERemoteError& e) {
        EXPECT_EQ(std::string(e.what()), "Saldo insuficiente[2J]0;x na filial\n0001");
    }
    client.Close();
    server.join();
}
