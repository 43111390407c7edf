#pragma once
// Framing of the remote-call stream: every message is a 4-byte big-endian
// payload length followed by that many payload bytes. A length of zero or
// above the receiver's bound is refused before any byte of the payload is
// awaited or stored, so a peer cannot make the receiver reserve memory it
// never sends.
//
// FrameBuffer collects bytes as they arrive and hands out complete payloads.
// Failure behaviour: Next and PayloadLength throw EPacketError for a bad
// length; after that the stream has lost its place and must be closed.
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

class FrameBuffer {
public:
    static constexpr size_t kHeaderSize = 4;
    static constexpr size_t kDefaultMaxFrame = 8u * 1024u * 1024u;
    // What a reader holds for a payload before its first bytes arrive.
    static constexpr size_t kFirstChunk = 64u * 1024u;

    explicit FrameBuffer(size_t maxFrame = kDefaultMaxFrame) : maxFrame_(maxFrame) {}

    void Append(std::string_view bytes) { buffer_.append(bytes); }
    // The next complete payload, or nothing while it is still incomplete.
    std::optional<std::string> Next();
    size_t Buffered() const { return buffer_.size(); }

    // The payload length that a header announces, checked against maxFrame.
    static size_t PayloadLength(const unsigned char header[kHeaderSize], size_t maxFrame);
    // Header and payload; EPacketError when the payload is empty or too large.
    static std::string Wrap(std::string_view payload, size_t maxFrame = kDefaultMaxFrame);
    // The header alone, for a payload sent after it without a copy; the same
    // checks as Wrap.
    static std::array<unsigned char, kHeaderSize> Header(size_t payloadSize, size_t maxFrame = kDefaultMaxFrame);

private:
    size_t maxFrame_;
    std::string buffer_;
};
