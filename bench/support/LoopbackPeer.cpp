#include "bench/support/LoopbackPeer.h"

#include "platform/core/Exception.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

[[noreturn]] void Fail(const char* what)
{
    throw ESocketError(std::string("loopback peer: ") + what + ": " + std::strerror(errno));
}

bool ReadAll(int s, char* data, size_t n)
{
    while (n > 0) {
        ssize_t got = ::read(s, data, n);
        if (got <= 0) {
            if (got < 0 && errno == EINTR) {
                continue;
            }
            return false;
        }
        data += got;
        n -= static_cast<size_t>(got);
    }
    return true;
}

bool WriteAll(int s, const char* data, size_t n)
{
    while (n > 0) {
        ssize_t put = ::write(s, data, n);
        if (put <= 0) {
            if (put < 0 && errno == EINTR) {
                continue;
            }
            return false;
        }
        data += put;
        n -= static_cast<size_t>(put);
    }
    return true;
}

void NoDelay(int s)
{
    int one = 1;
    setsockopt(s, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
}

} // namespace

LoopbackPeer::LoopbackPeer()
{
    listener_ = ::socket(AF_INET, SOCK_STREAM, 0);
    if (listener_ < 0) {
        Fail("socket");
    }
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = 0;
    if (::bind(listener_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || ::listen(listener_, 1) != 0) {
        Fail("bind");
    }
    socklen_t len = sizeof addr;
    getsockname(listener_, reinterpret_cast<sockaddr*>(&addr), &len);
    client_ = ::socket(AF_INET, SOCK_STREAM, 0);
    if (client_ < 0 || ::connect(client_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
        Fail("connect");
    }
    NoDelay(client_);
    int served = ::accept(listener_, nullptr, nullptr);
    if (served < 0) {
        Fail("accept");
    }
    NoDelay(served);
    thread_ = std::thread([this, served] { Serve(served); });
}

LoopbackPeer::~LoopbackPeer()
{
    ::shutdown(client_, SHUT_RDWR);
    ::close(client_);
    if (thread_.joinable()) {
        thread_.join();
    }
    ::close(listener_);
}

void LoopbackPeer::Serve(int socket)
{
    std::string body;
    std::string answer;
    for (;;) {
        std::uint32_t head[2];
        if (!ReadAll(socket, reinterpret_cast<char*>(head), sizeof head)) {
            break;
        }
        body.resize(head[0]);
        if (!ReadAll(socket, body.data(), body.size())) {
            break;
        }
        answer.resize(head[1], 'x');
        if (!WriteAll(socket, answer.data(), answer.size())) {
            break;
        }
    }
    ::close(socket);
}

void LoopbackPeer::Exchange(size_t requestBytes, size_t answerBytes)
{
    const size_t head = 2 * sizeof(std::uint32_t);
    buffer_.resize(std::max(head + requestBytes, answerBytes));
    std::uint32_t lengths[2] = {static_cast<std::uint32_t>(requestBytes), static_cast<std::uint32_t>(answerBytes)};
    std::memcpy(buffer_.data(), lengths, head);
    if (!WriteAll(client_, buffer_.data(), head + requestBytes)) {
        Fail("send");
    }
    if (!ReadAll(client_, buffer_.data(), answerBytes)) {
        Fail("receive");
    }
}

void LoopbackPeer::Echo(size_t bytes)
{
    Exchange(bytes, bytes);
}

void LoopbackPeer::Fetch(size_t bytes)
{
    Exchange(48, bytes);
}
