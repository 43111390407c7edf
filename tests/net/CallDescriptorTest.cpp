#include "platform/net/CallDescriptor.h"
#include "platform/core/Exception.h"
#include "platform/net/RemoteArg.h"

#include <gtest/gtest.h>

namespace {

std::vector<TArgType> TypesOf(const std::vector<RemoteArg>& args)
{
    std::vector<TArgType> types;
    for (const auto& a : args) {
        types.push_back(a.Type());
    }
    return types;
}

} // namespace

TEST(CallDescriptor, TheFiveMethodsByteForByte)
{
    std::vector<RemoteArg> twoTexts = {RemoteArg::Text("0001"), RemoteArg::Text("00000004")};
    for (const char* method : {"GetCliente", "GetServico", "GetServClie", "DelTodos"}) {
        CallDescriptor d(method, TypesOf(twoTexts));
        EXPECT_EQ(d.Head(), std::string("\x01\x02\x00\x48\x48", 5)) << method;
        EXPECT_EQ(d.Bytes(), std::string("\x01\x02\x00\x48\x48", 5) + method + std::string(1, '\0'));
        EXPECT_EQ(CallDescriptor::Hex(d.Head()), "01 02 00 48 48");
    }
    std::vector<RemoteArg> packet = {RemoteArg::ByRef(Variant())};
    CallDescriptor d("ApCoServClie", TypesOf(packet));
    EXPECT_EQ(d.Bytes(), std::string("\x01\x01\x00\x8C"
                                     "ApCoServClie\0",
                                     17));
    EXPECT_EQ(CallDescriptor::Hex(d.Head()), "01 01 00 8C");
    EXPECT_EQ(CallDescriptor::Parse(d.Bytes()), d);
}

TEST(CallDescriptor, ParseRefusesMalformedDescriptors)
{
    const std::string good("\x01\x02\x00\x48\x48"
                           "DelTodos\0",
                           14);
    ASSERT_NO_THROW(CallDescriptor::Parse(good));
    auto with = [&](size_t at, char c) {
        std::string b = good;
        b[at] = c;
        return b;
    };
    EXPECT_THROW(CallDescriptor::Parse(with(0, 2)), EPacketError);         // property get, not a method call
    EXPECT_THROW(CallDescriptor::Parse(with(2, 1)), EPacketError);         // named argument
    EXPECT_THROW(CallDescriptor::Parse(with(3, '\x08')), EPacketError);    // unknown type byte
    EXPECT_THROW(CallDescriptor::Parse(with(1, 33)), EPacketError);        // too many arguments
    EXPECT_THROW(CallDescriptor::Parse(good.substr(0, 13)), EPacketError); // no ending zero
    EXPECT_THROW(CallDescriptor::Parse(good + "x"), EPacketError);         // bytes after the zero
    EXPECT_THROW(CallDescriptor::Parse(with(5, ' ')), EPacketError);       // blank in the name
    EXPECT_THROW(CallDescriptor::Parse(std::string("\x01\x00\x00\0", 4)), EPacketError); // empty name
    EXPECT_THROW(CallDescriptor::Parse(""), EPacketError);
    EXPECT_THROW(CallDescriptor("Del'Todos", {}), EPacketError);
}
