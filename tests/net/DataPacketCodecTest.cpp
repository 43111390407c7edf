#include "PacketSamples.h"

#include "platform/core/DataPacketCodec.h"
#include "platform/core/Exception.h"

#include <gtest/gtest.h>
#include <msgpack.hpp>

namespace {

using Packer = msgpack::packer<msgpack::sbuffer>;

std::string Bytes(const msgpack::sbuffer& b)
{
    return std::string(b.data(), b.size());
}

void Str(Packer& pk, std::string_view s)
{
    pk.pack_str(static_cast<std::uint32_t>(s.size()));
    pk.pack_str_body(s.data(), static_cast<std::uint32_t>(s.size()));
}

void Bin(Packer& pk, std::string_view s)
{
    pk.pack_bin(static_cast<std::uint32_t>(s.size()));
    pk.pack_bin_body(s.data(), static_cast<std::uint32_t>(s.size()));
}

// The header of a packet with one text field NAME of the given size, then a
// caller-written rows array.
void Header(Packer& pk, const char* name = "NAME", int size = 3, const char* magic = "SCDP", int version = 1)
{
    pk.pack_array(4);
    Str(pk, magic);
    pk.pack_int(version);
    pk.pack_array(1);
    pk.pack_array(4);
    Str(pk, name);
    pk.pack_int(1);
    pk.pack_int(size);
    pk.pack_false();
}

std::string OneRow(std::string_view value, int size = 3)
{
    msgpack::sbuffer b;
    Packer pk(&b);
    Header(pk, "NAME", size);
    pk.pack_array(1);
    pk.pack_array(3);
    pk.pack_int(0);
    pk.pack_array(1);
    Bin(pk, value);
    pk.pack_array(0);
    return Bytes(b);
}

void ExpectRefused(const std::string& bytes, const char* why)
{
    try {
        DataPacketCodec::Decode(bytes);
        ADD_FAILURE() << "accepted: " << why;
    } catch (const EPacketError& e) {
        EXPECT_NE(std::string(e.what()).find("data packet"), std::string::npos) << e.what();
    }
}

} // namespace

TEST(DataPacketCodec, RoundTripKeepsEveryRowKindNullAndByte)
{
    DataPacket p = ChangePacket();
    EXPECT_EQ(DataPacketCodec::Decode(DataPacketCodec::Encode(p)), p);

    DataPacket empty;
    EXPECT_EQ(DataPacketCodec::Decode(DataPacketCodec::Encode(empty)), empty);

    DataPacket withInteger;
    PacketField n;
    n.name = "COUNT";
    n.type = TFieldType::ftInteger;
    withInteger.fields = {n};
    withInteger.rows.push_back({TUpdateStatus::usUnmodified, {"-42"}, {}});
    EXPECT_EQ(DataPacketCodec::Decode(DataPacketCodec::Encode(withInteger)), withInteger);
}

TEST(DataPacketCodec, BytesAreOrdinaryMessagePackInTheDocumentedLayout)
{
    std::string bytes = DataPacketCodec::Encode(ChangePacket());
    auto handle = msgpack::unpack(bytes.data(), bytes.size());
    const msgpack::object& o = handle.get();
    ASSERT_EQ(o.type, msgpack::type::ARRAY);
    ASSERT_EQ(o.via.array.size, 4u); // magic, version, fields, rows
    EXPECT_EQ(o.via.array.ptr[0].as<std::string>(), "SCDP");
    EXPECT_EQ(o.via.array.ptr[1].as<int>(), 1);
    const ContractField& first = contractrows::Assigned().fields[0];
    const auto& field = o.via.array.ptr[2].via.array.ptr[0];
    EXPECT_EQ(field.via.array.ptr[0].as<std::string>(), first.name);
    EXPECT_EQ(field.via.array.ptr[2].as<int>(), first.size);
    EXPECT_TRUE(field.via.array.ptr[3].as<bool>());
    const auto& modified = o.via.array.ptr[3].via.array.ptr[2];
    EXPECT_EQ(modified.via.array.ptr[0].as<int>(), 1);
    EXPECT_EQ(modified.via.array.ptr[2].via.array.size, contractrows::Assigned().fields.size());
    const auto& deleted = o.via.array.ptr[3].via.array.ptr[1];
    EXPECT_EQ(deleted.via.array.ptr[1].via.array.ptr[contractrows::AssignedIndex("NMSERVICO")].type,
              msgpack::type::NIL);
    EXPECT_EQ(deleted.via.array.ptr[1].via.array.ptr[contractrows::AssignedIndex("CDFILIAL")].type, msgpack::type::BIN);
}

TEST(DataPacketCodec, EveryTruncationIsRefused)
{
    std::string bytes = DataPacketCodec::Encode(ChangePacket());
    for (size_t n = 0; n < bytes.size(); ++n) {
        EXPECT_THROW(DataPacketCodec::Decode(bytes.substr(0, n)), EPacketError) << "prefix of " << n << " bytes";
    }
}

TEST(DataPacketCodec, CorruptedBytesAreRefusedOrDecodeToAValidPacket)
{
    // Whatever a flipped byte turns the packet into, the decoder either
    // refuses it with EPacketError or returns a packet that obeys the rules.
    std::string bytes = DataPacketCodec::Encode(ChangePacket());
    int refused = 0;
    for (size_t i = 0; i < bytes.size(); ++i) {
        for (unsigned char value : {0x00, 0x7f, 0x80, 0xc1, 0xdd, 0xff}) {
            std::string bad = bytes;
            bad[i] = static_cast<char>(value);
            try {
                DataPacket p = DataPacketCodec::Decode(bad);
                EXPECT_NO_THROW(DataPacketCodec::Validate(p)) << "byte " << i;
            } catch (const EPacketError&) {
                ++refused;
            }
        }
    }
    EXPECT_GT(refused, 0);
}

TEST(DataPacketCodec, HostileCountsAreRefusedBeforeAnyAllocation)
{
    msgpack::sbuffer rows;
    Packer pk(&rows);
    Header(pk);
    pk.pack_array(0xffffffffu); // four thousand million rows announced, none sent
    ExpectRefused(Bytes(rows), "huge row count");

    msgpack::sbuffer fields;
    Packer pf(&fields);
    pf.pack_array(4);
    Str(pf, "SCDP");
    pf.pack_int(1);
    pf.pack_array(0xfffffff0u);
    ExpectRefused(Bytes(fields), "huge field count");

    // A text whose length runs past the end.
    std::string text = OneRow("abc");
    std::string longer = text;
    longer[longer.size() - 5] = static_cast<char>(0xc6); // the text claims 198 bytes where 4 remain
    ExpectRefused(longer, "length past the end");
}

TEST(DataPacketCodec, StructuralFaultsAreRefused)
{
    ExpectRefused(OneRow("abcd"), "text longer than its field");
    ExpectRefused(OneRow("abc") + "x", "trailing byte");
    ExpectRefused("", "empty input");

    auto packet = [](const std::function<void(Packer&)>& body) {
        msgpack::sbuffer b;
        Packer pk(&b);
        body(pk);
        return Bytes(b);
    };
    ExpectRefused(packet([](Packer& pk) {
                      Header(pk, "NAME", 3, "XXXX");
                      pk.pack_array(0);
                  }),
                  "wrong magic");
    ExpectRefused(packet([](Packer& pk) {
                      Header(pk, "NAME", 3, "SCDP", 2);
                      pk.pack_array(0);
                  }),
                  "unknown version");
    ExpectRefused(packet([](Packer& pk) {
                      Header(pk, "N\xC3\xA3O");
                      pk.pack_array(0);
                  }),
                  "non-ASCII field name");
    ExpectRefused(packet([](Packer& pk) {
                      Header(pk, "NAME", 0);
                      pk.pack_array(0);
                  }),
                  "text field of size 0");
    ExpectRefused(packet([](Packer& pk) {
                      pk.pack_array(4);
                      Str(pk, "SCDP");
                      pk.pack_int(1);
                      pk.pack_array(2);
                      for (const char* name : {"Code", "CODE"}) {
                          pk.pack_array(4);
                          Str(pk, name);
                          pk.pack_int(1);
                          pk.pack_int(5);
                          pk.pack_false();
                      }
                      pk.pack_array(0);
                  }),
                  "duplicate field names");
    ExpectRefused(packet([](Packer& pk) {
                      Header(pk);
                      pk.pack_array(1);
                      pk.pack_array(3);
                      pk.pack_int(0);
                      pk.pack_array(2);
                      pk.pack_nil();
                      pk.pack_nil();
                      pk.pack_array(0);
                  }),
                  "row wider than the fields");
    ExpectRefused(packet([](Packer& pk) {
                      Header(pk);
                      pk.pack_array(1);
                      pk.pack_array(3);
                      pk.pack_int(2);
                      pk.pack_array(1);
                      pk.pack_nil();
                      pk.pack_array(1);
                      pk.pack_nil();
                  }),
                  "original values on an inserted row");
    ExpectRefused(packet([](Packer& pk) {
                      Header(pk);
                      pk.pack_array(1);
                      pk.pack_array(3);
                      pk.pack_int(7);
                      pk.pack_array(1);
                      pk.pack_nil();
                      pk.pack_array(0);
                  }),
                  "unknown update status");
    ExpectRefused(packet([](Packer& pk) {
                      Header(pk);
                      pk.pack_array(1);
                      pk.pack_array(3);
                      pk.pack_int(0);
                      pk.pack_array(1);
                      Str(pk, "abc");
                      pk.pack_array(0);
                  }),
                  "a value that is not bin");
}

TEST(DataPacketCodec, EncodeRefusesAPacketThatBreaksTheRules)
{
    DataPacket p = ChangePacket();
    p.rows[0].values[0] = "00001";
    EXPECT_THROW(DataPacketCodec::Encode(p), EPacketError);

    p = ChangePacket();
    p.rows[1].values.pop_back();
    EXPECT_THROW(DataPacketCodec::Encode(p), EPacketError);

    p = ChangePacket();
    p.fields[1].name = "CD SERV";
    EXPECT_THROW(DataPacketCodec::Encode(p), EPacketError);

    p = ChangePacket();
    p.rows[2].original.clear();
    EXPECT_THROW(DataPacketCodec::Encode(p), EPacketError);
}
