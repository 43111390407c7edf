#include "server/ConnectionBudget.h"

#include <asio/ip/address.hpp>

#include <algorithm>
#include <tuple>

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

bool ConnectionBudget::Idle(const NetworkRecord& r)
{
    return r.pending == 0 && r.places == 0 && r.waits == 0 && r.delays == 0 && r.checks == 0;
}

void ConnectionBudget::DropIfIdle(const std::string& network)
{
    auto it = networks_.find(network);
    if (it != networks_.end() && Idle(it->second) && it->second.unlogged == 0 && it->second.heldWarnings == 0 &&
        std::chrono::steady_clock::now() - it->second.lastLog > kLogInterval &&
        std::chrono::steady_clock::now() - it->second.warningWindow > kWarningInterval) {
        networks_.erase(it);
    }
}

void ConnectionBudget::Forget(std::chrono::steady_clock::time_point now)
{
    std::erase_if(pairs_, [&](const auto& p) {
        return !p.second.checking && now >= p.second.notBefore && now - p.second.lastFailure > kForgetAfter;
    });
    std::erase_if(networks_, [&](const auto& n) {
        const NetworkRecord& r = n.second;
        return Idle(r) && now - r.lastLog > kForgetAfter && now - r.warningWindow > kForgetAfter;
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

bool ConnectionBudget::TakeTurn(const std::string& network, const std::string& name)
{
    std::lock_guard lock(mutex_);
    const auto now = std::chrono::steady_clock::now();
    const std::string key = network + '\n' + name;
    auto it = pairs_.find(key);
    if (it == pairs_.end()) {
        if (pairs_.size() >= kMaxAddresses) {
            Forget(now);
        }
        if (pairs_.size() >= kMaxAddresses) {
            return false;
        }
        it = pairs_.emplace(key, Record{}).first;
    }
    Record& r = it->second;
    if (r.checking || now < r.notBefore) {
        return false;
    }
    r.checking = true;
    return true;
}

void ConnectionBudget::EndTurn(const std::string& network, const std::string& name, bool failed)
{
    std::lock_guard lock(mutex_);
    auto it = pairs_.find(network + '\n' + name);
    if (it == pairs_.end()) {
        return;
    }
    Record& r = it->second;
    r.checking = false;
    if (failed) {
        r.notBefore = std::chrono::steady_clock::now() + kNameInterval;
    } else if (r.failures == 0) {
        pairs_.erase(it);
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

void ConnectionBudget::DropWait(std::map<std::uint64_t, WaitRecord>::iterator it)
{
    if (auto* r = NetworkOf(it->second.network, false)) {
        --(it->second.refusing ? r->delays : r->waits);
    }
    --(it->second.refusing ? delaying_ : trying_);
    waits_.erase(it);
}

bool ConnectionBudget::MakeRoom(const std::string& network, bool refusing)
{
    auto held = [refusing](const NetworkRecord& n) { return refusing ? n.delays : n.waits; };
    const NetworkRecord* r = NetworkOf(network, false);
    if (!r || held(*r) >= limits_.maxPendingPerNetwork) {
        return false;
    }
    if ((refusing ? delaying_ : trying_) < limits_.maxPending) {
        return true;
    }
    // The network holding the most gives up its oldest, when it holds more
    // than this one.
    const std::string* most = nullptr;
    int mostHeld = 0;
    for (const auto& [name, n] : networks_) {
        if (held(n) > mostHeld) {
            most = &name;
            mostHeld = held(n);
        }
    }
    if (!most || mostHeld <= held(*r)) {
        return false;
    }
    for (auto it = waits_.begin(); it != waits_.end(); ++it) {
        if (it->second.network == *most && it->second.refusing == refusing) {
            DropWait(it);
            return true;
        }
    }
    return false;
}

ConnectionBudget::Wait ConnectionBudget::BeginWait(const std::string& network)
{
    std::lock_guard lock(mutex_);
    Wait w;
    NetworkRecord* r = NetworkOf(network, true);
    if (!r || !MakeRoom(network, false)) {
        return w;
    }
    ++r->waits;
    ++trying_;
    w.taken = true;
    w.ticket = nextTicket_++;
    waits_.emplace(w.ticket, WaitRecord{network});
    return w;
}

bool ConnectionBudget::Refusing(std::uint64_t ticket)
{
    std::lock_guard lock(mutex_);
    auto it = waits_.find(ticket);
    if (it == waits_.end()) {
        return false;
    }
    if (it->second.refusing) {
        return true;
    }
    const std::string network = it->second.network;
    // Its place among the tries goes back first.
    DropWait(it);
    if (!MakeRoom(network, true)) {
        DropIfIdle(network);
        return false;
    }
    if (auto* r = NetworkOf(network, false)) {
        ++r->delays;
    }
    ++delaying_;
    WaitRecord refusal{network};
    refusal.refusing = true;
    waits_.emplace(ticket, std::move(refusal));
    return true;
}

bool ConnectionBudget::Waiting(std::uint64_t ticket)
{
    std::lock_guard lock(mutex_);
    return waits_.count(ticket) != 0;
}

void ConnectionBudget::EndWait(std::uint64_t ticket)
{
    std::lock_guard lock(mutex_);
    auto it = waits_.find(ticket);
    if (it == waits_.end()) {
        return;
    }
    const std::string network = it->second.network;
    DropWait(it);
    DropIfIdle(network);
}

bool ConnectionBudget::TakeCheck(std::uint64_t ticket)
{
    std::lock_guard lock(mutex_);
    auto mine = waits_.find(ticket);
    if (mine == waits_.end()) {
        return false;
    }
    if (!mine->second.asking) {
        mine->second.asking = true;
        mine->second.asked = nextAsk_++;
    }
    if (static_cast<int>(checks_.size()) >= kChecksAtOnce) {
        return false;
    }
    // The next check goes to the network running the fewest, then to the
    // one given a check longest ago, then to its try that asked first.
    std::uint64_t chosen = 0;
    std::tuple<int, std::uint64_t, std::uint64_t> best{};
    for (const auto& [t, w] : waits_) {
        if (!w.asking) {
            continue;
        }
        const NetworkRecord* n = NetworkOf(w.network, false);
        const std::tuple<int, std::uint64_t, std::uint64_t> key{n ? n->checks : 0, n ? n->lastCheck : 0, w.asked};
        if (chosen == 0 || key < best) {
            chosen = t;
            best = key;
        }
    }
    if (chosen != ticket) {
        return false;
    }
    mine->second.asking = false;
    checks_.emplace(ticket, mine->second.network);
    if (auto* r = NetworkOf(mine->second.network, false)) {
        ++r->checks;
        r->lastCheck = nextGrant_++;
    }
    return true;
}

void ConnectionBudget::EndCheck(std::uint64_t ticket)
{
    std::lock_guard lock(mutex_);
    auto it = checks_.find(ticket);
    if (it == checks_.end()) {
        return;
    }
    const std::string network = it->second;
    checks_.erase(it);
    if (auto* r = NetworkOf(network, false)) {
        --r->checks;
    }
    DropIfIdle(network);
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
