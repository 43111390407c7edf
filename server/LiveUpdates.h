#pragma once
// Tells each session that asked for them (Protocol::kLiveUpdates) what other
// sessions of this server stored of the branch and client it read last, once
// their commit is done. A session's updates wait in its mailbox, coalesced
// per service, until the session's thread sends them between answers; a
// mailbox holds at most Protocol::kMaxUpdateChanges changes, beyond which the
// session is told to read everything again, so a session that does not read
// its updates costs the server no more memory.
//
// Keys are the branch and client codes in the database's form (UTF-8).
//
// Thread safety: every operation may be called from any session's thread.
#include "platform/net/Protocol.h"

#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

class LiveUpdates {
public:
    using Key = std::pair<std::string, std::string>;
    using Changes = std::vector<std::pair<TUpdateStatus, std::string>>;

    class Mailbox {
    public:
        Mailbox(std::function<void()> wake, std::string origin) : wake_(std::move(wake)), origin_(std::move(origin)) {}
        // Runs the wake-up, unless the session has left.
        void Wake();
        // The branch and client the session reads now.
        void Watch(Key key);
        bool HasPending();
        // The update waiting, if any, taken (with the branch and client in the
        // client's Windows-1252).
        std::vector<Protocol::Update> Take();

    private:
        friend class LiveUpdates;
        // Adds changes of key by who; true when the session reads that key
        // and must be woken for it (it was not already).
        bool Add(const Key& key, const std::string& who, const Changes& changes, bool reread);
        // The same for "read everything again".
        bool ReloadAll();

        std::mutex mutex_;
        std::function<void()> wake_;
        const std::string origin_;
        Key watched_;
        bool watching_ = false;
        bool pending_ = false;
        bool reload_ = false; // read everything again
        bool reread_ = false; // read the watched client again
        bool woken_ = false;  // woken since the last Take
        std::string who_;
        Changes changes_;
    };

    LiveUpdates();
    // This server among the others on the same database.
    const std::string& ServerId() const { return serverId_; }
    // A mailbox for the session origin (Caller::origin); wake runs (on the
    // publisher's thread) when updates wait for it.
    std::shared_ptr<Mailbox> Join(std::function<void()> wake, std::string origin);
    // The session has ended: no wake-up runs for it any more.
    void Leave(const std::shared_ptr<Mailbox>& mailbox);
    // Changes of key stored by who, after their commit; origin is the storing
    // session's (it is not told). reread: the changes are not listed (every
    // service of the client went): read it again.
    void Publish(const std::string& origin, const Key& key, const std::string& who, const Changes& changes,
                 bool reread = false);
    // The same as one text, for a database that carries it to every server
    // (Database::Announce), and back; Receive ignores a text it cannot read.
    static std::string Announcement(const std::string& origin, const Key& key, const std::string& who,
                                    const Changes& changes, bool reread);
    void Receive(const std::string& announcement);
    static constexpr size_t kMaxAnnouncement = 7900;
    // Every session reads again: changes may have been missed.
    void ReloadAll();

private:
    const std::string serverId_;
    std::mutex mutex_;
    std::vector<std::shared_ptr<Mailbox>> mailboxes_;
};
