// The frame reader and the protocol decoders on bytes from a hostile peer.
// The first byte picks how the stream is cut into reads, so that headers and
// payloads split at every place are tried; every complete payload is decoded
// as each message it could be. Only the platform's own errors may come out.
#include "platform/core/Exception.h"
#include "platform/net/FrameBuffer.h"
#include "platform/net/Protocol.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace {

void DecodeEvery(std::string_view payload)
{
    try {
        Protocol::Kind(payload);
    } catch (const Exception&) {
    }
    try {
        Protocol::DecodeHello(payload);
    } catch (const Exception&) {
    }
    try {
        Protocol::DecodeHelloReply(payload);
    } catch (const Exception&) {
    }
    try {
        Protocol::DecodeCall(payload);
    } catch (const Exception&) {
    }
    try {
        Protocol::DecodeCallReply(payload);
    } catch (const Exception&) {
    }
    try {
        Protocol::DecodeUpdate(payload);
    } catch (const Exception&) {
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0) {
        return 0;
    }
    // A small bound, so that the fuzzer reaches the refusal of long frames.
    size_t chunk = static_cast<size_t>(data[0] % 16) + 1;
    std::string_view bytes(reinterpret_cast<const char*>(data) + 1, size - 1);
    FrameBuffer frames(4096);
    try {
        for (size_t at = 0; at < bytes.size(); at += chunk) {
            frames.Append(bytes.substr(at, chunk));
            while (auto payload = frames.Next()) {
                DecodeEvery(*payload);
            }
        }
    } catch (const Exception&) {
        // The stream lost its place; a server closes it here.
    }
    // The whole input as one payload too, so that the decoders see it even
    // when it does not start with a sensible header.
    DecodeEvery(bytes);
    return 0;
}
