#include "platform/core/MsgReader.h"

#include "platform/core/Exception.h"

MsgReader::MsgReader(std::string_view data, std::string context) : data_(data), context_(std::move(context)) {}

void MsgReader::Fail(const std::string& why) const
{
    throw EPacketError("Invalid " + context_ + " at byte " + std::to_string(pos_) + ": " + why);
}

std::uint8_t MsgReader::Byte()
{
    if (pos_ >= data_.size()) {
        Fail("truncated");
    }
    return static_cast<std::uint8_t>(data_[pos_++]);
}

std::uint64_t MsgReader::BigEndian(int bytes)
{
    if (Remaining() < static_cast<size_t>(bytes)) {
        Fail("truncated");
    }
    std::uint64_t v = 0;
    for (int i = 0; i < bytes; ++i) {
        v = (v << 8) | static_cast<std::uint8_t>(data_[pos_++]);
    }
    return v;
}

std::string_view MsgReader::Take(std::uint64_t length)
{
    if (length > Remaining()) {
        Fail("length " + std::to_string(length) + " runs past the end (" + std::to_string(Remaining()) +
             " bytes left)");
    }
    auto v = data_.substr(pos_, static_cast<size_t>(length));
    pos_ += static_cast<size_t>(length);
    return v;
}

MsgReader::TType MsgReader::PeekType() const
{
    if (pos_ >= data_.size()) {
        Fail("truncated");
    }
    auto b = static_cast<std::uint8_t>(data_[pos_]);
    if (b <= 0x7f || b >= 0xe0) {
        return TType::Int;
    }
    if (b <= 0x8f) {
        return TType::Map;
    }
    if (b <= 0x9f) {
        return TType::Array;
    }
    if (b <= 0xbf) {
        return TType::Str;
    }
    switch (b) {
    case 0xc0: return TType::Nil;
    case 0xc2:
    case 0xc3: return TType::Bool;
    case 0xc4:
    case 0xc5:
    case 0xc6: return TType::Bin;
    case 0xc7:
    case 0xc8:
    case 0xc9:
    case 0xd4:
    case 0xd5:
    case 0xd6:
    case 0xd7:
    case 0xd8: return TType::Ext;
    case 0xca:
    case 0xcb: return TType::Float;
    case 0xcc:
    case 0xcd:
    case 0xce:
    case 0xcf:
    case 0xd0:
    case 0xd1:
    case 0xd2:
    case 0xd3: return TType::Int;
    case 0xd9:
    case 0xda:
    case 0xdb: return TType::Str;
    case 0xdc:
    case 0xdd: return TType::Array;
    case 0xde:
    case 0xdf: return TType::Map;
    default: break;
    }
    Fail("unused type byte");
}

bool MsgReader::TryNil()
{
    if (pos_ < data_.size() && static_cast<std::uint8_t>(data_[pos_]) == 0xc0) {
        ++pos_;
        return true;
    }
    return false;
}

bool MsgReader::ReadBool()
{
    auto b = Byte();
    if (b == 0xc2) {
        return false;
    }
    if (b == 0xc3) {
        return true;
    }
    --pos_;
    Fail("a Boolean was expected");
}

std::int64_t MsgReader::ReadInt()
{
    auto b = Byte();
    if (b <= 0x7f) {
        return b;
    }
    if (b >= 0xe0) {
        return static_cast<std::int8_t>(b);
    }
    switch (b) {
    case 0xcc: return static_cast<std::int64_t>(BigEndian(1));
    case 0xcd: return static_cast<std::int64_t>(BigEndian(2));
    case 0xce: return static_cast<std::int64_t>(BigEndian(4));
    case 0xcf: {
        auto v = BigEndian(8);
        if (v > static_cast<std::uint64_t>(INT64_MAX)) {
            Fail("integer out of range");
        }
        return static_cast<std::int64_t>(v);
    }
    case 0xd0: return static_cast<std::int8_t>(BigEndian(1));
    case 0xd1: return static_cast<std::int16_t>(BigEndian(2));
    case 0xd2: return static_cast<std::int32_t>(BigEndian(4));
    case 0xd3: return static_cast<std::int64_t>(BigEndian(8));
    default: break;
    }
    --pos_;
    Fail("an integer was expected");
}

std::int64_t MsgReader::ReadInt(std::int64_t min, std::int64_t max, const char* what)
{
    auto at = pos_;
    auto v = ReadInt();
    if (v < min || v > max) {
        pos_ = at;
        Fail(std::string(what) + " " + std::to_string(v) + " is out of range");
    }
    return v;
}

std::string_view MsgReader::ReadStr()
{
    auto b = Byte();
    if (b >= 0xa0 && b <= 0xbf) {
        return Take(b & 0x1f);
    }
    switch (b) {
    case 0xd9: return Take(BigEndian(1));
    case 0xda: return Take(BigEndian(2));
    case 0xdb: return Take(BigEndian(4));
    default: break;
    }
    --pos_;
    Fail("a text was expected");
}

std::string_view MsgReader::ReadBin()
{
    // A value shorter than 256 bytes, the form of nearly every value of a
    // row, is read in place.
    if (data_.size() - pos_ >= 2 && static_cast<std::uint8_t>(data_[pos_]) == 0xc4) {
        const size_t n = static_cast<std::uint8_t>(data_[pos_ + 1]);
        if (n <= data_.size() - pos_ - 2) {
            const auto bytes = data_.substr(pos_ + 2, n);
            pos_ += 2 + n;
            return bytes;
        }
    }
    auto b = Byte();
    switch (b) {
    case 0xc4: return Take(BigEndian(1));
    case 0xc5: return Take(BigEndian(2));
    case 0xc6: return Take(BigEndian(4));
    default: break;
    }
    --pos_;
    Fail("a byte string was expected");
}

std::uint32_t MsgReader::ReadArray()
{
    auto b = Byte();
    std::uint64_t n = 0;
    if (b >= 0x90 && b <= 0x9f) {
        n = b & 0x0f;
    } else if (b == 0xdc) {
        n = BigEndian(2);
    } else if (b == 0xdd) {
        n = BigEndian(4);
    } else {
        --pos_;
        Fail("an array was expected");
    }
    if (n > Remaining()) {
        Fail("array of " + std::to_string(n) + " elements cannot fit in the " + std::to_string(Remaining()) +
             " bytes left");
    }
    return static_cast<std::uint32_t>(n);
}

void MsgReader::ReadArray(std::uint32_t count, const char* what)
{
    auto at = pos_;
    auto n = ReadArray();
    if (n != count) {
        pos_ = at;
        Fail(std::string(what) + " must have " + std::to_string(count) + " elements, not " + std::to_string(n));
    }
}

std::pair<std::int8_t, std::string_view> MsgReader::ReadExt()
{
    auto b = Byte();
    std::uint64_t length = 0;
    switch (b) {
    case 0xd4: length = 1; break;
    case 0xd5: length = 2; break;
    case 0xd6: length = 4; break;
    case 0xd7: length = 8; break;
    case 0xd8: length = 16; break;
    case 0xc7: length = BigEndian(1); break;
    case 0xc8: length = BigEndian(2); break;
    case 0xc9: length = BigEndian(4); break;
    default: --pos_; Fail("an extension value was expected");
    }
    auto type = static_cast<std::int8_t>(Byte());
    return {type, Take(length)};
}

void MsgReader::ExpectEnd() const
{
    if (!AtEnd()) {
        Fail(std::to_string(Remaining()) + " unexpected bytes after the end");
    }
}
