#pragma once
// A data set that holds in memory whatever data packet it was last given, and
// logs every posted insert, edit and deletion until the log is merged or
// cancelled. It fetches nothing by itself: data comes in whole through
// SetData and changes go out only when the caller sends GetDelta.
//
// Failure behaviour:
// - SetData checks the whole packet before it touches anything: a packet
//   that lacks a field of the data set, carries one of another type or wider
//   than the field, holds a value longer than its field, has rows of the
//   wrong width or change entries instead of plain rows is refused with
//   EDatabaseError, and the data set keeps its rows, position, state and log.
// - The log is never merged implicitly. A caller that sends GetDelta merges
//   only after the send returned; if the send fails the log stays as it was
//   and the next GetDelta carries the old entries with the new ones.
// - A reload (SetData), Close and CancelUpdates drop the log.
#include "platform/core/DataPacket.h"
#include "platform/core/Variant.h"
#include "platform/data/ChangeLog.h"
#include "platform/data/TDataSet.h"

#include <memory>
#include <string>
#include <vector>

class TClientDataSet : public TDataSet {
public:
    DECLARE_CLASS_NAME(TClientDataSet)
    explicit TClientDataSet(TComponent* AOwner);

    // Kept for the form; the data set never asks a provider for anything.
    const std::string& ProviderName() const { return providerName_; }
    void SetProviderName(const std::string& value) { providerName_ = value; }

    // Fields (apart by ';') whose texts order the rows: a posted insert goes
    // before the first row whose key is greater, so rows loaded in that order
    // stay in it. Empty (the default): an insert goes where it began. Rows
    // are never sorted on load, and an edit does not move its row.
    const std::string& IndexFieldNames() const { return indexFieldNames_; }
    void SetIndexFieldNames(const std::string& value) { indexFieldNames_ = value; }

    // Loads a packet whole: replaces every row, empties the change log, opens
    // the data set and goes to its first row. Packet fields are matched to
    // the data set's fields by name (without regard to case); packet fields
    // the data set lacks are ignored. Without persistent fields the data set
    // takes the packet's fields. A row being edited or inserted is dropped
    // without AfterCancel. The value must hold a data packet.
    void SetData(const Variant& value);
    void SetData(const DataPacket& packet);
    // The rows now held, all unmodified, over the data set's fields.
    DataPacket Data() const;

    // Number of changed rows waiting in the log (a row inserted and then
    // edited counts once; one inserted and then deleted not at all).
    int GetChangeCount() const { return log_.Count(); }
    // The change packet: every entry of the log, over the data set's fields.
    Variant GetDelta() const;
    // The logged changes become the data set's base content; the log is empty.
    void MergeChangeLog();
    // Undoes every logged change: the rows are those of the last load or
    // merge again (a row being edited or inserted is dropped too), the log is
    // empty, and the current row stays where it was if it still exists.
    void CancelUpdates();
    // Undoes the log's entry at changeIndex (0-based, the order of GetDelta's rows)
    // and no other: an inserted row goes, a deleted row comes back where it
    // stood in the base content, an edited row takes its original values.
    // Raises EDatabaseError for an index outside the log.
    void RevertChange(int changeIndex);

    // The change log's entries as they stand went out in a send whose answer
    // was lost: the receiver may or may not have applied them. An inserted
    // row in doubt that is deleted is logged as a deletion, not forgotten.
    // Entries logged later are not in doubt.
    void MarkChangesInDoubt()
    {
        log_.MarkInDoubt();
        DataEvent(TDataEvent::deDataSetChange);
    }
    int ChangesInDoubt() const { return log_.InDoubtCount(); }
    // The receiver's state was read back and the entries settled against it.
    void ClearChangesInDoubt()
    {
        log_.ClearInDoubt();
        DataEvent(TDataEvent::deDataSetChange);
    }
    bool ChangeInDoubt(int changeIndex) const { return log_.Entries().at(static_cast<size_t>(changeIndex)).inDoubt; }
    // Makes the log's entry at changeIndex base content and no other, as a
    // merge would: the receiver is known to have applied it. Raises
    // EDatabaseError for an index outside the log.
    void MergeChange(int changeIndex);

    // A row its provider stored meanwhile (another user's change) joins the
    // rows as base content: no log entry and no post events; it goes where
    // an insert would (IndexFieldNames), and the current row stays current.
    // values are over the data set's fields, in order.
    void InsertStored(const std::vector<FieldValue>& values);
    // A row of the base content that its provider no longer holds leaves: no
    // log entry and no delete events. A row with a logged change is left as
    // it is (false).
    bool DeleteStored(int row);

    // On by default. While off, changes to rows that have no pending entry
    // become base content at once; a row that has one keeps being logged, so
    // that its entry still describes the row as it is.
    bool LogChanges() const { return logChanges_; }
    void SetLogChanges(bool value) { logChanges_ = value; }

    const ChangeLog& Log() const { return log_; }
    TUpdateStatus RowUpdateStatus(int row) const override;
    bool RowInDoubt(int row) const override;
    int InsertPosition(int requested, const std::vector<FieldValue>& values) const override;

protected:
    void InternalOpen() override;
    void InternalClose() override;
    void RecordInserted(const Record& record, std::vector<FieldValue> values) override;
    void RecordModified(const Record& before, const Record& after) override;
    void RecordDeleted(const Record& record) override;
    void FieldRemoved(int index) override;

private:
    std::vector<PacketField> PacketFields() const;
    bool HasPersistentFields() const;
    // The steps of SetData: the persistent fields matched to the packet's
    // columns, or new fields made from the packet's.
    void MatchPersistentFields(const DataPacket& packet, const std::string& prefix, std::vector<TField*>& targets,
                               std::vector<int>& columns) const;
    std::vector<std::unique_ptr<TField>> MakePacketFields(const DataPacket& packet, const std::string& prefix);
    // The packet's rows as the target fields take them, each value checked;
    // the records get their ids when they are stored.
    static std::vector<Record> ValidatedRecords(const DataPacket& packet, const std::vector<TField*>& targets,
                                                const std::vector<int>& columns, const std::string& prefix);

    // Makes the rows now held the base content.
    void KeepBase();
    // Puts a row into the base content in its place among the rows held.
    void JoinBase(std::int64_t rowId);

    std::string providerName_;
    std::string indexFieldNames_;
    ChangeLog log_;
    // The ids of the rows as last loaded or merged, in order, which
    // CancelUpdates brings back. Their values need no copy: a row still held
    // has them unless the log holds its original values, and a deleted row's
    // values are in its log entry. So a merge after every post costs one id
    // per row, not a copy of every text.
    std::vector<std::int64_t> baseIds_;
    bool logChanges_ = true;
};
