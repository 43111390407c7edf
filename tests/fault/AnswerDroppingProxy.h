#pragma once
// A loopback TCP proxy between a shell and the application server that can
// lose one answer: armed with a method name, it forwards the next call of
// that method to the server, lets the server answer (and so commit), then
// throws the answer away and closes both sides, as a network that fails at
// the worst moment would. Everything else passes frame by frame unchanged.
// One connection at a time, which is what one shell opens.
#include <atomic>
#include <mutex>
#include <string>
#include <thread>

class AnswerDroppingProxy {
public:
    explicit AnswerDroppingProxy(int UpstreamPort);
    ~AnswerDroppingProxy();
    AnswerDroppingProxy(const AnswerDroppingProxy&) = delete;
    AnswerDroppingProxy& operator=(const AnswerDroppingProxy&) = delete;

    int Port() const { return port_; }
    // Loses the answer to the next call whose frame names method.
    void DropNextAnswerTo(const std::string& method);
    // Answers lost so far.
    int Dropped() const { return dropped_; }

private:
    void Serve();
    void Relay(int client);

    int upstreamPort_;
    int listen_ = -1;
    int port_ = 0;
    std::atomic<bool> stop_{false};
    std::atomic<int> dropped_{0};
    std::mutex mutex_;
    std::string armed_;
    std::thread thread_;
};
