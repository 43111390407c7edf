#include "server/AnswerBudget.h"

#include "server/ServerMetrics.h"

#include <algorithm>

bool AnswerBudget::Fits(const Holder& me, size_t bytes) const
{
    if (taken_ + bytes > bytes_) {
        return false;
    }
    if (me.held == 0) {
        return true;
    }
    // Once it holds something, a holder never holds more than half: the
    // answers a reader that does not read leaves unwritten keep the rest
    // free for the others.
    if (me.held + bytes > bytes_ / 2) {
        return false;
    }
    const bool othersWait = std::any_of(holders_.begin(), holders_.end(),
                                        [&me](const auto& h) { return &h.second != &me && h.second.waiting > 0; });
    return !othersWait || me.held + bytes <= bytes_ / holders_.size();
}

bool AnswerBudget::Take(const std::string& holder, size_t bytes, std::chrono::milliseconds timeout,
                        const std::atomic<bool>& stop)
{
    bytes = std::min(bytes, bytes_);
    const auto until = std::chrono::steady_clock::now() + timeout;
    std::unique_lock lock(mutex_);
    Holder& me = holders_[holder];
    ++me.waiting;
    bool room = Fits(me, bytes);
    ServerMetrics::Instance().AnswerWait(!room);
    while (!room && !stop && std::chrono::steady_clock::now() < until) {
        // Woken now and then to see whether the session is asked to end.
        const auto next = std::min(until, std::chrono::steady_clock::now() + std::chrono::milliseconds(50));
        freed_.wait_until(lock, next);
        room = Fits(me, bytes);
    }
    --me.waiting;
    ServerMetrics::Instance().AnswerRoom(room);
    if (room) {
        me.held += bytes;
        taken_ += bytes;
    } else if (me.held == 0 && me.waiting == 0) {
        holders_.erase(holder);
    }
    lock.unlock();
    // Others may have waited only because this one did.
    freed_.notify_all();
    return room;
}

void AnswerBudget::Give(const std::string& holder, size_t bytes)
{
    {
        std::lock_guard lock(mutex_);
        const auto it = holders_.find(holder);
        if (it == holders_.end()) {
            return;
        }
        bytes = std::min(bytes, it->second.held);
        it->second.held -= bytes;
        taken_ -= bytes;
        if (it->second.held == 0 && it->second.waiting == 0) {
            holders_.erase(it);
        }
    }
    freed_.notify_all();
}

size_t AnswerBudget::Taken()
{
    std::lock_guard lock(mutex_);
    return taken_;
}

size_t AnswerBudget::TakenBy(const std::string& holder)
{
    std::lock_guard lock(mutex_);
    const auto it = holders_.find(holder);
    return it == holders_.end() ? 0 : it->second.held;
}

size_t AnswerBudget::Estimate(const std::string& method)
{
    std::lock_guard lock(mutex_);
    const auto it = estimates_.find(method);
    return it == estimates_.end() ? bytes_ : it->second;
}

void AnswerBudget::Answered(const std::string& method, size_t bytes)
{
    std::lock_guard lock(mutex_);
    const auto it = estimates_.find(method);
    const size_t before = it == estimates_.end() ? bytes_ : it->second;
    estimates_[method] = std::min(bytes_, std::max(bytes, before / 2));
}

int AnswerBudget::Waiting()
{
    std::lock_guard lock(mutex_);
    int waiting = 0;
    for (const auto& [name, holder] : holders_) {
        waiting += holder.waiting;
    }
    return waiting;
}
