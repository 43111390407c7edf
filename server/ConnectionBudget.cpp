#include "server/ConnectionBudget.h"

#include <algorithm>

ConnectionBudget::ConnectionBudget(int maxConnections, int maxPending, int maxPerAddress)
    : maxConnections_(maxConnections), maxPending_(maxPending), maxPerAddress_(maxPerAddress)
{}

void ConnectionBudget::Forget(std::chrono::steady_clock::time_point now)
{
    for (auto it = addresses_.begin(); it != addresses_.end();) {
        if (it->second.pending == 0 && now - it->second.lastFailure > kForgetAfter) {
            it = addresses_.erase(it);
        } else {
            ++it;
        }
    }
}

bool ConnectionBudget::BeginHandshake(const std::string& address)
{
    std::lock_guard lock(mutex_);
    if (pending_ >= maxPending_) {
        return false;
    }
    auto it = addresses_.find(address);
    if (it == addresses_.end()) {
        // Every pending handshake has a record, and there are at most
        // maxPending_ of them, so this cannot grow without bound.
        it = addresses_.emplace(address, Record{}).first;
    }
    if (it->second.pending >= maxPerAddress_) {
        return false;
    }
    ++it->second.pending;
    ++pending_;
    return true;
}

void ConnectionBudget::EndHandshake(const std::string& address)
{
    std::lock_guard lock(mutex_);
    --pending_;
    auto it = addresses_.find(address);
    if (it != addresses_.end()) {
        --it->second.pending;
        if (it->second.pending == 0 && it->second.failures == 0) {
            addresses_.erase(it);
        }
    }
}

bool ConnectionBudget::TakePlace()
{
    std::lock_guard lock(mutex_);
    if (places_ >= maxConnections_) {
        return false;
    }
    ++places_;
    return true;
}

void ConnectionBudget::ReleasePlace()
{
    std::lock_guard lock(mutex_);
    --places_;
}

int ConnectionBudget::Places()
{
    std::lock_guard lock(mutex_);
    return places_;
}

ConnectionBudget::Failure ConnectionBudget::Failed(const std::string& address)
{
    std::lock_guard lock(mutex_);
    auto now = std::chrono::steady_clock::now();
    Failure f;
    auto it = addresses_.find(address);
    if (it == addresses_.end()) {
        if (addresses_.size() >= kMaxAddresses) {
            Forget(now);
        }
        if (addresses_.size() >= kMaxAddresses) {
            f.delay = kLongestDelay;
            f.log = overflowLog_.Allow(f.suppressed);
            return f;
        }
        it = addresses_.emplace(address, Record{}).first;
    }
    Record& r = it->second;
    if (now - r.lastFailure > kForgetAfter) {
        r.failures = 0;
    }
    r.lastFailure = now;
    f.delay = kFirstDelay * (1 << std::min(r.failures, 6));
    if (f.delay > kLongestDelay) {
        f.delay = kLongestDelay;
    }
    ++r.failures;
    if (!r.logged || now - r.lastLog >= kLogInterval) {
        f.log = true;
        f.suppressed = r.unlogged;
        r.unlogged = 0;
        r.lastLog = now;
        r.logged = true;
    } else {
        ++r.unlogged;
    }
    return f;
}

void ConnectionBudget::Succeeded(const std::string& address)
{
    std::lock_guard lock(mutex_);
    auto it = addresses_.find(address);
    if (it != addresses_.end()) {
        it->second.failures = 0;
        if (it->second.pending == 0) {
            addresses_.erase(it);
        }
    }
}
