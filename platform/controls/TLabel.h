#pragma once
// A caption on a form. It never takes the focus; its FocusControl is the
// control that a click or its accelerator would focus.
#include "platform/controls/TControl.h"

class TWinControl;

class TLabel : public TControl {
public:
    DECLARE_CLASS_NAME(TLabel)
    explicit TLabel(TComponent* AOwner);

    TWinControl* FocusControl() const { return focusControl_; }
    void SetFocusControl(TWinControl* value);
    bool AutoSize() const { return autoSize_; }
    void SetAutoSize(bool value) { autoSize_ = value; }
    bool Transparent() const { return transparent_; }
    void SetTransparent(bool value) { transparent_ = value; }

    // A click on the label focuses its FocusControl.
    void Click() override;

protected:
    void Notification(TComponent* AComponent, TOperation Operation) override;

private:
    TWinControl* focusControl_ = nullptr;
    bool autoSize_ = true;
    bool transparent_ = false;
};
