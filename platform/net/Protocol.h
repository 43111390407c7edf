#pragma once
// The messages of the remote-call protocol. Each frame's payload (see
// FrameBuffer) is one MessagePack array whose first element is the message
// kind; texts for the operator travel as bin holding Windows-1252 bytes.
//
//   client -> server, once, first:
//     [1 Hello,   str "SCRP", uint version, str server name, bin secret]
//   server -> client, the answer to Hello:
//     [2 Welcome, uint version]
//     [3 Refused, bin message]                 then the server closes
//   client -> server, any number of times, one at a time:
//     [4 Call,    bin descriptor, array(n) of arguments]
//   server -> client, the answer to each Call:
//     [5 Result,  result value, array of [uint index, value]]
//     [6 Fault,   bin message]
//
// Values are VariantCodec values. The descriptor is CallDescriptor's byte
// form; its argument count equals the number of arguments, and a text-by-value
// argument must be a text. A Result lists only by-reference arguments, by
// their zero-based position. A Fault answers a call that failed on the server;
// the connection stays usable unless the fault was about the stream itself,
// in which case the server closes it after sending.
//
// Failure behaviour: every Decode function throws EPacketError for a payload
// that breaks these rules.
#include "platform/core/Variant.h"
#include "platform/net/CallDescriptor.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

enum class TMessageKind : std::uint8_t {
    mkHello = 1,
    mkWelcome = 2,
    mkRefused = 3,
    mkCall = 4,
    mkResult = 5,
    mkFault = 6
};

class Protocol {
public:
    static constexpr int kVersion = 1;
    static constexpr std::string_view kMagic = "SCRP";
    static constexpr size_t kMaxServerName = 255;
    static constexpr size_t kMaxSecret = 1024;

    struct Hello {
        int version = kVersion;
        std::string serverName;
        std::string secret;
    };
    // The answer to a Hello: accepted, or refused with a message.
    struct HelloReply {
        bool accepted = false;
        int version = kVersion;
        std::string message;
    };
    struct Call {
        CallDescriptor descriptor{"_", {}};
        std::vector<Variant> args;
    };
    // The answer to a Call: a result with the changed by-reference arguments,
    // or a fault message.
    struct CallReply {
        bool ok = false;
        Variant result;
        std::vector<std::pair<std::uint32_t, Variant>> byRef;
        std::string message;
    };

    // The kind of a payload, checked to be one of TMessageKind.
    static TMessageKind Kind(std::string_view payload);

    static std::string EncodeHello(const Hello& hello);
    static Hello DecodeHello(std::string_view payload);
    static std::string EncodeHelloReply(const HelloReply& reply);
    static HelloReply DecodeHelloReply(std::string_view payload);
    static std::string EncodeCall(const Call& call);
    static Call DecodeCall(std::string_view payload);
    static std::string EncodeCallReply(const CallReply& reply);
    static CallReply DecodeCallReply(std::string_view payload);
};
