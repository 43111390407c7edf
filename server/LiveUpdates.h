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
        explicit Mailbox(std::function<void()> wake) : wake_(std::move(wake)) {}
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
        // Adds changes of key by who; false when the session reads another key.
        bool Add(const Key& key, const std::string& who, const Changes& changes, bool reread);
        void ReloadAll();

        std::mutex mutex_;
        std::function<void()> wake_;
        Key watched_;
        bool watching_ = false;
        bool pending_ = false;
        bool reload_ = false; // read everything again
        bool reread_ = false; // read the watched client again
        std::string who_;
        Changes changes_;
    };

    // A mailbox for a session; wake runs (on the publisher's thread) when
    // updates wait for it.
    std::shared_ptr<Mailbox> Join(std::function<void()> wake);
    // The session has ended: no wake-up runs for it any more.
    void Leave(const std::shared_ptr<Mailbox>& mailbox);
    // Changes of key stored by who, after their commit; from is the storing
    // session's own mailbox (it is not told), or null. reread: the changes
    // are not listed (every service of the client went): read it again.
    void Publish(const Mailbox* from, const Key& key, const std::string& who, const Changes& changes,
                 bool reread = false);
    // Every session reads again: changes may have been missed.
    void ReloadAll();

private:
    std::mutex mutex_;
    std::vector<std::shared_ptr<Mailbox>> mailboxes_;
};
