#include "server/ConnectionBudget.h"

#include <asio/ip/address.hpp>

#include <algorithm>

ConnectionBudget::ConnectionBudget(Limits limits) : limits_(limits) {}

std::string ConnectionBudget::Network(const std::string& address)
{
    asio::error_code ec;
    auto ip = asio::ip::make_address(address, ec);
    if (ec) {
        return address;
    }
    if (ip.is_v6() && ip.to_v6().is_v4_mapped()) {
        ip = asio::ip::make_address_v4(asio::ip::v4_mapped, ip.to_v6());
    }
    if (ip.is_v4()) {
        auto bytes = ip.to_v4().to_bytes();
        bytes[3] = 0;
        return asio::ip::address_v4(bytes).to_string() + "/24";
    }
    auto bytes = ip.to_v6().to_bytes();
    std::fill(bytes.begin() + 8, bytes.end(), 0);
    return asio::ip::address_v6(bytes).to_string() + "/64";
}

ConnectionBudget::NetworkRecord* ConnectionBudget::NetworkOf(const std::string& network, bool make)
{
    auto it = networks_.find(network);
    if (it != networks_.end()) {
        return &it->second;
    }
    if (!make) {
        return nullptr;
    }
    if (networks_.size() >= kMaxAddresses) {
        Forget(std::chrono::steady_clock::now());
        if (networks_.size() >= kMaxAddresses) {
            return nullptr;
        }
    }
    return &networks_[network];
}

void ConnectionBudget::DropIfIdle(const std::string& network)
{
    auto it = networks_.find(network);
    if (it != networks_.end() && it->second.pending == 0 && it->second.places == 0 && it->second.unlogged == 0 &&
        it->second.heldWarnings == 0 && std::chrono::steady_clock::now() - it->second.lastLog > kLogInterval &&
        std::chrono::steady_clock::now() - it->second.warningWindow > kWarningInterval) {
        networks_.erase(it);
    }
}

void ConnectionBudget::Forget(std::chrono::steady_clock::time_point now)
{
    std::erase_if(pairs_, [&](const auto& p) { return now - p.second.lastFailure > kForgetAfter; });
    std::erase_if(names_,
                  [&](const auto& n) { return !n.second.checking && now - n.second.lastFailure > kForgetAfter; });
    std::erase_if(networks_, [&](const auto& n) {
        const NetworkRecord& r = n.second;
        return r.pending == 0 && r.places == 0 && now - r.lastLog > kForgetAfter &&
               now - r.warningWindow > kForgetAfter;
    });
}

ConnectionBudget::Handshake ConnectionBudget::BeginHandshake(const std::string& network)
{
    std::lock_guard lock(mutex_);
    Handshake h;
    NetworkRecord* r = NetworkOf(network, true);
    // Every network with a handshake pending has a record, and there are at
    // most maxPending of those; a record refused here is a full table of
    // networks that failed recently, which gets no place.
    if (!r || r->pending >= limits_.maxPendingPerNetwork) {
        return h;
    }
    if (static_cast<int>(pending_.size()) >= limits_.maxPending) {
        auto oldest = pending_.begin();
        if (auto* o = NetworkOf(oldest->second, false)) {
            --o->pending;
        }
        h.evicted = oldest->first;
        pending_.erase(oldest);
    }
    ++r->pending;
    h.taken = true;
    h.ticket = nextTicket_++;
    pending_.emplace(h.ticket, network);
    return h;
}

void ConnectionBudget::EndHandshake(std::uint64_t ticket)
{
    std::lock_guard lock(mutex_);
    auto it = pending_.find(ticket);
    if (it == pending_.end()) {
        return;
    }
    const std::string network = it->second;
    pending_.erase(it);
    if (auto* r = NetworkOf(network, false)) {
        --r->pending;
    }
    DropIfIdle(network);
}

ConnectionBudget::TPlace ConnectionBudget::TakePlace(const std::string& operatorName, const std::string& network)
{
    std::lock_guard lock(mutex_);
    if (places_ >= limits_.maxConnections) {
        return TPlace::Full;
    }
    if (!operatorName.empty()) {
        auto it = operators_.find(operatorName);
        if (it != operators_.end() && it->second >= limits_.maxPerOperator) {
            return TPlace::OperatorFull;
        }
    }
    NetworkRecord* r = NetworkOf(network, true);
    if (!r || r->places >= limits_.maxPerNetwork) {
        return TPlace::NetworkFull;
    }
    ++r->places;
    if (!operatorName.empty()) {
        ++operators_[operatorName];
    }
    ++places_;
    return TPlace::Taken;
}

void ConnectionBudget::ReleasePlace(const std::string& operatorName, const std::string& network)
{
    std::lock_guard lock(mutex_);
    --places_;
    if (!operatorName.empty()) {
        auto it = operators_.find(operatorName);
        if (it != operators_.end() && --it->second == 0) {
            operators_.erase(it);
        }
    }
    if (auto* r = NetworkOf(network, false)) {
        --r->places;
    }
    DropIfIdle(network);
}

int ConnectionBudget::Places()
{
    std::lock_guard lock(mutex_);
    return places_;
}

bool ConnectionBudget::TakeTurn(const std::string& name)
{
    std::lock_guard lock(mutex_);
    const auto now = std::chrono::steady_clock::now();
    auto it = names_.find(name);
    if (it == names_.end()) {
        if (names_.size() >= kMaxAddresses) {
            Forget(now);
        }
        if (names_.size() >= kMaxAddresses) {
            return false;
        }
        it = names_.emplace(name, NameRecord{}).first;
    }
    NameRecord& r = it->second;
    if (r.checking || (r.failed && now - r.lastFailure < kNameInterval)) {
        return false;
    }
    r.checking = true;
    return true;
}

void ConnectionBudget::EndTurn(const std::string& name, bool failed)
{
    std::lock_guard lock(mutex_);
    auto it = names_.find(name);
    if (it == names_.end()) {
        return;
    }
    NameRecord& r = it->second;
    r.checking = false;
    const auto now = std::chrono::steady_clock::now();
    if (failed) {
        r.failed = true;
        r.lastFailure = now;
    } else if (!r.failed || now - r.lastFailure > kForgetAfter) {
        names_.erase(it);
    }
}

ConnectionBudget::Failure ConnectionBudget::Failed(const std::string& network, const std::string& name)
{
    std::lock_guard lock(mutex_);
    const auto now = std::chrono::steady_clock::now();
    Failure f;
    const std::string key = network + '\n' + name;
    auto pair = pairs_.find(key);
    if (pair == pairs_.end()) {
        if (pairs_.size() >= kMaxAddresses) {
            Forget(now);
        }
        if (pairs_.size() < kMaxAddresses) {
            pair = pairs_.emplace(key, Record{}).first;
        }
    }
    NetworkRecord* r = NetworkOf(network, true);
    if (pair == pairs_.end() || !r) {
        f.delay = kLongestDelay;
        f.log = overflowLog_.Allow(f.suppressed);
        return f;
    }
    Record& p = pair->second;
    if (now - p.lastFailure > kForgetAfter) {
        p.failures = 0;
    }
    p.lastFailure = now;
    f.delay = std::min(kLongestDelay, kFirstDelay * (1 << std::min(p.failures, 6)));
    ++p.failures;
    if (!r->logged || now - r->lastLog >= kLogInterval) {
        f.log = true;
        f.suppressed = r->unlogged;
        r->unlogged = 0;
        r->lastLog = now;
        r->logged = true;
    } else {
        ++r->unlogged;
    }
    return f;
}

void ConnectionBudget::Succeeded(const std::string& network, const std::string& name)
{
    std::lock_guard lock(mutex_);
    pairs_.erase(network + '\n' + name);
    // The network's next failure is logged at once, as after a quiet spell.
    if (auto* r = NetworkOf(network, false)) {
        r->logged = false;
    }
}

bool ConnectionBudget::BeginDelay()
{
    std::lock_guard lock(mutex_);
    if (delayed_ >= limits_.maxPending) {
        return false;
    }
    ++delayed_;
    return true;
}

void ConnectionBudget::EndDelay()
{
    std::lock_guard lock(mutex_);
    --delayed_;
}

bool ConnectionBudget::AllowWarning(const std::string& network, long& suppressed)
{
    std::lock_guard lock(mutex_);
    const auto now = std::chrono::steady_clock::now();
    NetworkRecord* r = NetworkOf(network, true);
    if (!r) {
        return overflowLog_.Allow(suppressed);
    }
    if (now - r->warningWindow >= kWarningInterval) {
        r->warningWindow = now;
        r->warnings = 0;
    }
    if (r->warnings >= kWarningBurst) {
        ++r->heldWarnings;
        return false;
    }
    ++r->warnings;
    suppressed = r->heldWarnings;
    r->heldWarnings = 0;
    return true;
}
