#include "platform/data/TDataSource.h"
#include "platform/model/ClassRegistration.h"

namespace {

const ClassRegistration<TDataSource> dataSourceClass("TDataSource", "TComponent", [](ClassBuilder<TDataSource>& c) {
    c.RegisterComponentProperty<TDataSet>("DataSet", &TDataSource::DataSet, &TDataSource::SetDataSet);
    c.RegisterProperty("Enabled", &TDataSource::Enabled, &TDataSource::SetEnabled);
    c.RegisterEvent<TNotifyEvent>("OnStateChange", &TDataSource::SetOnStateChange);
    c.RegisterEvent<TDataChangeEvent>("OnDataChange", &TDataSource::SetOnDataChange);
});

} // namespace

TDataSource::TDataSource(TComponent* AOwner) : TComponent(AOwner) {}

TDataSource::~TDataSource()
{
    if (dataSet_ != nullptr) {
        dataSet_->RemoveDataSource(this);
    }
}

TDataSetState TDataSource::State() const
{
    return enabled_ && dataSet_ != nullptr ? dataSet_->State() : TDataSetState::dsInactive;
}

void TDataSource::SetDataSet(TDataSet* value)
{
    if (value == dataSet_) {
        return;
    }
    const TDataSetState old = State();
    if (dataSet_ != nullptr) {
        dataSet_->RemoveDataSource(this);
    }
    dataSet_ = value;
    if (dataSet_ != nullptr) {
        dataSet_->AddDataSource(this);
    }
    NotifyChanged();
    // Controls rebuild their columns from the new data set's fields.
    TellLinks(TDataEvent::deLayoutChange, nullptr);
    // Only a real change of state is reported, so that binding data sets
    // while a form is being read (all of them closed) runs no handler.
    if (State() != old) {
        StateChanged();
    }
}

void TDataSource::SetEnabled(bool value)
{
    if (enabled_ != value) {
        enabled_ = value;
        NotifyChanged();
        StateChanged();
    }
}

void TDataSource::StateChanged()
{
    TellLinks(TDataEvent::deUpdateState, nullptr);
    if (onStateChange_) {
        TNotifyEvent handler = onStateChange_;
        handler(this);
    }
}

void TDataSource::TellLinks(TDataEvent event, TField* field, int row)
{
    if (dataSet_ != nullptr && dataSet_->ControlsDisabled()) {
        return;
    }
    DataLinks.Emit(event, field, row);
}

void TDataSource::DataSetEvent(TDataEvent event, TField* field, int row)
{
    if (!enabled_) {
        return;
    }
    TellLinks(event, field, row);
    switch (event) {
    case TDataEvent::deUpdateState:
        if (onStateChange_) {
            TNotifyEvent handler = onStateChange_;
            handler(this);
        }
        break;
    case TDataEvent::deRecordChange:
    case TDataEvent::deDataSetChange:
    case TDataEvent::deDataSetScroll:
        if (onDataChange_) {
            TDataChangeEvent handler = onDataChange_;
            handler(this, field);
        }
        break;
    case TDataEvent::deRowInserted:
    case TDataEvent::deRowDeleted:
    case TDataEvent::deLayoutChange:
    case TDataEvent::deRefresh: break;
    }
}
