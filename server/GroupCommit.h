#pragma once
// Joins the changes that sessions hand in at about the same time into one
// transaction with one durable commit: on a disk whose sync is the cost of a
// change, many operators' changes then share one sync.
//
// A session that hands in a change while no batch runs (or while fewer than
// the limit run and enough changes are queued) leads: it takes every change
// queued so far (its own among them), runs them in one transaction, commits,
// and wakes the sessions whose changes the commit held.
// Changes handed in meanwhile queue for the next batch, which one of their
// sessions leads. A change handed in while no batch runs goes at once:
// nothing waits for company when nothing else is being written.
//
// SQLite takes one writer at a time, so one batch runs at a time and every
// change that arrives during it joins the next. PostgreSQL writes from many
// connections at once and already flushes its log once for the commits that
// meet there, but every transaction and every round trip costs its backend
// and the server's threads their share of the same cores: two batches at
// once keep the database busy while the next batch gathers (16 operators on
// two cores: more changes a second than with one, four or eight batches at
// once). A batch costs nearly as much for one change as for six (its round
// trip, its commit, the log's flush, the wake-ups), so a second batch starts
// only once six changes wait for it; fewer wait for the running batch to
// end (16 operators: about 6 changes a batch instead of 4.8, and about 10 %
// more changes a second). On PostgreSQL each batch runs on one of the
// group's own connections, one for each batch that may run at once: their
// backends stay warm, where the leader's own connection would wake a backend
// that had slept since that session last led (5 % more changes a second).
// A batch runs first with every change's statements sent ahead and one
// commit. When anything of it fails, all of it is undone and it runs again
// change by change, each behind a savepoint: a change that fails then fails
// alone, with its own error, and the others are committed. The changes must
// therefore be safe to run twice (an insert of a row that exists or a
// deletion of one that does not changes nothing), as a commit whose answer was
// lost may have stored the first run.
//
// Failure behaviour: Apply throws what the change threw, or the failure of the
// batch's commit (nothing of the batch is then known to be stored); it
// returns only once the commit that holds the change succeeded.
#include "server/Database.h"

#include <algorithm>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

class GroupCommit {
public:
    // A change's statements, run on the batch's connection in its open
    // transaction. guarded says that the change runs behind a savepoint of
    // its own after the batch failed: it should find and name its own fault
    // rather than send its statements ahead.
    using Work = std::function<void(Database& db, bool guarded)>;

    // At most concurrentBatches batches run at once (one on SQLite), and a
    // batch starts beside a running one only once minBeside changes are
    // queued.
    explicit GroupCommit(size_t maxBatch = 64, size_t concurrentBatches = 2, size_t minBeside = 6)
        : maxBatch_(maxBatch),
          concurrentBatches_(std::max<size_t>(concurrentBatches, 1)),
          minBeside_(minBeside),
          connections_(concurrentBatches_),
          busy_(concurrentBatches_, false)
    {}

    // Runs work in a batch and returns once the batch's commit is durable.
    // own is the calling session's connection: its open transaction, which
    // must hold nothing yet, is ended first. A batch runs on a connection of
    // the group's own where the database offers one (Database::OpenAnother),
    // opened on first use and kept, one for each batch that may run at once;
    // otherwise, or while it cannot be opened, on its leader's own.
    void Apply(Database& own, const Work& work);

    // Figures for the log and the tests: batches committed or failed, the
    // changes they held, and the changes queued now.
    struct Figures {
        size_t batches = 0;
        size_t changes = 0;
        size_t largest = 0;
        size_t redone = 0; // batches run again change by change
        size_t queued = 0;
    };
    Figures Counts();

private:
    struct Item {
        const Work* work;
        std::exception_ptr error;
        // Each waiting session sleeps on its own: a commit wakes only the
        // sessions it answered and the one that leads the next batch. The
        // waking is done outside the lock, so the one who wakes holds its
        // own reference (the item itself goes with its session).
        std::shared_ptr<std::condition_variable> wake;
        bool taken = false;
        bool done = false;
    };

    // The connection of slot (see connections_), or own.
    Database& BatchConnection(size_t slot, Database& own);
    void RunBatch(Database& db, const std::vector<Item*>& batch);
    // False when anything failed (everything undone).
    static bool RunAhead(Database& db, const std::vector<Item*>& batch);
    static void RunGuarded(Database& db, const std::vector<Item*>& batch);

    const size_t maxBatch_;
    const size_t concurrentBatches_;
    const size_t minBeside_;
    // The group's connections and which are in use, one slot per batch that
    // may run at once. A leader takes a free slot under the lock and then
    // has it to itself, opening its connection if need be.
    std::vector<std::unique_ptr<Database>> connections_;
    std::vector<bool> busy_;
    std::mutex mutex_;
    std::deque<Item*> queue_;
    size_t leaders_ = 0;
    Figures figures_;
};
