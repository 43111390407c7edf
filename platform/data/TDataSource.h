#pragma once
// The link between one data set and the controls and handlers that follow it.
// Handlers bind OnStateChange and OnDataChange; controls connect to
// DataLinks, which carries what they must redraw.
//
// Enabled switch: while disabled the data source reports dsInactive, fires no
// OnDataChange and tells its controls nothing; switching it either way runs
// the state-change handling (OnStateChange, then deUpdateState to the
// controls), so a grid goes blank and comes back.
//
// Controls are also told nothing while the data set's controls are suspended
// (DisableControls); the handlers still run then.
#include "platform/core/Signal.h"
#include "platform/data/TDataSet.h"
#include "platform/model/Events.h"
#include "platform/model/TComponent.h"

class TDataSource : public TComponent {
public:
    DECLARE_CLASS_NAME(TDataSource)
    explicit TDataSource(TComponent* AOwner);
    ~TDataSource() override;

    TDataSet* DataSet() const { return dataSet_; }
    void SetDataSet(TDataSet* value);
    bool Enabled() const { return enabled_; }
    void SetEnabled(bool value);
    // The data set's state while enabled; dsInactive while disabled or
    // without a data set.
    TDataSetState State() const;

    void SetOnStateChange(TNotifyEvent value) { onStateChange_ = std::move(value); }
    void SetOnDataChange(TDataChangeEvent value) { onDataChange_ = std::move(value); }
    const TNotifyEvent& OnStateChange() const { return onStateChange_; }
    const TDataChangeEvent& OnDataChange() const { return onDataChange_; }

    // What bound controls follow; the field is set for a change of one value,
    // the row for deRowInserted and deRowDeleted (-1 otherwise). A control
    // that mirrors rows one by one is in step as long as it has followed
    // every event since its last full read.
    Signal<TDataEvent, TField*, int> DataLinks;

private:
    friend class TDataSet;
    // Called by the data set for every change.
    void DataSetEvent(TDataEvent event, TField* field, int row);
    // Called by the data set from its destructor.
    void DataSetGone() { dataSet_ = nullptr; }
    void StateChanged();
    void TellLinks(TDataEvent event, TField* field, int row = -1);

    TDataSet* dataSet_ = nullptr;
    bool enabled_ = true;
    TNotifyEvent onStateChange_;
    TDataChangeEvent onDataChange_;
};
