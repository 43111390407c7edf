#pragma once
// A minimal observer list. Connect returns a Connection that disconnects itself
// when destroyed, so an observer that goes away never leaves a dangling slot.
#include <functional>
#include <memory>
#include <utility>
#include <vector>

class Connection {
public:
    Connection() = default;
    explicit Connection(std::function<void()> disconnect) : disconnect_(std::move(disconnect)) {}
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;
    Connection(Connection&& other) noexcept : disconnect_(std::exchange(other.disconnect_, nullptr)) {}
    Connection& operator=(Connection&& other) noexcept
    {
        if (this != &other) {
            Disconnect();
            disconnect_ = std::exchange(other.disconnect_, nullptr);
        }
        return *this;
    }
    ~Connection() { Disconnect(); }
    void Disconnect()
    {
        if (disconnect_) {
            auto d = std::exchange(disconnect_, nullptr);
            d();
        }
    }

private:
    std::function<void()> disconnect_;
};

template <class... Args>
class Signal {
public:
    Signal() : slots_(std::make_shared<Slots>()) {}
    Signal(const Signal&) = delete;
    Signal& operator=(const Signal&) = delete;

    [[nodiscard]] Connection Connect(std::function<void(Args...)> fn)
    {
        int id = ++slots_->nextId;
        slots_->list.push_back(
            {id, fn ? std::make_shared<const std::function<void(Args...)>>(std::move(fn)) : nullptr});
        std::weak_ptr<Slots> weak = slots_;
        return Connection([weak, id] {
            if (auto s = weak.lock()) {
                for (auto& slot : s->list) {
                    if (slot.id == id) {
                        slot.fn = nullptr;
                    }
                }
                s->dirty = true;
            }
        });
    }

    // Slots connected while emitting are not called by this emission; slots
    // disconnected while emitting are skipped.
    void Emit(Args... args)
    {
        if (slots_->list.empty()) {
            return;
        }
        auto keep = slots_;
        size_t n = keep->list.size();
        ++keep->depth;
        for (size_t i = 0; i < n; ++i) {
            if (keep->list[i].fn) {
                // The slot's own reference: a slot that disconnects itself
                // while it runs is not destroyed under it.
                auto fn = keep->list[i].fn;
                (*fn)(args...);
            }
        }
        if (--keep->depth == 0 && keep->dirty) {
            std::erase_if(keep->list, [](const Slot& s) { return !s.fn; });
            keep->dirty = false;
        }
    }

    size_t Count() const
    {
        size_t n = 0;
        for (auto& s : slots_->list) {
            n += s.fn ? 1 : 0;
        }
        return n;
    }

private:
    struct Slot {
        int id;
        std::shared_ptr<const std::function<void(Args...)>> fn;
    };
    struct Slots {
        std::vector<Slot> list;
        int nextId = 0;
        int depth = 0;
        bool dirty = false;
    };
    std::shared_ptr<Slots> slots_;
};
