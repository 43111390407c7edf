#include "server/GroupCommit.h"

#include "server/ServerMetrics.h"

#include <algorithm>

void GroupCommit::Apply(Database& own, const Work& work)
{
    // The session's own transaction has read nothing: ending it leaves the
    // connection free to lead a batch and holds no lock while waiting.
    own.Commit();
    const size_t limit = std::min(concurrentBatches_, own.WritersAtOnce());
    // A session's thread sleeps on the same condition each time.
    thread_local const auto wake = std::make_shared<std::condition_variable>();
    Item item{&work, nullptr, wake};
    std::unique_lock lock(mutex_);
    queue_.push_back(&item);
    while (!item.done) {
        // Beside a running batch, another starts only once enough changes
        // wait to be worth a commit of their own; the change that makes
        // them enough leads it, and until then they join the batch that
        // starts when a running one ends.
        const bool crowded = leaders_ >= limit || (leaders_ > 0 && queue_.size() < minBeside_);
        if (item.taken || crowded) {
            item.wake->wait(lock);
            continue;
        }
        const size_t size = std::min(queue_.size(), maxBatch_);
        std::vector<Item*> batch(queue_.begin(), queue_.begin() + static_cast<long>(size));
        // Made before the batch is taken: once it is, nothing may fail
        // before its sessions are woken.
        std::vector<std::shared_ptr<std::condition_variable>> wake;
        wake.reserve(batch.size() + 1);
        ++leaders_;
        // Fewer batches than slots run, so one is free.
        const auto slot = static_cast<size_t>(std::find(busy_.begin(), busy_.end(), false) - busy_.begin());
        busy_[slot] = true;
        queue_.erase(queue_.begin(), queue_.begin() + static_cast<long>(size));
        for (Item* taken : batch) {
            taken->taken = true;
        }
        lock.unlock();
        RunBatch(BatchConnection(slot, own), batch);
        lock.lock();
        busy_[slot] = false;
        for (Item* done : batch) {
            done->done = true;
            if (done != &item) {
                wake.push_back(done->wake);
            }
        }
        figures_.batches++;
        figures_.changes += batch.size();
        figures_.largest = std::max(figures_.largest, batch.size());
        ServerMetrics::Instance().Batch(batch.size());
        --leaders_;
        // The place this batch held goes to the oldest change still queued.
        if (!queue_.empty()) {
            wake.push_back(queue_.front()->wake);
        }
        // Woken after the lock is let go, a session does not wake only to
        // wait for it.
        lock.unlock();
        for (const auto& cv : wake) {
            cv->notify_one();
        }
        lock.lock();
    }
    lock.unlock();
    if (item.error) {
        std::rethrow_exception(item.error);
    }
}

Database& GroupCommit::BatchConnection(size_t slot, Database& own)
{
    // A batch on a connection of its own finds its backend warm: on the
    // leader's, it would wake whichever session's backend had slept
    // longest. When no connection can be opened (the database is away), the
    // leader's own serves, and its batch fails or succeeds as it would.
    std::unique_ptr<Database>& kept = connections_[slot];
    if (!kept) {
        try {
            kept = own.OpenAnother();
        } catch (const std::exception&) {
            return own;
        }
    }
    return kept ? *kept : own;
}

GroupCommit::Figures GroupCommit::Counts()
{
    std::lock_guard lock(mutex_);
    Figures f = figures_;
    f.queued = queue_.size();
    return f;
}

void GroupCommit::RunBatch(Database& db, const std::vector<Item*>& batch)
{
    if (RunAhead(db, batch)) {
        return;
    }
    {
        std::lock_guard lock(mutex_);
        figures_.redone++;
    }
    RunGuarded(db, batch);
}

bool GroupCommit::RunAhead(Database& db, const std::vector<Item*>& batch)
{
    try {
        db.Begin(true);
        for (Item* item : batch) {
            (*item->work)(db, false);
        }
        db.Commit();
        return true;
    } catch (...) {
        // Which change failed is not known here (a statement sent ahead fails
        // at the commit): the batch runs again, each change guarded.
        db.Rollback();
        return false;
    }
}

void GroupCommit::RunGuarded(Database& db, const std::vector<Item*>& batch)
{
    static const std::string savepoint = "SAVEPOINT batch_change";
    static const std::string release = "RELEASE SAVEPOINT batch_change";
    static const std::string undo = "ROLLBACK TO SAVEPOINT batch_change";
    try {
        db.Begin(true);
        for (Item* item : batch) {
            db.ExecuteLater(savepoint, {});
            try {
                (*item->work)(db, true);
                // Sends what the change held back: its failure surfaces here,
                // still its own.
                db.Execute(release, {});
            } catch (...) {
                item->error = std::current_exception();
                db.Execute(undo, {});
                db.Execute(release, {});
            }
        }
        db.Commit();
    } catch (...) {
        // The batch itself failed (its connection, its commit): no change of
        // it is known to be stored, and each one that had not failed on its
        // own fails with the batch.
        db.Rollback();
        const auto error = std::current_exception();
        for (Item* item : batch) {
            if (!item->error) {
                item->error = error;
            }
        }
    }
}
