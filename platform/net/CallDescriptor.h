#pragma once
// The descriptor of a late-bound method call, byte for byte:
//
//   byte 1      call kind: 1 = method call
//   byte 2      number of arguments
//   byte 3      number of named arguments: always 0
//   then        one type byte per argument (TArgType)
//   then        the method name in ASCII, ended by a zero byte
//
// So a call of GetServico with two texts starts 01 02 00 48 48, and a call of
// ApCoServClie with one variant by reference starts 01 01 00 8C.
//
// Failure behaviour: the constructor and Parse throw EPacketError for a name
// that is not 1..255 ASCII letters, digits or underscores, more than 32
// arguments, an unknown kind or type byte, named arguments, or a name that is
// not ended by exactly one final zero byte.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

enum class TArgType : std::uint8_t { atTextByValue = 0x48, atVariantByRef = 0x8C };

class CallDescriptor {
public:
    static constexpr std::uint8_t kMethodCall = 1;
    static constexpr int kMaxArgs = 32;
    static constexpr int kMaxNameLength = 255;

    CallDescriptor(std::string method, std::vector<TArgType> argTypes);

    const std::string& Method() const { return method_; }
    const std::vector<TArgType>& ArgTypes() const { return argTypes_; }

    // The bytes before the name: kind, counts and type bytes.
    std::string Head() const;
    // The whole descriptor: head, name and the ending zero byte.
    std::string Bytes() const;

    static CallDescriptor Parse(std::string_view bytes);

    // Bytes as upper-case hex pairs separated by blanks: "01 02 00 48 48".
    static std::string Hex(std::string_view bytes);

    bool operator==(const CallDescriptor&) const = default;

private:
    std::string method_;
    std::vector<TArgType> argTypes_;
};
