#pragma once
// The server's answers as the tests write them: a handshake accepted or
// refused, a call's result or its fault.
#include "platform/net/Protocol.h"

#include <cstdint>
#include <string>
#include <utility>

inline std::string HelloAnswer(bool accepted, std::string message = {})
{
    Protocol::HelloReply reply;
    reply.accepted = accepted;
    reply.message = std::move(message);
    return Protocol::EncodeHelloReply(reply);
}

inline std::string ResultAnswer(Variant result)
{
    Protocol::CallReply reply;
    reply.ok = true;
    reply.result = std::move(result);
    return Protocol::EncodeCallReply(reply);
}

inline std::string FaultAnswer(std::string message, TFaultKind kind = TFaultKind::fkRetry, std::uint32_t entry = 0)
{
    Protocol::CallReply reply;
    reply.message = std::move(message);
    reply.faultKind = kind;
    reply.faultEntry = entry;
    return Protocol::EncodeCallReply(reply);
}
