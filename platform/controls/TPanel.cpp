#include "platform/controls/TPanel.h"

#include "platform/model/ClassRegistration.h"

namespace {
const EnumNames<TBevelCut> kBevelNames = {{"bvNone", TBevelCut::bvNone},
                                          {"bvLowered", TBevelCut::bvLowered},
                                          {"bvRaised", TBevelCut::bvRaised},
                                          {"bvSpace", TBevelCut::bvSpace}};
const ClassRegistration<TPanel> panelClass("TPanel", "TWinControl", [](ClassBuilder<TPanel>& c) {
    c.RegisterEnumProperty("BevelInner", kBevelNames, &TPanel::BevelInner, &TPanel::SetBevelInner);
    c.RegisterEnumProperty("BevelOuter", kBevelNames, &TPanel::BevelOuter, &TPanel::SetBevelOuter);
    c.RegisterIntegerProperty("BorderWidth", &TPanel::BorderWidth, &TPanel::SetBorderWidth, 0, 1000);
});
} // namespace

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
