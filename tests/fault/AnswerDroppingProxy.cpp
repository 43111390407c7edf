#include "AnswerDroppingProxy.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstdint>
#include <netinet/in.h>
#include <poll.h>
#include <stdexcept>
#include <sys/socket.h>
#include <unistd.h>

namespace {

sockaddr_in Loopback(int port)
{
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<std::uint16_t>(port));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return a;
}

bool WriteAll(int fd, const std::string& bytes)
{
    size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = send(fd, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        done += static_cast<size_t>(n);
    }
    return true;
}

// Takes the complete frames (4-byte big-endian length, then the payload) off
// the front of buffer.
bool TakeFrame(std::string& buffer, std::string& frame)
{
    if (buffer.size() < 4) {
        return false;
    }
    auto b = [&](size_t i) { return static_cast<std::uint32_t>(static_cast<unsigned char>(buffer[i])); };
    size_t length = (b(0) << 24) | (b(1) << 16) | (b(2) << 8) | b(3);
    if (buffer.size() < 4 + length) {
        return false;
    }
    frame = buffer.substr(0, 4 + length);
    buffer.erase(0, 4 + length);
    return true;
}

} // namespace

AnswerDroppingProxy::AnswerDroppingProxy(int UpstreamPort) : upstreamPort_(UpstreamPort)
{
    listen_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a = Loopback(0);
    socklen_t len = sizeof a;
    if (listen_ < 0 || bind(listen_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || ::listen(listen_, 8) != 0 ||
        getsockname(listen_, reinterpret_cast<sockaddr*>(&a), &len) != 0) {
        throw std::runtime_error("proxy: cannot listen");
    }
    port_ = ntohs(a.sin_port);
    thread_ = std::thread([this] { Serve(); });
}

AnswerDroppingProxy::~AnswerDroppingProxy()
{
    stop_ = true;
    thread_.join();
    close(listen_);
}

void AnswerDroppingProxy::DropNextAnswerTo(const std::string& method)
{
    std::lock_guard<std::mutex> lock(mutex_);
    armed_ = method;
}

void AnswerDroppingProxy::Serve()
{
    while (!stop_) {
        pollfd p{listen_, POLLIN, 0};
        if (poll(&p, 1, 100) <= 0) {
            continue;
        }
        int client = accept4(listen_, nullptr, nullptr, SOCK_CLOEXEC);
        if (client >= 0) {
            Relay(client);
            close(client);
        }
    }
}

void AnswerDroppingProxy::Relay(int client)
{
    int server = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a = Loopback(upstreamPort_);
    if (server < 0 || connect(server, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
        if (server >= 0) {
            close(server);
        }
        return;
    }
    std::string fromClient;
    std::string fromServer;
    bool dropNext = false;
    while (!stop_) {
        pollfd p[2] = {{client, POLLIN, 0}, {server, POLLIN, 0}};
        if (poll(p, 2, 100) <= 0) {
            continue;
        }
        char buf[65536];
        if (p[0].revents != 0) {
            ssize_t n = recv(client, buf, sizeof buf, 0);
            if (n <= 0) {
                break;
            }
            fromClient.append(buf, static_cast<size_t>(n));
            std::string frame;
            while (TakeFrame(fromClient, frame)) {
                {
                    std::lock_guard<std::mutex> lock(mutex_);
                    if (!armed_.empty() && frame.find(armed_) != std::string::npos) {
                        armed_.clear();
                        dropNext = true;
                    }
                }
                if (!WriteAll(server, frame)) {
                    break;
                }
            }
        }
        if (p[1].revents != 0) {
            ssize_t n = recv(server, buf, sizeof buf, 0);
            if (n <= 0) {
                break;
            }
            fromServer.append(buf, static_cast<size_t>(n));
            std::string frame;
            bool cut = false;
            while (!cut && TakeFrame(fromServer, frame)) {
                if (dropNext) {
                    // The server has answered, so it has committed; the shell
                    // never hears of it.
                    ++dropped_;
                    cut = true;
                } else if (!WriteAll(client, frame)) {
                    cut = true;
                }
            }
            if (cut) {
                break;
            }
        }
    }
    close(server);
}
