#include "PacketSamples.h"

#include "platform/core/Exception.h"
#include "platform/core/VariantCodec.h"

#include <gtest/gtest.h>

TEST(VariantCodec, EveryKindRoundTrips)
{
    const std::vector<Variant> values = {Variant(),
                                         Variant(true),
                                         Variant(false),
                                         Variant(std::int64_t{-1}),
                                         Variant(std::int64_t{1} << 40),
                                         Variant(std::string("S\xE3o Paulo\0x", 11)),
                                         Variant(std::string()),
                                         Variant(ChangePacket())};
    for (const auto& v : values) {
        Variant back = VariantCodec::Decode(VariantCodec::Encode(v));
        EXPECT_EQ(back.GetKind(), v.GetKind());
        EXPECT_TRUE(back == v) << v.AsString();
    }
}

TEST(VariantCodec, TextTravelsAsBytesAndPacketAsExtensionOne)
{
    std::string text = VariantCodec::Encode(Variant("ab"));
    EXPECT_EQ(text, std::string("\xC4\x02"
                                "ab",
                                4));
    std::string packet = VariantCodec::Encode(Variant(DataPacket{}));
    ASSERT_GE(packet.size(), 3u);
    EXPECT_EQ(static_cast<unsigned char>(packet[0]), 0xC7); // ext 8
    EXPECT_EQ(static_cast<unsigned char>(packet[2]), 0x01); // type 1
}

TEST(VariantCodec, RefusesWhatIsNotARemoteValue)
{
    EXPECT_THROW(VariantCodec::Decode(std::string("\xCB\0\0\0\0\0\0\0\0", 9)), EPacketError); // float 64
    EXPECT_THROW(VariantCodec::Decode(std::string("\x80", 1)), EPacketError);                 // empty map
    EXPECT_THROW(VariantCodec::Decode(std::string("\xA2"
                                                  "ab",
                                                  3)),
                 EPacketError);                                                       // str, not bin
    EXPECT_THROW(VariantCodec::Decode(std::string("\xD4\x05\x00", 3)), EPacketError); // ext type 5
    EXPECT_THROW(VariantCodec::Decode(std::string("\xD4\x01\x00", 3)), EPacketError); // packet body garbage
    EXPECT_THROW(VariantCodec::Decode(std::string("\xC1", 1)), EPacketError);         // unused byte
    EXPECT_THROW(VariantCodec::Decode(std::string("\xC0\xC0", 2)), EPacketError);     // trailing value
    EXPECT_THROW(VariantCodec::Decode(std::string("\xCF\xFF\xFF\xFF\xFF\xFF\xFF\xFF\xFF", 9)), EPacketError);
}
