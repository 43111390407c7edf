#include "ServerFixture.h"

#include "platform/core/Exception.h"
#include "platform/net/FrameBuffer.h"
#include "platform/net/Protocol.h"
#include "platform/net/SocketChannelIo.h"

using namespace std::chrono_literals;

TEST_P(ServerTest, ConnectionsBeyondTheLimitAreRefusedWhileTheOthersWork)
{
    options_.maxConnections = 2;
    auto first = Connect();
    auto second = Connect();
    try {
        Connect();
        FAIL() << "a third connection was accepted";
    } catch (const ERemoteError& e) {
        EXPECT_NE(std::string(e.what()).find("limit of 2"), std::string::npos) << e.what();
    }
    std::vector<RemoteArg> args = {RemoteArg::Text("0001"), RemoteArg::Text("")};
    EXPECT_EQ(first->Call("GetCliente", args).AsPacket()->rows.size(), 4u);
    EXPECT_EQ(second->Call("GetCliente", args).AsPacket()->rows.size(), 4u);

    // Once one goes, a place is free again; the server notices the close
    // asynchronously, so the new connection may take a few tries.
    first->Close();
    std::unique_ptr<RemoteClient> third;
    for (int i = 0; i < 100 && !third; ++i) {
        try {
            third = Connect();
        } catch (const ERemoteError&) {
            std::this_thread::sleep_for(50ms);
        }
    }
    ASSERT_TRUE(third);
    EXPECT_EQ(third->Call("GetCliente", args).AsPacket()->rows.size(), 4u);
}

TEST_P(ServerTest, TheSharedSecretIsCheckedAndRequiredAwayFromLoopback)
{
    options_.secret = "s3gredo";
    try {
        Connect("Zel.rdmServCliente", "s3gred0");
        FAIL();
    } catch (const ERemoteError& e) {
        EXPECT_NE(std::string(e.what()).find("secret"), std::string::npos) << e.what();
    }
    EXPECT_THROW(Connect("Zel.rdmServCliente", ""), ERemoteError);
    EXPECT_NO_THROW(Connect("Zel.rdmServCliente", "s3gredo"));

    ServerOptions open = options_;
    open.secret.clear();
    open.listenHost = "0.0.0.0";
    AppServer unsafe(open, registry_);
    EXPECT_THROW(unsafe.Start(), EInvalidOperation);

    EXPECT_TRUE(ServerSession::SecretsEqual("abc", "abc"));
    EXPECT_FALSE(ServerSession::SecretsEqual("abc", "abd"));
    EXPECT_FALSE(ServerSession::SecretsEqual("abc", "ab"));
    EXPECT_FALSE(ServerSession::SecretsEqual("abc", "abcd"));
}

TEST_P(ServerTest, IdleAndTricklingClientsAreCutOffAndOthersAreServed)
{
    options_.idleTimeout = 300ms;
    options_.frameTimeout = 300ms;
    auto idle = Connect();
    bool stale = false;
    for (int i = 0; i < 200 && !stale; ++i) {
        std::this_thread::sleep_for(20ms);
        stale = idle->IsStale();
    }
    EXPECT_TRUE(stale) << "an idle connection was kept past the idle time-out";

    SocketChannel trickle;
    trickle.Connect("127.0.0.1", Server().Port(), 5s);
    asio::write(trickle.Asio().socket, asio::buffer(std::string("\0\0", 2))); // half a frame header, then nothing
    try {
        trickle.ReadFrame(10s, 10s, FrameBuffer::kDefaultMaxFrame);
        FAIL() << "the server answered half a header";
    } catch (const ESocketError& e) {
        EXPECT_NE(std::string(e.what()).find("closed"), std::string::npos) << e.what();
    }

    auto fresh = Connect();
    std::vector<RemoteArg> args = {RemoteArg::Text("0001"), RemoteArg::Text("")};
    EXPECT_EQ(fresh->Call("GetCliente", args).AsPacket()->rows.size(), 4u);
}

TEST_P(ServerTest, AClientTricklingAWholeMessageTooSlowlyIsCutOffWhateverItsPace)
{
    // Each byte comes well within the frame time-out, but the message as a
    // whole does not: the time-out bounds the message, not the gap between
    // two bytes.
    options_.frameTimeout = 300ms;
    const std::string hello = FrameBuffer::Wrap(Protocol::EncodeHello({Protocol::kVersion, "Zel.rdmServCliente", ""}));
    SocketChannel trickle;
    trickle.Connect("127.0.0.1", Server().Port(), 5s);
    bool cut = false;
    const auto started = std::chrono::steady_clock::now();
    for (size_t i = 0; i < hello.size() && !cut; ++i) {
        asio::error_code ec;
        asio::write(trickle.Asio().socket, asio::buffer(hello.data() + i, 1), ec);
        cut = static_cast<bool>(ec);
        std::this_thread::sleep_for(50ms);
        if (std::chrono::steady_clock::now() - started > 10s) {
            break;
        }
    }
    // The server gave up on the message: the connection is closed without a
    // handshake reply, or the writes already failed.
    if (!cut) {
        EXPECT_THROW(trickle.ReadFrame(10s, 10s, FrameBuffer::kDefaultMaxFrame), ESocketError);
    }
    auto fresh = Connect();
    std::vector<RemoteArg> args = {RemoteArg::Text("0001"), RemoteArg::Text("")};
    EXPECT_EQ(fresh->Call("GetCliente", args).AsPacket()->rows.size(), 4u);
}

TEST_P(ServerTest, AServerStoppedWhileClientsWaitEndsCleanly)
{
    auto a = Connect();
    auto b = Connect();
    server_.reset(); // Stop and join: must not hang on the idle connections
    std::vector<RemoteArg> args = {RemoteArg::Text("0001"), RemoteArg::Text("")};
    EXPECT_THROW(a->Call("GetCliente", args), ESocketError);
    EXPECT_TRUE(b->IsStale());
}
