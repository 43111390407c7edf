#include "platform/data/ChangeLog.h"

#include <algorithm>

const ChangeLog::ModifiedRow* ChangeLog::Find(std::int64_t rowId) const
{
    for (const auto& entry : entries_) {
        if (entry.rowId == rowId) {
            return &entry;
        }
    }
    return nullptr;
}

ChangeLog::ModifiedRow* ChangeLog::FindMutable(std::int64_t rowId)
{
    return const_cast<ModifiedRow*>(Find(rowId));
}

void ChangeLog::RowInserted(std::int64_t rowId, std::vector<FieldValue> values)
{
    entries_.push_back(ModifiedRow{rowId, TUpdateStatus::usInserted, std::move(values), {}});
}

void ChangeLog::RowModified(std::int64_t rowId, std::vector<FieldValue> before, std::vector<FieldValue> after)
{
    ModifiedRow* entry = FindMutable(rowId);
    if (entry == nullptr) {
        if (before != after) {
            entries_.push_back(ModifiedRow{rowId, TUpdateStatus::usModified, std::move(after), std::move(before)});
        }
        return;
    }
    switch (entry->op) {
    case TUpdateStatus::usInserted: entry->current = std::move(after); break;
    case TUpdateStatus::usModified:
        entry->current = std::move(after);
        if (entry->current == entry->original) {
            std::erase_if(entries_, [rowId](const ModifiedRow& e) { return e.rowId == rowId; });
        }
        break;
    case TUpdateStatus::usDeleted:
    case TUpdateStatus::usUnmodified:
        // A deleted row is no longer in the data set and cannot be edited.
        break;
    }
}

void ChangeLog::RowDeleted(std::int64_t rowId, std::vector<FieldValue> values)
{
    ModifiedRow* entry = FindMutable(rowId);
    if (entry == nullptr) {
        entries_.push_back(ModifiedRow{rowId, TUpdateStatus::usDeleted, std::move(values), {}});
        return;
    }
    switch (entry->op) {
    case TUpdateStatus::usInserted:
        if (entry->inDoubt) {
            // The receiver may hold the row: its deletion must go.
            *entry = ModifiedRow{rowId, TUpdateStatus::usDeleted, std::move(values), {}};
            break;
        }
        // The receiver never saw the row: nothing to send for it.
        std::erase_if(entries_, [rowId](const ModifiedRow& e) { return e.rowId == rowId; });
        break;
    case TUpdateStatus::usModified:
        entry->op = TUpdateStatus::usDeleted;
        entry->current = std::move(entry->original);
        entry->original.clear();
        break;
    case TUpdateStatus::usDeleted:
    case TUpdateStatus::usUnmodified: break;
    }
}

void ChangeLog::MarkInDoubt()
{
    for (auto& entry : entries_) {
        entry.inDoubt = true;
    }
}

void ChangeLog::ClearInDoubt()
{
    for (auto& entry : entries_) {
        entry.inDoubt = false;
    }
}

int ChangeLog::InDoubtCount() const
{
    return static_cast<int>(
        std::count_if(entries_.begin(), entries_.end(), [](const ModifiedRow& e) { return e.inDoubt; }));
}

void ChangeLog::DropColumn(int index)
{
    auto drop = [index](std::vector<FieldValue>& values) {
        if (index >= 0 && index < static_cast<int>(values.size())) {
            values.erase(values.begin() + index);
        }
    };
    for (auto& entry : entries_) {
        drop(entry.current);
        drop(entry.original);
    }
}

DataPacket ChangeLog::Delta(std::vector<PacketField> fields) const
{
    DataPacket packet;
    packet.fields = std::move(fields);
    packet.rows.reserve(entries_.size());
    for (const auto& entry : entries_) {
        packet.rows.push_back(PacketRow{entry.op, entry.current, entry.original});
    }
    return packet;
}
