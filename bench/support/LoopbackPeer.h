#pragma once
// A bare TCP peer on loopback, the network baseline: a thread that answers
// each request with as many bytes as the request asks for, and a blocking
// client socket with Nagle off, as the application's channel has it.
//
// A request is two 32-bit lengths (request body, answer) and the body; the
// answer is that many bytes. Echo(n) sends n bytes and gets n back; Fetch(n)
// sends a small request and gets n bytes back: one transfer of n bytes.
//
// Failure behaviour: the constructor and the calls throw ESocketError when a
// socket operation fails; the thread ends when the client closes.
#include <cstddef>
#include <string>
#include <thread>

class LoopbackPeer {
public:
    LoopbackPeer();
    ~LoopbackPeer();
    LoopbackPeer(const LoopbackPeer&) = delete;
    LoopbackPeer& operator=(const LoopbackPeer&) = delete;

    void Echo(size_t bytes);
    void Fetch(size_t bytes);

private:
    void Exchange(size_t requestBytes, size_t answerBytes);
    void Serve(int socket);

    int listener_ = -1;
    int client_ = -1;
    std::thread thread_;
    std::string buffer_;
};
