#pragma once
// A pull reader over MessagePack bytes that came from outside the process.
// Every length and count is checked against the bytes that remain before
// anything is read or reserved, so a hostile header can never make a caller
// allocate more than the input holds. Texts come back as views into the input.
//
// Failure behaviour: any truncation, unexpected type or out-of-range value
// throws EPacketError whose message starts with the context given to the
// constructor ("data packet", "frame"...), followed by the byte offset.
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>

class MsgReader {
public:
    enum class TType { Nil, Bool, Int, Str, Bin, Array, Map, Ext, Float };

    MsgReader(std::string_view data, std::string context);

    bool AtEnd() const { return pos_ == data_.size(); }
    size_t Remaining() const { return data_.size() - pos_; }
    size_t Position() const { return pos_; }

    // The type of the next value; EPacketError at the end of the input or on a
    // byte that MessagePack leaves unused.
    TType PeekType() const;

    // Consumes a nil when one is next and tells whether it did.
    bool TryNil();
    bool ReadBool();
    std::int64_t ReadInt();
    // An integer within [min, max]; what names the value in the message.
    std::int64_t ReadInt(std::int64_t min, std::int64_t max, const char* what);
    std::string_view ReadStr();
    std::string_view ReadBin();
    // The element count of an array; every element takes at least one byte, so
    // a count larger than the bytes left is refused here.
    std::uint32_t ReadArray();
    // An array of exactly count elements.
    void ReadArray(std::uint32_t count, const char* what);
    // Type code and body of an extension value.
    std::pair<std::int8_t, std::string_view> ReadExt();

    // Refuses trailing bytes after the last value.
    void ExpectEnd() const;

    // Throws EPacketError with the reader's context and current offset.
    [[noreturn]] void Fail(const std::string& why) const;

private:
    std::uint8_t Byte();
    std::uint64_t BigEndian(int bytes);
    std::string_view Take(std::uint64_t length);

    std::string_view data_;
    size_t pos_ = 0;
    std::string context_;
};
