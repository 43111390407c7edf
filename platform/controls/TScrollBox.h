#pragma once
// A container whose content may be larger than itself; the views scroll it.
#include "platform/controls/TWinControl.h"

class TScrollBox : public TWinControl {
public:
    DECLARE_CLASS_NAME(TScrollBox)
    explicit TScrollBox(TComponent* AOwner) : TWinControl(AOwner) {}

    TBorderStyle BorderStyle() const { return borderStyle_; }
    void SetBorderStyle(TBorderStyle value)
    {
        borderStyle_ = value;
        NotifyChanged();
        AlignControls();
    }
    int ClientInset() const override { return borderStyle_ == TBorderStyle::bsSingle ? 2 : 0; }

private:
    TBorderStyle borderStyle_ = TBorderStyle::bsSingle;
};
