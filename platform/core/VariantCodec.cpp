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
        const std::string body = DataPacketCodec::Encode(*value.AsPacket());
        out.pack_ext(body.size(), kPacketExtType);
        out.pack_ext_body(body.data(), static_cast<std::uint32_t>(body.size()));
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
