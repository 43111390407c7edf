#include "platform/net/FrameBuffer.h"

#include "platform/core/Exception.h"

size_t FrameBuffer::PayloadLength(const unsigned char header[kHeaderSize], size_t maxFrame)
{
    std::uint32_t n = (std::uint32_t(header[0]) << 24) | (std::uint32_t(header[1]) << 16) |
                      (std::uint32_t(header[2]) << 8) | std::uint32_t(header[3]);
    if (n == 0) {
        throw EPacketError("Invalid frame: empty payload");
    }
    if (n > maxFrame) {
        throw EPacketError("Invalid frame: " + std::to_string(n) + " bytes announced, more than the limit of " +
                           std::to_string(maxFrame));
    }
    return n;
}

std::array<unsigned char, FrameBuffer::kHeaderSize> FrameBuffer::Header(size_t payloadSize, size_t maxFrame)
{
    if (payloadSize == 0) {
        throw EPacketError("Invalid frame: empty payload");
    }
    if (payloadSize > maxFrame || payloadSize > 0xffffffffu) {
        throw EPacketError("Message of " + std::to_string(payloadSize) + " bytes is larger than the limit of " +
                           std::to_string(maxFrame));
    }
    const auto n = static_cast<std::uint32_t>(payloadSize);
    return {static_cast<unsigned char>(n >> 24), static_cast<unsigned char>(n >> 16),
            static_cast<unsigned char>(n >> 8), static_cast<unsigned char>(n)};
}

std::string FrameBuffer::Wrap(std::string_view payload, size_t maxFrame)
{
    const auto header = Header(payload.size(), maxFrame);
    std::string out;
    out.reserve(kHeaderSize + payload.size());
    out.append(reinterpret_cast<const char*>(header.data()), header.size());
    out.append(payload);
    return out;
}

std::optional<std::string> FrameBuffer::Next()
{
    if (buffer_.size() < kHeaderSize) {
        return std::nullopt;
    }
    size_t n = PayloadLength(reinterpret_cast<const unsigned char*>(buffer_.data()), maxFrame_);
    if (buffer_.size() - kHeaderSize < n) {
        return std::nullopt;
    }
    std::string payload = buffer_.substr(kHeaderSize, n);
    buffer_.erase(0, kHeaderSize + n);
    return payload;
}
