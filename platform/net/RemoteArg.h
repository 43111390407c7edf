#pragma once
// One argument of a late-bound remote call: a text passed by value, or a
// variant passed by reference, which the call updates when the server sends
// it back changed.
#include "platform/core/Variant.h"
#include "platform/net/CallDescriptor.h"

#include <string>
#include <utility>

class RemoteArg {
public:
    static RemoteArg Text(std::string value) { return RemoteArg(TArgType::atTextByValue, Variant(std::move(value))); }
    static RemoteArg ByRef(Variant value) { return RemoteArg(TArgType::atVariantByRef, std::move(value)); }

    TArgType Type() const { return type_; }
    const Variant& Value() const { return value_; }
    void SetValue(Variant value) { value_ = std::move(value); }

private:
    RemoteArg(TArgType type, Variant value) : type_(type), value_(std::move(value)) {}

    TArgType type_;
    Variant value_;
};
