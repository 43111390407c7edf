#pragma once
// A container with bevels and a border. It passes the focus to its children and
// runs enter and exit events as the focus moves into and out of it.
#include "platform/controls/TWinControl.h"

class TPanel : public TWinControl {
public:
    DECLARE_CLASS_NAME(TPanel)
    explicit TPanel(TComponent* AOwner);

    TBevelCut BevelInner() const { return bevelInner_; }
    void SetBevelInner(TBevelCut value);
    TBevelCut BevelOuter() const { return bevelOuter_; }
    void SetBevelOuter(TBevelCut value);
    int BorderWidth() const { return borderWidth_; }
    void SetBorderWidth(int value);
    int ClientInset() const override;

private:
    TBevelCut bevelInner_ = TBevelCut::bvNone;
    TBevelCut bevelOuter_ = TBevelCut::bvRaised;
    int borderWidth_ = 0;
};
