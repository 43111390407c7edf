#include "platform/data/ControlsSuspended.h"

#include "platform/data/TDataSet.h"

ControlsSuspended::ControlsSuspended(TDataSet* DataSet) : dataSet_(DataSet)
{
    dataSet_->DisableControls();
}

ControlsSuspended::~ControlsSuspended()
{
    if (!suspended_) {
        return;
    }
    try {
        dataSet_->EnableControls();
    } catch (...) {
        // Left by an error: that error is the one to report.
    }
}

void ControlsSuspended::Resume()
{
    if (suspended_) {
        suspended_ = false;
        dataSet_->EnableControls();
    }
}
