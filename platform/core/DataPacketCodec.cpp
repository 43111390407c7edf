#include "platform/core/DataPacketCodec.h"

#include "platform/core/Exception.h"
#include "platform/core/MsgReader.h"
#include "platform/core/VariantCodec.h"

#include <msgpack.hpp>

#include <strings.h>

namespace {

bool ValidName(std::string_view name)
{
    if (name.empty() || name.size() > static_cast<size_t>(DataPacketCodec::kMaxNameLength)) {
        return false;
    }
    for (char c : name) {
        bool ok = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_';
        if (!ok) {
            return false;
        }
    }
    return true;
}

bool ValidInteger(std::string_view text)
{
    size_t i = (!text.empty() && text[0] == '-') ? 1 : 0;
    if (i == text.size() || text.size() > 20) {
        return false;
    }
    for (; i < text.size(); ++i) {
        if (text[i] < '0' || text[i] > '9') {
            return false;
        }
    }
    return true;
}

// The reason a value does not fit its field, or an empty text when it does.
std::string CheckValue(const PacketField& field, const FieldValue& value)
{
    if (!value) {
        return {};
    }
    if (field.type == TFieldType::ftString && value->size() > static_cast<size_t>(field.size)) {
        return "value of field " + field.name + " has " + std::to_string(value->size()) +
               " characters, more than its size " + std::to_string(field.size);
    }
    if (field.type == TFieldType::ftInteger && !ValidInteger(*value)) {
        return "value of integer field " + field.name + " is not a whole number";
    }
    return {};
}

std::string CheckField(const PacketField& field)
{
    if (!ValidName(field.name)) {
        return "field name must be 1 to 64 ASCII letters, digits or underscores";
    }
    if (field.type != TFieldType::ftString && field.type != TFieldType::ftInteger) {
        return "field " + field.name + " has an unknown type";
    }
    if (field.type == TFieldType::ftString && (field.size < 1 || field.size > DataPacketCodec::kMaxTextSize)) {
        return "text field " + field.name + " has size " + std::to_string(field.size) + ", outside 1..32767";
    }
    if (field.type == TFieldType::ftInteger && field.size != 0) {
        return "integer field " + field.name + " must have size 0";
    }
    return {};
}

void PackValues(msgpack::packer<msgpack::sbuffer>& pk, const std::vector<FieldValue>& values)
{
    pk.pack_array(static_cast<std::uint32_t>(values.size()));
    for (const auto& v : values) {
        if (!v) {
            pk.pack_nil();
        } else {
            pk.pack_bin(static_cast<std::uint32_t>(v->size()));
            pk.pack_bin_body(v->data(), static_cast<std::uint32_t>(v->size()));
        }
    }
}

} // namespace

void DataPacketCodec::Validate(const DataPacket& packet)
{
    auto fail = [](const std::string& why) { throw EPacketError("Invalid data packet: " + why); };
    if (packet.fields.size() > static_cast<size_t>(kMaxFields)) {
        fail("more than 1024 fields");
    }
    for (size_t i = 0; i < packet.fields.size(); ++i) {
        if (auto why = CheckField(packet.fields[i]); !why.empty()) {
            fail(why);
        }
        if (packet.FieldIndex(packet.fields[i].name) != static_cast<int>(i)) {
            fail("field " + packet.fields[i].name + " appears twice");
        }
    }
    for (const auto& row : packet.rows) {
        if (static_cast<std::uint8_t>(row.status) > 3) {
            fail("row with an unknown update status");
        }
        if (row.values.size() != packet.fields.size()) {
            fail("a row has " + std::to_string(row.values.size()) + " values for " +
                 std::to_string(packet.fields.size()) + " fields");
        }
        size_t wantOriginal = row.status == TUpdateStatus::usModified ? packet.fields.size() : 0;
        if (row.original.size() != wantOriginal) {
            fail("original values are kept for modified rows only, one per field");
        }
        for (size_t i = 0; i < row.values.size(); ++i) {
            if (auto why = CheckValue(packet.fields[i], row.values[i]); !why.empty()) {
                fail(why);
            }
        }
        for (size_t i = 0; i < row.original.size(); ++i) {
            if (auto why = CheckValue(packet.fields[i], row.original[i]); !why.empty()) {
                fail("original " + why);
            }
        }
    }
}

std::string DataPacketCodec::Encode(const DataPacket& packet)
{
    // Sized once: a packet of many rows grew the buffer a dozen times.
    msgpack::sbuffer buf(EncodedSize(packet));
    msgpack::packer<msgpack::sbuffer> pk(&buf);
    Write(pk, packet);
    return std::string(buf.data(), buf.size());
}

void DataPacketCodec::Write(msgpack::packer<msgpack::sbuffer>& pk, const DataPacket& packet)
{
    Validate(packet);
    pk.pack_array(4);
    pk.pack_str(static_cast<std::uint32_t>(kMagic.size()));
    pk.pack_str_body(kMagic.data(), static_cast<std::uint32_t>(kMagic.size()));
    pk.pack_uint32(DataPacket::kVersion);
    pk.pack_array(static_cast<std::uint32_t>(packet.fields.size()));
    for (const auto& f : packet.fields) {
        pk.pack_array(4);
        pk.pack_str(static_cast<std::uint32_t>(f.name.size()));
        pk.pack_str_body(f.name.data(), static_cast<std::uint32_t>(f.name.size()));
        pk.pack_uint8(static_cast<std::uint8_t>(f.type));
        pk.pack_uint32(static_cast<std::uint32_t>(f.size));
        if (f.required) {
            pk.pack_true();
        } else {
            pk.pack_false();
        }
    }
    pk.pack_array(static_cast<std::uint32_t>(packet.rows.size()));
    for (const auto& r : packet.rows) {
        pk.pack_array(3);
        pk.pack_uint8(static_cast<std::uint8_t>(r.status));
        PackValues(pk, r.values);
        PackValues(pk, r.original);
    }
}

void DataPacketCodec::ReadField(MsgReader& in, DataPacket& packet)
{
    in.ReadArray(4, "a field");
    PacketField f;
    f.name = std::string(in.ReadStr());
    f.type = static_cast<TFieldType>(in.ReadInt(1, 2, "field type"));
    f.size = static_cast<int>(in.ReadInt(0, kMaxTextSize, "field size"));
    f.required = in.ReadBool();
    if (auto why = CheckField(f); !why.empty()) {
        in.Fail(why);
    }
    if (packet.FieldIndex(f.name) >= 0) {
        in.Fail("field " + f.name + " appears twice");
    }
    packet.fields.push_back(std::move(f));
}

void DataPacketCodec::ReadValues(MsgReader& in, const DataPacket& packet, std::vector<FieldValue>& values)
{
    values.reserve(packet.fields.size());
    for (const auto& field : packet.fields) {
        if (in.TryNil()) {
            values.emplace_back();
            continue;
        }
        values.emplace_back(std::in_place, in.ReadBin());
        if (auto why = CheckValue(field, values.back()); !why.empty()) {
            in.Fail(why);
        }
    }
}

void DataPacketCodec::ReadRow(MsgReader& in, DataPacket& packet)
{
    in.ReadArray(3, "a row");
    PacketRow row;
    row.status = static_cast<TUpdateStatus>(in.ReadInt(0, 3, "update status"));
    auto width = static_cast<std::uint32_t>(packet.fields.size());
    in.ReadArray(width, "the values of a row");
    ReadValues(in, packet, row.values);
    in.ReadArray(row.status == TUpdateStatus::usModified ? width : 0, "the original values of a row");
    if (row.status == TUpdateStatus::usModified) {
        ReadValues(in, packet, row.original);
    }
    packet.rows.push_back(std::move(row));
}

size_t DataPacketCodec::Cells(const DataPacket& packet)
{
    size_t cells = 0;
    for (const auto& row : packet.rows) {
        cells += row.values.size() + row.original.size() + 1;
    }
    return cells;
}

size_t DataPacketCodec::EncodedSize(const DataPacket& packet)
{
    using VC = VariantCodec;
    size_t size = 1 + VC::StrHeaderSize(kMagic.size()) + kMagic.size() + VC::UintSize(DataPacket::kVersion) +
                  VC::ArrayHeaderSize(packet.fields.size());
    for (const auto& f : packet.fields) {
        size += 1 + VC::StrHeaderSize(f.name.size()) + f.name.size() + VC::UintSize(static_cast<std::uint8_t>(f.type)) +
                VC::UintSize(static_cast<std::uint32_t>(f.size)) + 1;
    }
    const auto values = [](const std::vector<FieldValue>& list) {
        size_t n = VC::ArrayHeaderSize(list.size());
        for (const auto& v : list) {
            n += v ? VC::BinHeaderSize(v->size()) + v->size() : 1;
        }
        return n;
    };
    size += VC::ArrayHeaderSize(packet.rows.size());
    for (const auto& r : packet.rows) {
        size += 1 + VC::UintSize(static_cast<std::uint8_t>(r.status)) + values(r.values) + values(r.original);
    }
    return size;
}

DataPacket DataPacketCodec::Decode(std::string_view bytes, size_t maxCells)
{
    MsgReader in(bytes, "data packet");
    in.ReadArray(4, "a data packet");
    if (in.PeekType() != MsgReader::TType::Str || in.ReadStr() != kMagic) {
        in.Fail("not a data packet");
    }
    auto version = in.ReadInt();
    if (version != DataPacket::kVersion) {
        in.Fail("version " + std::to_string(version) + " is not supported (this program reads version " +
                std::to_string(DataPacket::kVersion) + ")");
    }
    DataPacket packet;
    auto fieldCount = in.ReadArray();
    if (fieldCount > static_cast<std::uint32_t>(kMaxFields)) {
        in.Fail("more than 1024 fields");
    }
    packet.fields.reserve(fieldCount);
    for (std::uint32_t i = 0; i < fieldCount; ++i) {
        ReadField(in, packet);
    }
    auto rowCount = in.ReadArray();
    // A row takes at least four bytes (array header, status, two array headers).
    if (rowCount > in.Remaining() / 4) {
        in.Fail(std::to_string(rowCount) + " rows cannot fit in the bytes left");
    }
    const auto overLimit = [&](size_t cells) {
        throw EValueBudget("Invalid data packet at byte " + std::to_string(bytes.size() - in.Remaining()) +
                           ": a packet of " + std::to_string(rowCount) + " rows of " + std::to_string(fieldCount) +
                           " fields holds " + std::to_string(cells) + " values or more, over the limit of " +
                           std::to_string(maxCells) + " values for one call; send the changes in smaller packets");
    };
    // Each row counts its fields and itself: a packet of empty rows is not free.
    const size_t perRow = static_cast<size_t>(fieldCount) + 1;
    if (rowCount > maxCells / perRow) {
        overLimit(static_cast<size_t>(rowCount) * perRow);
    }
    packet.rows.reserve(rowCount);
    size_t cells = 0;
    for (std::uint32_t i = 0; i < rowCount; ++i) {
        ReadRow(in, packet);
        cells += packet.rows.back().values.size() + packet.rows.back().original.size() + 1;
        if (cells > maxCells) {
            overLimit(cells);
        }
    }
    in.ExpectEnd();
    return packet;
}
