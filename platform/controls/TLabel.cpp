#include "platform/controls/TLabel.h"

#include "platform/controls/TWinControl.h"

TLabel::TLabel(TComponent* AOwner) : TControl(AOwner) {}

void TLabel::SetFocusControl(TWinControl* value)
{
    if (focusControl_ != value) {
        focusControl_ = value;
        if (value != nullptr) {
            FreeNotification(value);
        }
        NotifyChanged();
    }
}

void TLabel::Click()
{
    TControl::Click();
    if (focusControl_ != nullptr) {
        focusControl_->SetFocus();
    }
}

void TLabel::Notification(TComponent* AComponent, TOperation Operation)
{
    TControl::Notification(AComponent, Operation);
    if (Operation == TOperation::opRemove && AComponent == focusControl_) {
        focusControl_ = nullptr;
    }
}

#include "platform/model/ClassRegistration.h"

namespace {
const ClassRegistration<TLabel> labelClass("TLabel", "TControl", [](ClassBuilder<TLabel>& c) {
    c.RegisterComponentProperty<TWinControl>("FocusControl", &TLabel::FocusControl, &TLabel::SetFocusControl);
    c.RegisterProperty("AutoSize", &TLabel::AutoSize, &TLabel::SetAutoSize);
    c.RegisterProperty("Transparent", &TLabel::Transparent, &TLabel::SetTransparent);
});
} // namespace
