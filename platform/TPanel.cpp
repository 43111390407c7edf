#include "platform/TPanel.h"

TPanel::TPanel(TComponent* AOwner) : TWinControl(AOwner) {}

void TPanel::SetBevelInner(TBevelCut value)
{
    bevelInner_ = value;
    NotifyChanged();
    AlignControls();
}

void TPanel::SetBevelOuter(TBevelCut value)
{
    bevelOuter_ = value;
    NotifyChanged();
    AlignControls();
}

void TPanel::SetBorderWidth(int value)
{
    borderWidth_ = value < 0 ? 0 : value;
    NotifyChanged();
    AlignControls();
}

int TPanel::ClientInset() const
{
    int inset = borderWidth_;
    inset += bevelOuter_ == TBevelCut::bvNone ? 0 : 1;
    inset += bevelInner_ == TBevelCut::bvNone ? 0 : 1;
    return inset;
}
