#pragma once
// The byte form of a Variant inside a remote call (MessagePack):
//
//   Null     nil
//   Bool     true / false
//   Int      a signed integer of any MessagePack width
//   String   bin: the Windows-1252 bytes of the text
//   Packet   ext type 1 whose body is the DataPacketCodec form of the packet
//
// Failure behaviour: Read and Decode throw EPacketError for anything else
// (floats, maps, other extension types, a packet body that does not decode),
// naming the offset; they never allocate beyond what the input holds.
#include "platform/core/Variant.h"

#include <msgpack.hpp>

#include <string>
#include <string_view>

class MsgReader;

class VariantCodec {
public:
    static constexpr std::int8_t kPacketExtType = 1;

    static void Write(msgpack::packer<msgpack::sbuffer>& out, const Variant& value);
    // When cells is given, a data packet may hold at most *cells values, and
    // *cells is lessened by the values it holds.
    static Variant Read(MsgReader& in, size_t* cells = nullptr);

    static std::string Encode(const Variant& value);
    // The bytes Write takes for value, worked out without building them.
    static size_t EncodedSize(const Variant& value);

    // The bytes MessagePack's headers take, as the packer writes them: the
    // header of an array of n, of a str or bin of n bytes, of an ext of n
    // bytes, and a whole signed or unsigned integer.
    static size_t ArrayHeaderSize(size_t n);
    static size_t StrHeaderSize(size_t n);
    static size_t BinHeaderSize(size_t n);
    static size_t ExtHeaderSize(size_t n);
    static size_t IntSize(std::int64_t v);
    static size_t UintSize(std::uint64_t v);
    static Variant Decode(std::string_view bytes);
};
