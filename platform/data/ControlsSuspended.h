#pragma once
// Suspends a data set's bound controls for a scope: DisableControls when made,
// EnableControls at Resume, or when the scope is left without it (an error).
// Suspensions nest, so a guard resumes exactly what it suspended.
//
// Failure behaviour: an error raised by the controls' refresh while the guard
// is destroyed is dropped; one raised by Resume goes to the caller.
class TDataSet;

class ControlsSuspended {
public:
    explicit ControlsSuspended(TDataSet* DataSet);
    ~ControlsSuspended();
    ControlsSuspended(const ControlsSuspended&) = delete;
    ControlsSuspended& operator=(const ControlsSuspended&) = delete;

    void Resume();

private:
    TDataSet* dataSet_;
    bool suspended_ = true;
};
