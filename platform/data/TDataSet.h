#pragma once
// Rows of named fields with a current row, the states inactive, browse, edit
// and insert, and the events that screens bind to. Subclasses fill the rows
// (a packet for client data sets, a SQL query for the local database) and may
// watch changes through the Record* hooks.
//
// Notifications. Every change reaches the data sources bound to the data set
// in this order: first the state change (if any), then the data change, then
// the data set's own after-event. Data sources fire their OnStateChange and
// OnDataChange handlers even while DisableControls is in effect; only the
// bound controls are held back, and they get one full refresh on the final
// EnableControls.
//
// Failure behaviour: operations that do not fit the state raise
// EDatabaseError ("Dataset not in edit or insert mode", "Cannot perform this
// operation on a closed dataset", ...) and change nothing. An exception from
// an event handler goes on to the caller; the operation that raised the
// event is complete by then (an after-post handler that fails leaves the row
// posted), except for the new-record handler: if it fails, the insert is
// dropped and the data set is back in browse state.
#include "platform/core/DataPacket.h"
#include "platform/model/Events.h"
#include "platform/model/TComponent.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

class TDataSource;
class TField;

enum class TDataSetState { dsInactive, dsBrowse, dsEdit, dsInsert };

// What a bound control is told. The two row-level events go to controls
// only, and a deDataSetChange follows each.
enum class TDataEvent {
    deRecordChange,  // values of the current row changed (the field, or all when none is given)
    deDataSetChange, // rows were added, removed or replaced
    deRowInserted,   // one row was added at the row given, the others kept
    deRowDeleted,    // the row given was removed, the others kept
    deDataSetScroll, // another row became current
    deUpdateState,   // the state (or a data source's enabled switch) changed
    deLayoutChange,  // fields were added, removed or reordered
    deRefresh,       // anything may have changed: redraw everything
};

class TDataSet : public TComponent {
public:
    DECLARE_CLASS_NAME(TDataSet)
    explicit TDataSet(TComponent* AOwner);
    ~TDataSet() override;

    TDataSetState State() const { return state_; }
    bool Active() const { return state_ != TDataSetState::dsInactive; }
    void SetActive(bool value);
    void Open();
    // Drops a row being edited or inserted without events, then closes.
    void Close();

    // Fields in order; persistent fields join through TField::SetDataSet.
    const std::vector<TField*>& Fields() const { return fields_; }
    int FieldCount() const { return static_cast<int>(fields_.size()); }
    // Names are compared without regard to case.
    TField* FindField(std::string_view name) const;
    // As FindField, but raises "<data set>: Field 'X' not found".
    TField* FieldByName(std::string_view name) const;

    // Navigation. Moving while a row is being edited or inserted posts it
    // first. Eof is true once Next was asked to go past the last row (or
    // after Last), Bof once Prior was asked to go before the first (or after
    // First); both are true on an empty or closed data set.
    void First();
    void Last();
    void Next();
    void Prior();
    bool Eof() const { return eof_; }
    bool Bof() const { return bof_; }
    // Number of stored rows (a row being inserted is not counted yet).
    int RecordCount() const { return static_cast<int>(records_.size()); }
    bool IsEmpty() const { return records_.empty(); }
    // 0-based number of the current row; -1 when there is none, including
    // while a row is being inserted.
    int RecNo() const;
    // Makes row value current (0-based); raises for a number out of range.
    void SetRecNo(int value);

    // Begins inserting a row before the current one (Insert) or after the
    // last (Append). The data sources see the state change and a data
    // change, then OnNewRecord runs; calling Cancel from inside it drops the
    // new row at once, and the insert then ends there.
    void Insert();
    void Append();
    // Begins editing the current row; on an empty data set it begins an
    // insert instead, since there is no row to edit.
    void Edit();
    // Stores the row being edited or inserted; does nothing in browse state.
    void Post();
    // Drops the row being edited or inserted, then raises AfterCancel; does
    // nothing (and raises nothing) in browse state.
    void Cancel();
    // Removes the current row. While inserting it cancels the insert; while
    // editing it drops the edit first.
    void Delete();

    // Suspends the bound controls (nested). While suspended they are told
    // nothing; the final EnableControls sends them one refresh.
    void DisableControls();
    void EnableControls();
    bool ControlsDisabled() const { return disableCount_ > 0; }

    void SetOnNewRecord(TDataSetNotifyEvent value) { onNewRecord_ = std::move(value); }
    void SetBeforePost(TDataSetNotifyEvent value) { beforePost_ = std::move(value); }
    void SetAfterPost(TDataSetNotifyEvent value) { afterPost_ = std::move(value); }
    void SetBeforeDelete(TDataSetNotifyEvent value) { beforeDelete_ = std::move(value); }
    void SetAfterDelete(TDataSetNotifyEvent value) { afterDelete_ = std::move(value); }
    void SetAfterCancel(TDataSetNotifyEvent value) { afterCancel_ = std::move(value); }
    void SetAfterScroll(TDataSetNotifyEvent value) { afterScroll_ = std::move(value); }
    const TDataSetNotifyEvent& OnNewRecord() const { return onNewRecord_; }
    const TDataSetNotifyEvent& BeforePost() const { return beforePost_; }
    const TDataSetNotifyEvent& AfterPost() const { return afterPost_; }
    const TDataSetNotifyEvent& BeforeDelete() const { return beforeDelete_; }
    const TDataSetNotifyEvent& AfterDelete() const { return afterDelete_; }
    const TDataSetNotifyEvent& AfterCancel() const { return afterCancel_; }
    const TDataSetNotifyEvent& AfterScroll() const { return afterScroll_; }

    // The data sources bound to this data set, in binding order.
    const std::vector<TDataSource*>& DataSources() const { return dataSources_; }

    // Field access for TField: the value of field index in the row being
    // edited or inserted, else in the current row (Null when there is none).
    FieldValue GetFieldValue(int index) const;
    // The stored value of a field in any row (0-based), without moving the
    // current row; views and dumps read rows through it. Null out of range.
    FieldValue RowValue(int row, int field) const;
    // Whether the stored row (0-based) holds a change not yet sent: inserted
    // or modified since the last load or merge. Data sets that keep no change
    // log hold none.
    virtual TUpdateStatus RowUpdateStatus(int /*row*/) const { return TUpdateStatus::usUnmodified; }
    // Where a posted insert goes: at requested (the current row when the
    // insert began, or the end for an append) unless the data set keeps its
    // rows in an order of its own.
    virtual int InsertPosition(int requested, const std::vector<FieldValue>& /*values*/) const { return requested; }
    // Whether the change of the row at index row went out in a send whose
    // answer was lost, so that the receiver may or may not hold it.
    virtual bool RowInDoubt(int /*row*/) const { return false; }
    void SetFieldValue(TField* field, FieldValue value);

protected:
    // The values of one stored row packed into one block of bytes: for each
    // value a null marker, its length and its text. A data set holding many
    // rows then costs about their text, not a vector of strings per row; a
    // value is unpacked when it is read.
    class RowValues {
    public:
        RowValues() = default;
        explicit RowValues(const std::vector<FieldValue>& values);
        // The values at the given indexes of values, in that order.
        RowValues(const std::vector<FieldValue>& values, const std::vector<int>& columns);
        size_t size() const { return count_; }
        // Null beyond the last value.
        FieldValue operator[](size_t index) const;
        std::vector<FieldValue> Unpack() const;
        void Erase(size_t index);
        bool operator==(const RowValues&) const = default;

    private:
        std::string bytes_;
        std::uint32_t count_ = 0;
    };

    // One stored row. The id identifies the row for as long as the data set
    // holds it, whatever rows are added or removed around it.
    struct Record {
        std::int64_t id = 0;
        RowValues values;
        bool operator==(const Record&) const = default;
    };

    // Fills the rows for Open; the fields are in place. Raising keeps the
    // data set closed.
    virtual void InternalOpen() {}
    // Called after the rows were dropped by Close.
    virtual void InternalClose() {}
    virtual bool CanModify() const { return true; }
    // Change hooks, called once the stored rows reflect the change and before
    // any notification goes out.
    // values: the inserted row's values as posted, which record holds packed.
    virtual void RecordInserted(const Record& /*record*/, std::vector<FieldValue> /*values*/) {}
    virtual void RecordModified(const Record& /*before*/, const Record& /*after*/) {}
    virtual void RecordDeleted(const Record& /*record*/) {}
    // Called after field index was dropped from every stored row.
    virtual void FieldRemoved(int /*index*/) {}

    const std::vector<Record>& Records() const { return records_; }
    // Replaces every row. Rows without an id get a fresh one.
    void SetRecords(std::vector<Record> records);
    std::vector<Record> MakeRecords(std::vector<std::vector<FieldValue>> rows);
    // Makes the row with this id current if it is still there, else the row
    // at the same position or the last one.
    void Reposition(std::int64_t id, int fallbackIndex);
    std::int64_t CurrentRecordId() const;

    // Opens with the rows already stored (subclasses that load data whole):
    // drops a pending edit, goes to the first row and notifies.
    void OpenLoaded();
    // Tells the data sources about a change; row is the row a row-level
    // event names (-1 for the others).
    void DataEvent(TDataEvent event, TField* field = nullptr, int row = -1);
    void SetState(TDataSetState value);
    // Drops a row being edited or inserted, telling nobody but the data
    // sources about the state.
    void DropEdit();
    // Posts a row being edited or inserted (navigation does this first).
    void CheckBrowseMode();
    void CheckActive() const;
    // Creates the fields of a data set without persistent ones; they are
    // owned by the data set and go when it closes.
    void AddDefaultField(TField* field);
    void DestroyDefaultFields();
    std::string ErrorPrefix() const;

private:
    friend class TField;
    friend class TDataSource;
    void AddField(TField* field);
    void RemoveField(TField* field);
    void MoveField(TField* field, int index);
    void AddDataSource(TDataSource* source);
    void RemoveDataSource(TDataSource* source);
    void BeginInsert(bool append);
    void DoScrolled(int oldIndex);
    static void Fire(const TDataSetNotifyEvent& event, TDataSet* self);

    TDataSetState state_ = TDataSetState::dsInactive;
    std::vector<TField*> fields_;
    std::vector<TDataSource*> dataSources_;
    std::vector<Record> records_;
    std::int64_t nextId_ = 1;
    int current_ = -1;
    bool bof_ = true;
    bool eof_ = true;
    // The row being edited or inserted, and where an insert goes.
    std::vector<FieldValue> buffer_;
    int insertAt_ = 0;
    // Counts begun edits and inserts, so that Insert can tell whether its
    // new-record handler ended the insert (or began another one).
    std::uint64_t editSerial_ = 0;
    int disableCount_ = 0;

    TDataSetNotifyEvent onNewRecord_;
    TDataSetNotifyEvent beforePost_;
    TDataSetNotifyEvent afterPost_;
    TDataSetNotifyEvent beforeDelete_;
    TDataSetNotifyEvent afterDelete_;
    TDataSetNotifyEvent afterCancel_;
    TDataSetNotifyEvent afterScroll_;
};
