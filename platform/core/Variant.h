#pragma once
// The value that remote calls take and return: Null, a Boolean, an integer, a
// Windows-1252 text, or a data packet.
#include "platform/core/DataPacket.h"

#include <cstdint>
#include <memory>
#include <string>
#include <variant>

class Variant {
public:
    enum class Kind { Null, Bool, Int, String, Packet };

    Variant() = default; // Null
    Variant(bool b) : v_(b) {}
    Variant(int i) : v_(static_cast<std::int64_t>(i)) {}
    Variant(std::int64_t i) : v_(i) {}
    Variant(const char* s) : v_(std::string(s)) {}
    Variant(std::string s) : v_(std::move(s)) {}
    Variant(DataPacket p) : v_(std::make_shared<const DataPacket>(std::move(p))) {}
    Variant(std::shared_ptr<const DataPacket> p) : v_(std::move(p)) {}

    static Variant Null() { return Variant(); }

    Kind GetKind() const { return static_cast<Kind>(v_.index()); }
    bool IsNull() const { return GetKind() == Kind::Null; }

    // Throw EConvertError when the value is of another kind.
    bool AsBool() const;
    std::int64_t AsInt() const;
    const std::shared_ptr<const DataPacket>& AsPacket() const;
    // Text form of any value: Null gives "", Booleans "True"/"False", a packet
    // "(data packet)".
    std::string AsString() const;

    bool operator==(const Variant& other) const;

private:
    std::variant<std::monostate, bool, std::int64_t, std::string, std::shared_ptr<const DataPacket>> v_;
};
