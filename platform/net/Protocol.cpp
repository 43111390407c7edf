#include "platform/net/Protocol.h"

#include "platform/core/Exception.h"
#include "platform/core/MsgReader.h"
#include "platform/core/VariantCodec.h"

#include <msgpack.hpp>

#include <algorithm>
#include <initializer_list>

namespace {

using Packer = msgpack::packer<msgpack::sbuffer>;

void PackStr(Packer& pk, std::string_view s)
{
    pk.pack_str(static_cast<std::uint32_t>(s.size()));
    pk.pack_str_body(s.data(), static_cast<std::uint32_t>(s.size()));
}

void PackBin(Packer& pk, std::string_view s)
{
    pk.pack_bin(static_cast<std::uint32_t>(s.size()));
    pk.pack_bin_body(s.data(), static_cast<std::uint32_t>(s.size()));
}

std::string Done(const msgpack::sbuffer& buf)
{
    return std::string(buf.data(), buf.size());
}

// A message for the operator without the control characters (all but the
// line feed) that could cut it short or reach a terminal as escapes.
std::string ScreenText(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        auto u = static_cast<unsigned char>(c);
        if ((u >= 0x20 && u != 0x7F) || c == '\n') {
            out += c;
        }
    }
    return out;
}

// A message's code and arguments, which let the client say it in the
// operator's language.
void PackCode(Packer& pk, const std::string& code, const std::vector<std::string>& args)
{
    PackStr(pk, code);
    pk.pack_array(static_cast<std::uint32_t>(args.size()));
    for (const auto& a : args) {
        PackBin(pk, a);
    }
}

void ReadCode(MsgReader& in, std::string& code, std::vector<std::string>& args)
{
    auto text = in.ReadStr();
    if (text.size() > Protocol::kMaxCode) {
        in.Fail("message code longer than " + std::to_string(Protocol::kMaxCode) + " characters");
    }
    code = std::string(text);
    auto n = in.ReadArray();
    if (n > Protocol::kMaxCodeArgs) {
        in.Fail("more than " + std::to_string(Protocol::kMaxCodeArgs) + " message arguments");
    }
    for (std::uint32_t i = 0; i < n; ++i) {
        args.push_back(ScreenText(in.ReadBin()));
    }
}

// Reads the array header and the kind of a message, checking both; a
// message that grew over versions may have any of several element counts.
// Returns the count read.
std::uint32_t Open(MsgReader& in, TMessageKind kind, std::initializer_list<std::uint32_t> elements)
{
    auto n = in.ReadArray();
    auto k = in.ReadInt(1, 7, "message kind");
    if (k != static_cast<std::int64_t>(kind)) {
        in.Fail("message kind " + std::to_string(k) + " where " + std::to_string(static_cast<int>(kind)) +
                " was expected");
    }
    if (std::find(elements.begin(), elements.end(), n) == elements.end()) {
        // "3", "5 or 6", "2, 4 or 6"
        std::string counts;
        for (auto it = elements.begin(); it != elements.end(); ++it) {
            if (it != elements.begin()) {
                counts += it + 1 == elements.end() ? " or " : ", ";
            }
            counts += std::to_string(*it);
        }
        in.Fail("message of kind " + std::to_string(k) + " must have " + counts + " elements");
    }
    return n;
}

} // namespace

TMessageKind Protocol::Kind(std::string_view payload)
{
    MsgReader in(payload, "message");
    if (in.ReadArray() < 1) {
        in.Fail("empty message");
    }
    return static_cast<TMessageKind>(in.ReadInt(1, 7, "message kind"));
}

std::string Protocol::EncodeHello(const Hello& hello)
{
    msgpack::sbuffer buf;
    Packer pk(&buf);
    // A server that predates operators reads the five elements it knows.
    const std::uint32_t elements = hello.flags != 0 ? 7 : hello.operatorName.empty() ? 5 : 6;
    pk.pack_array(elements);
    pk.pack_uint8(static_cast<std::uint8_t>(TMessageKind::mkHello));
    PackStr(pk, kMagic);
    pk.pack_int32(hello.version);
    PackStr(pk, hello.serverName);
    PackBin(pk, hello.secret);
    if (elements >= 6) {
        PackBin(pk, hello.operatorName);
    }
    if (elements == 7) {
        pk.pack_uint32(hello.flags);
    }
    return Done(buf);
}

Protocol::Hello Protocol::DecodeHello(std::string_view payload)
{
    MsgReader in(payload, "handshake");
    const auto n = Open(in, TMessageKind::mkHello, {5, 6, 7});
    if (in.PeekType() != MsgReader::TType::Str || in.ReadStr() != kMagic) {
        in.Fail("not a remote-call handshake");
    }
    Hello h;
    h.version = static_cast<int>(in.ReadInt(0, 0xffff, "protocol version"));
    auto name = in.ReadStr();
    if (name.size() > kMaxServerName) {
        in.Fail("server name longer than 255 characters");
    }
    h.serverName = std::string(name);
    auto secret = in.ReadBin();
    if (secret.size() > kMaxSecret) {
        in.Fail("secret longer than 1024 bytes");
    }
    h.secret = std::string(secret);
    if (n >= 6) {
        auto name = in.ReadBin();
        if ((name.empty() && n == 6) || name.size() > kMaxOperator) {
            in.Fail("operator name empty or longer than 64 characters");
        }
        h.operatorName = std::string(name);
    }
    if (n == 7) {
        h.flags = static_cast<std::uint32_t>(in.ReadInt(0, 0xffffffff, "handshake flags"));
    }
    in.ExpectEnd();
    return h;
}

std::string Protocol::EncodeHelloReply(const HelloReply& reply)
{
    msgpack::sbuffer buf;
    Packer pk(&buf);
    if (reply.accepted) {
        pk.pack_array(2);
        pk.pack_uint8(static_cast<std::uint8_t>(TMessageKind::mkWelcome));
        pk.pack_int32(reply.version);
    } else {
        pk.pack_array(4);
        pk.pack_uint8(static_cast<std::uint8_t>(TMessageKind::mkRefused));
        PackBin(pk, reply.message);
        PackCode(pk, reply.code, reply.args);
    }
    return Done(buf);
}

Protocol::HelloReply Protocol::DecodeHelloReply(std::string_view payload)
{
    MsgReader in(payload, "handshake reply");
    HelloReply r;
    if (Kind(payload) == TMessageKind::mkWelcome) {
        Open(in, TMessageKind::mkWelcome, {2});
        r.accepted = true;
        r.version = static_cast<int>(in.ReadInt(0, 0xffff, "protocol version"));
    } else {
        const auto n = Open(in, TMessageKind::mkRefused, {2, 4});
        r.message = ScreenText(in.ReadBin());
        if (n == 4) {
            ReadCode(in, r.code, r.args);
        }
    }
    in.ExpectEnd();
    return r;
}

std::string Protocol::EncodeCall(const Call& call)
{
    if (call.args.size() != call.descriptor.ArgTypes().size()) {
        throw EPacketError("Call of " + call.descriptor.Method() + " has " + std::to_string(call.args.size()) +
                           " arguments for a descriptor of " + std::to_string(call.descriptor.ArgTypes().size()));
    }
    // Sized once, as an answer is: a small call does not take the packer's
    // 8 KiB, and a large packet is not copied as the buffer grows.
    const std::string descriptor = call.descriptor.Bytes();
    size_t size = 2 + VariantCodec::BinHeaderSize(descriptor.size()) + descriptor.size() +
                  VariantCodec::ArrayHeaderSize(call.args.size());
    for (const auto& a : call.args) {
        size += VariantCodec::EncodedSize(a);
    }
    msgpack::sbuffer buf(size);
    Packer pk(&buf);
    pk.pack_array(3);
    pk.pack_uint8(static_cast<std::uint8_t>(TMessageKind::mkCall));
    PackBin(pk, descriptor);
    pk.pack_array(static_cast<std::uint32_t>(call.args.size()));
    for (const auto& a : call.args) {
        VariantCodec::Write(pk, a);
    }
    return Done(buf);
}

Protocol::Call Protocol::DecodeCall(std::string_view payload, size_t maxCells)
{
    MsgReader in(payload, "call");
    Open(in, TMessageKind::mkCall, {3});
    Call c{CallDescriptor::Parse(in.ReadBin()), {}};
    const auto& types = c.descriptor.ArgTypes();
    auto n = in.ReadArray();
    if (n != types.size()) {
        in.Fail("the descriptor of " + c.descriptor.Method() + " announces " + std::to_string(types.size()) +
                " arguments but the call carries " + std::to_string(n));
    }
    c.args.reserve(n);
    for (std::uint32_t i = 0; i < n; ++i) {
        Variant v = VariantCodec::Read(in, &maxCells);
        if (types[i] == TArgType::atTextByValue && v.GetKind() != Variant::Kind::String) {
            in.Fail("argument " + std::to_string(i + 1) + " of " + c.descriptor.Method() +
                    " is declared as text but is not a text");
        }
        c.args.push_back(std::move(v));
    }
    in.ExpectEnd();
    return c;
}

std::string Protocol::EncodeCallReply(const CallReply& reply)
{
    return EncodeCallReply(reply, reply.ok ? EncodedSize(reply) : MSGPACK_SBUFFER_INIT_SIZE);
}

std::string Protocol::EncodeCallReply(const CallReply& reply, size_t encodedSize)
{
    msgpack::sbuffer buf(encodedSize);
    Packer pk(&buf);
    if (reply.ok) {
        pk.pack_array(3);
        pk.pack_uint8(static_cast<std::uint8_t>(TMessageKind::mkResult));
        VariantCodec::Write(pk, reply.result);
        pk.pack_array(static_cast<std::uint32_t>(reply.byRef.size()));
        for (const auto& [index, value] : reply.byRef) {
            pk.pack_array(2);
            pk.pack_uint32(index);
            VariantCodec::Write(pk, value);
        }
    } else {
        pk.pack_array(6);
        pk.pack_uint8(static_cast<std::uint8_t>(TMessageKind::mkFault));
        PackBin(pk, reply.message);
        pk.pack_uint8(static_cast<std::uint8_t>(reply.faultKind));
        pk.pack_uint32(reply.faultEntry);
        PackCode(pk, reply.code, reply.args);
    }
    return Done(buf);
}

size_t Protocol::EncodedSize(const CallReply& reply)
{
    if (!reply.ok) {
        // A fault's texts are short.
        return EncodeCallReply(reply).size();
    }
    size_t size = 2 + VariantCodec::EncodedSize(reply.result) + VariantCodec::ArrayHeaderSize(reply.byRef.size());
    for (const auto& [index, value] : reply.byRef) {
        size += 1 + VariantCodec::UintSize(index) + VariantCodec::EncodedSize(value);
    }
    return size;
}

Protocol::CallReply Protocol::DecodeCallReply(std::string_view payload, size_t maxCells)
{
    MsgReader in(payload, "call reply");
    CallReply r;
    if (Kind(payload) == TMessageKind::mkResult) {
        Open(in, TMessageKind::mkResult, {3});
        r.ok = true;
        r.result = VariantCodec::Read(in, &maxCells);
        auto n = in.ReadArray();
        if (n > static_cast<std::uint32_t>(CallDescriptor::kMaxArgs)) {
            in.Fail("more by-reference arguments than a call can have");
        }
        for (std::uint32_t i = 0; i < n; ++i) {
            in.ReadArray(2, "a by-reference argument");
            auto index = static_cast<std::uint32_t>(in.ReadInt(0, CallDescriptor::kMaxArgs - 1, "argument index"));
            r.byRef.emplace_back(index, VariantCodec::Read(in, &maxCells));
        }
    } else {
        const auto n = Open(in, TMessageKind::mkFault, {2, 4, 6});
        r.message = ScreenText(in.ReadBin());
        if (n >= 4) {
            r.faultKind = static_cast<TFaultKind>(in.ReadInt(0, 1, "fault kind"));
            r.faultEntry = static_cast<std::uint32_t>(in.ReadInt(0, 0xffffffff, "fault entry"));
        }
        if (n == 6) {
            ReadCode(in, r.code, r.args);
        }
    }
    in.ExpectEnd();
    return r;
}

std::string Protocol::EncodeUpdate(const Update& update)
{
    msgpack::sbuffer buf;
    Packer pk(&buf);
    pk.pack_array(5);
    pk.pack_uint8(static_cast<std::uint8_t>(TMessageKind::mkUpdate));
    PackBin(pk, update.branch);
    PackBin(pk, update.client);
    PackBin(pk, update.who);
    pk.pack_array(static_cast<std::uint32_t>(update.changes.size()));
    for (const auto& [status, service] : update.changes) {
        pk.pack_array(2);
        pk.pack_uint8(static_cast<std::uint8_t>(status));
        PackBin(pk, service);
    }
    return Done(buf);
}

Protocol::Update Protocol::DecodeUpdate(std::string_view payload)
{
    MsgReader in(payload, "update");
    Open(in, TMessageKind::mkUpdate, {5});
    Update u;
    u.branch = std::string(in.ReadBin());
    u.client = std::string(in.ReadBin());
    u.who = std::string(in.ReadBin());
    const auto count = in.ReadArray();
    if (count > kMaxUpdateChanges) {
        in.Fail("update of more than " + std::to_string(kMaxUpdateChanges) + " changes");
    }
    for (std::uint32_t i = 0; i < count; ++i) {
        in.ReadArray(2, "update change");
        const auto status = static_cast<TUpdateStatus>(in.ReadInt(2, 3, "change status"));
        u.changes.emplace_back(status, std::string(in.ReadBin()));
    }
    in.ExpectEnd();
    if (u.branch.size() > 64 || u.client.size() > 64 || u.who.size() > 256) {
        in.Fail("update naming a key or author too long");
    }
    return u;
}
