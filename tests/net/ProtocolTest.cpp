#include "Answers.h"
#include "PacketSamples.h"

#include "platform/core/Exception.h"
#include "platform/net/Protocol.h"

#include <gtest/gtest.h>
#include <msgpack.hpp>

namespace {

Protocol::Call TwoTextCall(const char* method)
{
    return {CallDescriptor(method, {TArgType::atTextByValue, TArgType::atTextByValue}),
            {Variant("0001"), Variant("123")}};
}

std::string Pack(const std::function<void(msgpack::packer<msgpack::sbuffer>&)>& body)
{
    msgpack::sbuffer b;
    msgpack::packer<msgpack::sbuffer> pk(&b);
    body(pk);
    return std::string(b.data(), b.size());
}

} // namespace

TEST(Protocol, MessagesRoundTrip)
{
    Protocol::Hello hello{Protocol::kVersion, "Zel.rdmServCliente", std::string("s\0cret", 6)};
    auto h = Protocol::DecodeHello(Protocol::EncodeHello(hello));
    EXPECT_EQ(h.serverName, "Zel.rdmServCliente");
    EXPECT_EQ(h.secret, hello.secret);
    EXPECT_EQ(h.operatorName, "");
    hello.operatorName = "maria";
    EXPECT_EQ(Protocol::DecodeHello(Protocol::EncodeHello(hello)).operatorName, "maria");
    hello.operatorName = std::string(65, 'a');
    EXPECT_THROW(Protocol::DecodeHello(Protocol::EncodeHello(hello)), EPacketError);

    auto refused = Protocol::DecodeHelloReply(HelloAnswer(false, "n\xE3o"));
    EXPECT_FALSE(refused.accepted);
    EXPECT_EQ(refused.message, "n\xE3o");
    EXPECT_TRUE(Protocol::DecodeHelloReply(HelloAnswer(true)).accepted);

    Protocol::Call apply{CallDescriptor("ApCoServClie", {TArgType::atVariantByRef}), {Variant(ChangePacket())}};
    auto c = Protocol::DecodeCall(Protocol::EncodeCall(apply));
    EXPECT_EQ(c.descriptor, apply.descriptor);
    EXPECT_TRUE(c.args[0] == apply.args[0]);

    Protocol::CallReply result;
    result.ok = true;
    result.result = Variant(std::int64_t{3});
    result.byRef = {{0, Variant()}};
    auto r = Protocol::DecodeCallReply(Protocol::EncodeCallReply(result));
    EXPECT_TRUE(r.ok);
    EXPECT_EQ(r.result.AsInt(), 3);
    ASSERT_EQ(r.byRef.size(), 1u);
    EXPECT_TRUE(r.byRef[0].second.IsNull());
    // The size worked out before building an answer is the size built,
    // whatever widths its headers and integers take.
    DataPacket wide = ChangePacket();
    wide.rows.resize(70000, wide.rows[3]);
    for (const Variant& v :
         {Variant(ChangePacket()), Variant(wide), Variant(std::int64_t{-40000}), Variant(std::int64_t{1} << 40),
          Variant(std::string(300, 'x')), Variant(std::string(70000, 'y')), Variant(true), Variant()}) {
        result.result = v;
        EXPECT_EQ(Protocol::EncodedSize(result), Protocol::EncodeCallReply(result).size());
    }

    auto f = Protocol::DecodeCallReply(FaultAnswer("falhou"));
    EXPECT_FALSE(f.ok);
    EXPECT_EQ(f.message, "falhou");
    EXPECT_EQ(f.faultKind, TFaultKind::fkRetry);

    // A refusal keeps its kind and the entry it is about; a fault of two
    // elements (the message alone) still reads, as one that may be retried.
    auto denied = Protocol::DecodeCallReply(FaultAnswer("recusado", TFaultKind::fkRefused, 3));
    EXPECT_EQ(denied.faultKind, TFaultKind::fkRefused);
    EXPECT_EQ(denied.faultEntry, 3u);
    msgpack::sbuffer old;
    msgpack::packer<msgpack::sbuffer> pk(&old);
    pk.pack_array(2);
    pk.pack_uint8(6);
    pk.pack_bin(2);
    pk.pack_bin_body("ok", 2);
    auto plain = Protocol::DecodeCallReply(std::string_view(old.data(), old.size()));
    EXPECT_EQ(plain.message, "ok");
    EXPECT_EQ(plain.faultKind, TFaultKind::fkRetry);
    EXPECT_THROW(Protocol::DecodeCallReply(FaultAnswer("x").substr(0, 5)), EPacketError);
}

TEST(Protocol, CallCarriesTheDescriptorBytesThenTheArguments)
{
    auto handle = msgpack::unpack(Protocol::EncodeCall(TwoTextCall("GetCliente")).data(),
                                  Protocol::EncodeCall(TwoTextCall("GetCliente")).size());
    const auto& o = handle.get();
    ASSERT_EQ(o.via.array.size, 3u);
    EXPECT_EQ(o.via.array.ptr[0].as<int>(), 4);
    const auto& d = o.via.array.ptr[1];
    ASSERT_EQ(d.type, msgpack::type::BIN);
    EXPECT_EQ(std::string(d.via.bin.ptr, d.via.bin.size), std::string("\x01\x02\x00\x48\x48GetCliente\0", 16));
    EXPECT_EQ(o.via.array.ptr[2].via.array.size, 2u);
}

TEST(Protocol, CallsThatContradictTheirDescriptorAreRefused)
{
    // Three arguments for a descriptor of two.
    std::string extra = Pack([](auto& pk) {
        pk.pack_array(3);
        pk.pack_int(4);
        std::string d("\x01\x02\x00\x48\x48GetCliente\0", 16);
        pk.pack_bin(16);
        pk.pack_bin_body(d.data(), 16);
        pk.pack_array(3);
        pk.pack_nil();
        pk.pack_nil();
        pk.pack_nil();
    });
    EXPECT_THROW(Protocol::DecodeCall(extra), EPacketError);

    // A text by value that is not a text.
    std::string notText = Pack([](auto& pk) {
        pk.pack_array(3);
        pk.pack_int(4);
        std::string d("\x01\x01\x00\x48"
                      "DelTodos\0",
                      13);
        pk.pack_bin(13);
        pk.pack_bin_body(d.data(), 13);
        pk.pack_array(1);
        pk.pack_int(7);
    });
    EXPECT_THROW(Protocol::DecodeCall(notText), EPacketError);

    EXPECT_THROW(Protocol::DecodeCall(Protocol::EncodeHello({})), EPacketError);  // wrong kind
    EXPECT_THROW(Protocol::DecodeCall(std::string("\x91\x09", 2)), EPacketError); // kind 9
    EXPECT_THROW(Protocol::DecodeHello(Pack([](auto& pk) {
                     pk.pack_array(5);
                     pk.pack_int(1);
                     pk.pack_str(4);
                     pk.pack_str_body("HTTP", 4);
                     pk.pack_int(1);
                     pk.pack_str(0);
                     pk.pack_str_body("", 0);
                     pk.pack_bin(0);
                     pk.pack_bin_body("", 0);
                 })),
                 EPacketError);
    Protocol::Call wrongCount = TwoTextCall("GetCliente");
    wrongCount.args.pop_back();
    EXPECT_THROW(Protocol::EncodeCall(wrongCount), EPacketError);
}
