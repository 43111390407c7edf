#include "platform/net/CallDescriptor.h"

#include "platform/core/Exception.h"

namespace {

[[noreturn]] void Fail(const std::string& why)
{
    throw EPacketError("Invalid call descriptor: " + why);
}

void CheckName(std::string_view name)
{
    if (name.empty() || name.size() > static_cast<size_t>(CallDescriptor::kMaxNameLength)) {
        Fail("the method name must have 1 to 255 characters");
    }
    for (char c : name) {
        bool ok = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_';
        if (!ok) {
            Fail("the method name holds a character other than an ASCII letter, digit or underscore");
        }
    }
}

} // namespace

CallDescriptor::CallDescriptor(std::string method, std::vector<TArgType> argTypes)
    : method_(std::move(method)), argTypes_(std::move(argTypes))
{
    CheckName(method_);
    if (argTypes_.size() > static_cast<size_t>(kMaxArgs)) {
        Fail("more than 32 arguments");
    }
    for (auto t : argTypes_) {
        if (t != TArgType::atTextByValue && t != TArgType::atVariantByRef) {
            Fail("unknown argument type byte");
        }
    }
}

std::string CallDescriptor::Head() const
{
    std::string head;
    head.push_back(static_cast<char>(kMethodCall));
    head.push_back(static_cast<char>(argTypes_.size()));
    head.push_back(0);
    for (auto t : argTypes_) {
        head.push_back(static_cast<char>(t));
    }
    return head;
}

std::string CallDescriptor::Bytes() const
{
    std::string bytes = Head();
    bytes += method_;
    bytes.push_back(0);
    return bytes;
}

CallDescriptor CallDescriptor::Parse(std::string_view bytes)
{
    if (bytes.size() < 3) {
        Fail("fewer than 3 bytes");
    }
    auto kind = static_cast<std::uint8_t>(bytes[0]);
    auto argc = static_cast<std::uint8_t>(bytes[1]);
    auto named = static_cast<std::uint8_t>(bytes[2]);
    if (kind != kMethodCall) {
        Fail("call kind " + std::to_string(kind) + " is not a method call");
    }
    if (named != 0) {
        Fail("named arguments are not supported");
    }
    if (argc > kMaxArgs) {
        Fail("more than 32 arguments");
    }
    if (bytes.size() < 3u + argc + 2u) {
        Fail("too short for " + std::to_string(argc) + " argument types and a method name");
    }
    std::vector<TArgType> types;
    for (size_t i = 0; i < argc; ++i) {
        auto t = static_cast<std::uint8_t>(bytes[3 + i]);
        if (t != static_cast<std::uint8_t>(TArgType::atTextByValue) &&
            t != static_cast<std::uint8_t>(TArgType::atVariantByRef)) {
            Fail("argument " + std::to_string(i + 1) + " has the unknown type byte " + Hex(bytes.substr(3 + i, 1)));
        }
        types.push_back(static_cast<TArgType>(t));
    }
    auto name = bytes.substr(3 + argc);
    if (name.back() != '\0') {
        Fail("the method name is not ended by a zero byte");
    }
    name.remove_suffix(1);
    if (name.find('\0') != std::string_view::npos) {
        Fail("bytes follow the zero byte that ends the method name");
    }
    CheckName(name);
    return CallDescriptor(std::string(name), std::move(types));
}

std::string CallDescriptor::Hex(std::string_view bytes)
{
    static const char digits[] = "0123456789ABCDEF";
    std::string out;
    for (size_t i = 0; i < bytes.size(); ++i) {
        if (i > 0) {
            out.push_back(' ');
        }
        auto b = static_cast<std::uint8_t>(bytes[i]);
        out.push_back(digits[b >> 4]);
        out.push_back(digits[b & 0x0f]);
    }
    return out;
}
