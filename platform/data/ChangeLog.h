#pragma once
// The pending changes of a client data set: one entry per changed row, keyed
// by the row's id, each holding the operation, the row's current values and
// its values as last loaded or merged.
//
// Entries are kept in the order in which their rows were first changed, so a
// receiver that applies them in order sees a deletion of a row before the
// insertion of another row that takes the same key.
//
// How changes combine before a merge:
// - insert, then any edits: still one insert, with the latest values;
// - insert, then delete: the entry goes away (nothing to send), unless the
//   insert is in doubt: then the deletion is logged, since the receiver may
//   hold the row;
// - edit: one update holding the original and the current values; an edit
//   that brings the row back to its original values removes the entry, and
//   an edit that changes nothing adds none;
// - edit, then delete: a deletion of the row as it was originally, since
//   that is the row the receiver knows.
//
// Failure behaviour: the log is never merged or cleared behind the caller's
// back. Only Clear (the data set's MergeChangeLog, CancelUpdates, a reload or
// Close) empties it; a send that fails leaves it as it was, so the next send
// carries the old entries again together with the new ones.
#include "platform/core/DataPacket.h"

#include <cstdint>
#include <vector>

class ChangeLog {
public:
    struct ModifiedRow {
        std::int64_t rowId = 0;
        TUpdateStatus op = TUpdateStatus::usUnmodified;
        // Inserted and modified rows: the values now; deleted rows: the values
        // as last loaded or merged.
        std::vector<FieldValue> current;
        // Modified rows only: the values as last loaded or merged.
        std::vector<FieldValue> original;
        // The entry went out in a send whose answer was lost: the receiver
        // may or may not have applied it.
        bool inDoubt = false;

        bool operator==(const ModifiedRow&) const = default;
    };

    void RowInserted(std::int64_t rowId, std::vector<FieldValue> values);
    void RowModified(std::int64_t rowId, std::vector<FieldValue> before, std::vector<FieldValue> after);
    void RowDeleted(std::int64_t rowId, std::vector<FieldValue> values);

    bool Has(std::int64_t rowId) const { return Find(rowId) != nullptr; }
    const ModifiedRow* Find(std::int64_t rowId) const;
    int Count() const { return static_cast<int>(entries_.size()); }
    bool Empty() const { return entries_.empty(); }
    const std::vector<ModifiedRow>& Entries() const { return entries_; }
    void Clear() { entries_.clear(); }
    // Forgets the entry at index (0-based, in order), leaving the others.
    void Remove(int index) { entries_.erase(entries_.begin() + index); }
    // Every entry as it stands may have been applied by the receiver: the
    // send that carried them lost its answer.
    void MarkInDoubt();
    int InDoubtCount() const;
    // The receiver's state was read back: no entry is in doubt any more.
    void ClearInDoubt();
    // Drops column index from every entry (a field left the data set).
    void DropColumn(int index);

    // The change packet: every entry, in order, over the given fields.
    DataPacket Delta(std::vector<PacketField> fields) const;

private:
    ModifiedRow* FindMutable(std::int64_t rowId);

    std::vector<ModifiedRow> entries_;
};
