#pragma once
// The messages of the remote-call protocol. Each frame's payload (see
// FrameBuffer) is one MessagePack array whose first element is the message
// kind; texts for the operator travel as bin holding Windows-1252 bytes.
//
//   client -> server, once, first:
//     [1 Hello,   str "SCRP", uint version, str server name, bin secret
//                 (, bin operator (, uint flags))]   the operator only when
//                 named or flags follow (then it may be empty); flags bit 0
//                 asks for live updates
//   server -> client, the answer to Hello:
//     [2 Welcome, uint version]
//     [3 Refused, bin message, str code, array of bin args]   then the server closes
//   client -> server, any number of times, one at a time:
//     [4 Call,    bin descriptor, array(n) of arguments]
//   server -> client, the answer to each Call:
//     [5 Result,  result value, array of [uint index, value]]
//     [6 Fault,   bin message, uint kind, uint entry, str code, array of bin args]
//   server -> client, between answers, only to a client that asked for them:
//     [7 Update,  bin branch, bin client, bin who, array of [uint status, bin service]]
//                 another session stored these changes of the branch and client
//                 this session reads (status: 2 inserted, 3 deleted); with an
//                 empty branch and client: what it reads may have changed
//                 unseen, read it again
//
// Values are VariantCodec values. The descriptor is CallDescriptor's byte
// form; its argument count equals the number of arguments, and a text-by-value
// argument must be a text. A Result lists only by-reference arguments, by
// their zero-based position. A Fault answers a call that failed on the server;
// the connection stays usable unless the fault was about the stream itself,
// in which case the server closes it after sending. Its kind tells whether
// the call was not done and may succeed if sent again (0) or was refused for
// good (1); entry is the 1-based entry of the change packet that was refused,
// or 0. Code and args name the message for the client to say it in the
// operator's language (an empty code: only the server's text). A Fault of two
// elements (message alone) reads as kind 0, entry 0; one of four without a
// code; a Refused of two elements without a code.
//
// Failure behaviour: every Decode function throws EPacketError for a payload
// that breaks these rules; DecodeCall also for arguments whose data packets
// hold more than maxCells values in all, and DecodeCallReply (EValueBudget,
// an EPacketError) for an answer whose data packets do. The message of a Refused or a Fault
// is decoded for the operator's screen: control characters (a NUL, a
// terminal escape) are taken out and what follows them is kept.
#include "platform/core/DataPacket.h"
#include "platform/core/Variant.h"
#include "platform/net/CallDescriptor.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

enum class TFaultKind : std::uint8_t {
    fkRetry = 0,  // not done; may succeed if sent again
    fkRefused = 1 // refused for good; sent again unchanged it fails again
};

enum class TMessageKind : std::uint8_t {
    mkHello = 1,
    mkWelcome = 2,
    mkRefused = 3,
    mkCall = 4,
    mkResult = 5,
    mkFault = 6,
    mkUpdate = 7
};

class Protocol {
public:
    static constexpr int kVersion = 1;
    static constexpr std::string_view kMagic = "SCRP";
    static constexpr size_t kMaxServerName = 255;
    static constexpr size_t kMaxSecret = 1024;
    static constexpr size_t kMaxCode = 64;
    static constexpr std::uint32_t kMaxCodeArgs = 16;
    static constexpr size_t kMaxOperator = 64;

    struct Hello {
        int version = kVersion;
        std::string serverName;
        std::string secret;
        // Who presents the secret, when the server keeps one per operator.
        std::string operatorName{};
        std::uint32_t flags = 0;
    };
    // Hello's flag: send this session live updates (Update).
    static constexpr std::uint32_t kLiveUpdates = 1;
    static constexpr size_t kMaxUpdateChanges = 4096;
    struct Update {
        std::string branch;
        std::string client;
        // The operator, or the workstation's address, that made the changes.
        std::string who;
        std::vector<std::pair<TUpdateStatus, std::string>> changes;
        // Read everything again: changes may have been missed.
        bool Reload() const { return branch.empty() && client.empty(); }
    };
    // The answer to a Hello: accepted, or refused with a message.
    struct HelloReply {
        bool accepted = false;
        int version = kVersion;
        std::string message;
        std::string code;
        std::vector<std::string> args;
    };
    struct Call {
        CallDescriptor descriptor{"_", {}};
        std::vector<Variant> args;
    };
    // The answer to a Call: a result with the changed by-reference arguments,
    // or a fault message with its kind and the entry it is about.
    struct CallReply {
        bool ok = false;
        Variant result;
        std::vector<std::pair<std::uint32_t, Variant>> byRef;
        std::string message;
        TFaultKind faultKind = TFaultKind::fkRetry;
        std::uint32_t faultEntry = 0;
        std::string code;
        std::vector<std::string> args;
    };

    // The kind of a payload, checked to be one of TMessageKind.
    static TMessageKind Kind(std::string_view payload);

    static std::string EncodeHello(const Hello& hello);
    static Hello DecodeHello(std::string_view payload);
    static std::string EncodeHelloReply(const HelloReply& reply);
    static HelloReply DecodeHelloReply(std::string_view payload);
    static std::string EncodeCall(const Call& call);
    static Call DecodeCall(std::string_view payload, size_t maxCells = static_cast<size_t>(-1));
    static std::string EncodeCallReply(const CallReply& reply);
    // The same, for a reply whose EncodedSize is known already.
    static std::string EncodeCallReply(const CallReply& reply, size_t encodedSize);
    // The bytes EncodeCallReply gives for reply, worked out without building them.
    static size_t EncodedSize(const CallReply& reply);
    static CallReply DecodeCallReply(std::string_view payload, size_t maxCells = static_cast<size_t>(-1));
    static std::string EncodeUpdate(const Update& update);
    static Update DecodeUpdate(std::string_view payload);
};
