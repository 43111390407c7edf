#include "server/LiveUpdates.h"

#include "platform/core/Cp1252.h"
#include "platform/core/Exception.h"

#include <algorithm>
#include <cstdio>
#include <random>
#include <utility>

void LiveUpdates::Mailbox::Watch(Key key)
{
    std::lock_guard lock(mutex_);
    if (watching_ && watched_ == key) {
        return;
    }
    // What waited was about another client: the session has just read the
    // new one whole.
    watched_ = std::move(key);
    watching_ = true;
    pending_ = reload_;
    woken_ = pending_;
    reread_ = false;
    changes_.clear();
}

void LiveUpdates::Mailbox::Wake()
{
    std::lock_guard lock(mutex_);
    if (wake_) {
        wake_();
    }
}

bool LiveUpdates::Mailbox::HasPending()
{
    std::lock_guard lock(mutex_);
    return pending_;
}

bool LiveUpdates::Mailbox::Add(const Key& key, const std::string& who, const Changes& changes, bool reread)
{
    std::lock_guard lock(mutex_);
    if (!watching_ || watched_ != key) {
        return false;
    }
    who_ = who;
    reread_ = reread_ || reread;
    for (const auto& change : changes) {
        // The last change of a service is what the database holds.
        auto same = std::find_if(changes_.begin(), changes_.end(),
                                 [&change](const auto& c) { return c.second == change.second; });
        if (same != changes_.end()) {
            same->first = change.first;
        } else {
            changes_.push_back(change);
        }
    }
    if (changes_.size() > Protocol::kMaxUpdateChanges) {
        changes_.clear();
        reread_ = true;
    }
    pending_ = true;
    return !std::exchange(woken_, true);
}

bool LiveUpdates::Mailbox::ReloadAll()
{
    std::lock_guard lock(mutex_);
    reload_ = true;
    pending_ = true;
    changes_.clear();
    return !std::exchange(woken_, true);
}

std::vector<Protocol::Update> LiveUpdates::Mailbox::Take()
{
    std::lock_guard lock(mutex_);
    std::vector<Protocol::Update> updates;
    // Whatever comes after this is news again.
    woken_ = false;
    if (!pending_) {
        return updates;
    }
    Protocol::Update update;
    if (!reload_) {
        update.branch = Cp1252::FromUtf8(watched_.first);
        update.client = Cp1252::FromUtf8(watched_.second);
        update.who = who_;
        if (!reread_) {
            update.changes = std::move(changes_);
        }
    }
    updates.push_back(std::move(update));
    pending_ = false;
    woken_ = false;
    reload_ = false;
    reread_ = false;
    changes_.clear();
    return updates;
}

namespace {
std::string NewServerId()
{
    std::random_device random;
    char id[20];
    std::snprintf(id, sizeof id, "%08x%08x", random(), random());
    return id;
}
// Texts of an announcement are apart by tabs, which no key may hold; an
// author's is made to hold none.
std::string NoTabs(std::string text)
{
    std::replace(text.begin(), text.end(), '\t', ' ');
    return text;
}
} // namespace

LiveUpdates::LiveUpdates() : serverId_(NewServerId()) {}

std::shared_ptr<LiveUpdates::Mailbox> LiveUpdates::Join(std::function<void()> wake, std::string origin)
{
    auto mailbox = std::make_shared<Mailbox>(std::move(wake), std::move(origin));
    std::lock_guard lock(mutex_);
    mailboxes_.push_back(mailbox);
    return mailbox;
}

void LiveUpdates::Leave(const std::shared_ptr<Mailbox>& mailbox)
{
    {
        std::lock_guard lock(mutex_);
        std::erase(mailboxes_, mailbox);
    }
    std::lock_guard lock(mailbox->mutex_);
    mailbox->wake_ = nullptr;
}

void LiveUpdates::Publish(const std::string& origin, const Key& key, const std::string& who, const Changes& changes,
                          bool reread)
{
    std::vector<std::shared_ptr<Mailbox>> told;
    {
        std::lock_guard lock(mutex_);
        for (const auto& mailbox : mailboxes_) {
            if (mailbox->origin_ != origin && mailbox->Add(key, who, changes, reread)) {
                told.push_back(mailbox);
            }
        }
    }
    for (const auto& mailbox : told) {
        mailbox->Wake();
    }
}

void LiveUpdates::ReloadAll()
{
    std::vector<std::shared_ptr<Mailbox>> all;
    {
        std::lock_guard lock(mutex_);
        all = mailboxes_;
    }
    for (const auto& mailbox : all) {
        if (mailbox->ReloadAll()) {
            mailbox->Wake();
        }
    }
}

std::string LiveUpdates::Announcement(const std::string& origin, const Key& key, const std::string& who,
                                      const Changes& changes, bool reread)
{
    // origin, branch, client, who, then "2:service" or "3:service" for each
    // change, or "*" for "read it again".
    std::string text = origin + "\t" + key.first + "\t" + key.second + "\t" + NoTabs(Cp1252::ToUtf8Lossy(who));
    if (reread) {
        return text + "\t*";
    }
    const std::string head = text;
    for (const auto& [status, service] : changes) {
        text += "\t" + std::to_string(static_cast<int>(status)) + ":" + Cp1252::ToUtf8Lossy(service);
    }
    // PostgreSQL carries at most 8000 bytes: a longer list is said as "read
    // it again".
    return text.size() <= kMaxAnnouncement ? text : head + "\t*";
}

void LiveUpdates::Receive(const std::string& announcement)
{
    std::vector<std::string> parts;
    size_t start = 0;
    for (;;) {
        const size_t tab = announcement.find('\t', start);
        parts.push_back(announcement.substr(start, tab == std::string::npos ? std::string::npos : tab - start));
        if (tab == std::string::npos) {
            break;
        }
        start = tab + 1;
    }
    if (parts.size() < 4) {
        return;
    }
    Changes changes;
    bool reread = false;
    for (size_t i = 4; i < parts.size(); ++i) {
        if (parts[i] == "*") {
            reread = true;
        } else if (parts[i].size() > 2 && (parts[i][0] == '2' || parts[i][0] == '3') && parts[i][1] == ':') {
            try {
                changes.emplace_back(static_cast<TUpdateStatus>(parts[i][0] - '0'),
                                     Cp1252::FromUtf8(parts[i].substr(2)));
            } catch (const EConvertError&) {
                reread = true;
            }
        }
    }
    std::string who = "?";
    try {
        who = Cp1252::FromUtf8(parts[3]);
    } catch (const EConvertError&) {
        // Said as "?".
    }
    Publish(parts[0], Key{parts[1], parts[2]}, who, changes, reread);
}
