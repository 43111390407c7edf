#include "platform/core/VariantCodec.h"

#include "platform/core/DataPacketCodec.h"
#include "platform/core/Exception.h"
#include "platform/core/MsgReader.h"

void VariantCodec::Write(msgpack::packer<msgpack::sbuffer>& out, const Variant& value)
{
    switch (value.GetKind()) {
    case Variant::Kind::Null: out.pack_nil(); return;
    case Variant::Kind::Bool:
        if (value.AsBool()) {
            out.pack_true();
        } else {
            out.pack_false();
        }
        return;
    case Variant::Kind::Int: out.pack_int64(value.AsInt()); return;
    case Variant::Kind::String: {
        const std::string text = value.AsString();
        out.pack_bin(static_cast<std::uint32_t>(text.size()));
        out.pack_bin_body(text.data(), static_cast<std::uint32_t>(text.size()));
        return;
    }
    case Variant::Kind::Packet: {
        // Written in place: EncodedSize is the size Write writes.
        out.pack_ext(DataPacketCodec::EncodedSize(*value.AsPacket()), kPacketExtType);
        DataPacketCodec::Write(out, *value.AsPacket());
        return;
    }
    }
}

Variant VariantCodec::Read(MsgReader& in, size_t* cells)
{
    switch (in.PeekType()) {
    case MsgReader::TType::Nil: in.TryNil(); return Variant();
    case MsgReader::TType::Bool: return Variant(in.ReadBool());
    case MsgReader::TType::Int: return Variant(in.ReadInt());
    case MsgReader::TType::Bin: return Variant(std::string(in.ReadBin()));
    case MsgReader::TType::Ext: {
        auto [type, body] = in.ReadExt();
        if (type != kPacketExtType) {
            in.Fail("extension type " + std::to_string(type) + " is not a value this program knows");
        }
        if (!cells) {
            return Variant(DataPacketCodec::Decode(body));
        }
        DataPacket packet = DataPacketCodec::Decode(body, *cells);
        *cells -= DataPacketCodec::Cells(packet);
        return Variant(std::move(packet));
    }
    default: break;
    }
    in.Fail("not a value of a remote call (null, Boolean, integer, text or data packet)");
}

size_t VariantCodec::ArrayHeaderSize(size_t n)
{
    return n < 16 ? 1 : n < 0x10000 ? 3 : 5;
}

size_t VariantCodec::StrHeaderSize(size_t n)
{
    return n < 32 ? 1 : n < 0x100 ? 2 : n < 0x10000 ? 3 : 5;
}

size_t VariantCodec::BinHeaderSize(size_t n)
{
    return n < 0x100 ? 2 : n < 0x10000 ? 3 : 5;
}

size_t VariantCodec::ExtHeaderSize(size_t n)
{
    if (n == 1 || n == 2 || n == 4 || n == 8 || n == 16) {
        return 2;
    }
    return n < 0x100 ? 3 : n < 0x10000 ? 4 : 6;
}

size_t VariantCodec::UintSize(std::uint64_t v)
{
    return v < 0x80 ? 1 : v < 0x100 ? 2 : v < 0x10000 ? 3 : v < 0x100000000ULL ? 5 : 9;
}

size_t VariantCodec::IntSize(std::int64_t v)
{
    if (v >= 0) {
        return UintSize(static_cast<std::uint64_t>(v));
    }
    return v >= -32 ? 1 : v >= -0x80 ? 2 : v >= -0x8000 ? 3 : v >= -0x80000000LL ? 5 : 9;
}

size_t VariantCodec::EncodedSize(const Variant& value)
{
    switch (value.GetKind()) {
    case Variant::Kind::Null:
    case Variant::Kind::Bool: return 1;
    case Variant::Kind::Int: return IntSize(value.AsInt());
    case Variant::Kind::String: {
        const size_t n = value.AsString().size();
        return BinHeaderSize(n) + n;
    }
    case Variant::Kind::Packet: {
        const size_t n = DataPacketCodec::EncodedSize(*value.AsPacket());
        return ExtHeaderSize(n) + n;
    }
    }
    return 0;
}

std::string VariantCodec::Encode(const Variant& value)
{
    msgpack::sbuffer buf;
    msgpack::packer<msgpack::sbuffer> pk(&buf);
    Write(pk, value);
    return std::string(buf.data(), buf.size());
}

Variant VariantCodec::Decode(std::string_view bytes)
{
    MsgReader in(bytes, "value");
    Variant v = Read(in);
    in.ExpectEnd();
    return v;
}
