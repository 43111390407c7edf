#include "server/LiveUpdates.h"

#include "platform/core/Cp1252.h"

#include <algorithm>

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
    return true;
}

void LiveUpdates::Mailbox::ReloadAll()
{
    std::lock_guard lock(mutex_);
    reload_ = true;
    pending_ = true;
    changes_.clear();
}

std::vector<Protocol::Update> LiveUpdates::Mailbox::Take()
{
    std::lock_guard lock(mutex_);
    std::vector<Protocol::Update> updates;
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
    reload_ = false;
    reread_ = false;
    changes_.clear();
    return updates;
}

std::shared_ptr<LiveUpdates::Mailbox> LiveUpdates::Join(std::function<void()> wake)
{
    auto mailbox = std::make_shared<Mailbox>(std::move(wake));
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

void LiveUpdates::Publish(const Mailbox* from, const Key& key, const std::string& who, const Changes& changes,
                          bool reread)
{
    std::vector<std::shared_ptr<Mailbox>> told;
    {
        std::lock_guard lock(mutex_);
        for (const auto& mailbox : mailboxes_) {
            if (mailbox.get() != from && mailbox->Add(key, who, changes, reread)) {
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
        mailbox->ReloadAll();
        mailbox->Wake();
    }
}
