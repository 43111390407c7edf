#include "platform/core/Variant.h"

#include "platform/core/Exception.h"

bool Variant::AsBool() const
{
    if (auto* b = std::get_if<bool>(&v_)) {
        return *b;
    }
    if (auto* i = std::get_if<std::int64_t>(&v_)) {
        return *i != 0;
    }
    throw EConvertError("Variant is not a Boolean");
}

std::int64_t Variant::AsInt() const
{
    if (auto* i = std::get_if<std::int64_t>(&v_)) {
        return *i;
    }
    if (auto* b = std::get_if<bool>(&v_)) {
        return *b ? 1 : 0;
    }
    if (auto* s = std::get_if<std::string>(&v_)) {
        try {
            size_t used = 0;
            auto n = std::stoll(*s, &used);
            if (used == s->size()) {
                return n;
            }
        } catch (const std::exception&) {
        }
        throw EConvertError("'" + *s + "' is not a valid integer value");
    }
    throw EConvertError("Variant is not an integer");
}

const std::shared_ptr<const DataPacket>& Variant::AsPacket() const
{
    if (auto* p = std::get_if<std::shared_ptr<const DataPacket>>(&v_)) {
        return *p;
    }
    throw EConvertError("Variant does not hold a data packet");
}

std::string Variant::AsString() const
{
    switch (GetKind()) {
    case Kind::Null: return "";
    case Kind::Bool: return std::get<bool>(v_) ? "True" : "False";
    case Kind::Int: return std::to_string(std::get<std::int64_t>(v_));
    case Kind::String: return std::get<std::string>(v_);
    case Kind::Packet: return "(data packet)";
    }
    return "";
}

bool Variant::operator==(const Variant& other) const
{
    if (GetKind() != other.GetKind()) {
        return false;
    }
    if (GetKind() == Kind::Packet) {
        // A packet handed on unchanged is the same packet: no need to
        // compare its rows.
        return AsPacket() == other.AsPacket() || *AsPacket() == *other.AsPacket();
    }
    return v_ == other.v_;
}
