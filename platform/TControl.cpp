#include "platform/TControl.h"
#include "platform/Exception.h"

#include "platform/TCustomForm.h"
#include "platform/TWinControl.h"

TControl::TControl(TComponent* AOwner) : TComponent(AOwner) {}

TControl::~TControl()
{
    if (parent_ != nullptr) {
        parent_->RemoveControl(this);
        parent_ = nullptr;
    }
}

void TControl::SetParent(TWinControl* AParent)
{
    if (parent_ == AParent) {
        return;
    }
    if (AParent != nullptr && (AParent == this || (dynamic_cast<TWinControl*>(this) != nullptr &&
                                                   static_cast<TWinControl*>(this)->ContainsControl(AParent)))) {
        throw EInvalidOperation("Control '" + Name() + "' cannot be its own parent");
    }
    if (parent_ != nullptr) {
        parent_->RemoveControl(this);
    }
    parent_ = AParent;
    if (parent_ != nullptr) {
        parent_->InsertControl(this);
    }
    NotifyChanged();
}

TCustomForm* TControl::GetParentForm() const
{
    const TControl* c = this;
    while (c != nullptr) {
        if (auto* f = dynamic_cast<const TCustomForm*>(c)) {
            return const_cast<TCustomForm*>(f);
        }
        c = c->Parent();
    }
    return nullptr;
}

void TControl::SetEnabled(bool value)
{
    if (enabled_ != value) {
        enabled_ = value;
        NotifyChanged();
        Invalidate();
    }
}

void TControl::SetVisible(bool value)
{
    if (visible_ != value) {
        visible_ = value;
        NotifyChanged();
        if (parent_ != nullptr && align_ != TAlign::alNone) {
            parent_->AlignControls();
        }
    }
}

bool TControl::IsEnabledInChain() const
{
    for (const TControl* c = this; c != nullptr; c = c->Parent()) {
        if (!c->Enabled()) {
            return false;
        }
    }
    return true;
}

bool TControl::IsShowing() const
{
    for (const TControl* c = this; c != nullptr; c = c->Parent()) {
        if (!c->Visible()) {
            return false;
        }
    }
    return true;
}

void TControl::SetBounds(int ALeft, int ATop, int AWidth, int AHeight)
{
    if (left_ == ALeft && top_ == ATop && width_ == AWidth && height_ == AHeight) {
        return;
    }
    left_ = ALeft;
    top_ = ATop;
    width_ = AWidth < 0 ? 0 : AWidth;
    height_ = AHeight < 0 ? 0 : AHeight;
    NotifyChanged();
    if (parent_ != nullptr && align_ != TAlign::alNone) {
        parent_->AlignControls();
    }
}

void TControl::SetAlign(TAlign value)
{
    if (align_ != value) {
        align_ = value;
        NotifyChanged();
        if (parent_ != nullptr) {
            parent_->AlignControls();
        }
    }
}

void TControl::SetCaption(const std::string& value)
{
    if (caption_ != value) {
        caption_ = value;
        NotifyChanged();
    }
}

void TControl::SetHint(const std::string& value)
{
    if (hint_ != value) {
        hint_ = value;
        NotifyChanged();
    }
}

void TControl::SetColor(TColor value)
{
    if (color_ != value) {
        color_ = value;
        NotifyChanged();
    }
}

void TControl::SetFont(const TFont& value)
{
    if (!(font_ == value)) {
        font_ = value;
        parentFont_ = false;
        NotifyChanged();
    }
}

void TControl::SetFontStyle(const TFontStyles& value)
{
    TFont f = font_;
    f.Style = value;
    SetFont(f);
}

void TControl::SetFontSize(int value)
{
    TFont f = font_;
    f.Size = value;
    SetFont(f);
}

void TControl::SetFontName(const std::string& value)
{
    TFont f = font_;
    f.Name = value;
    SetFont(f);
}

void TControl::Click()
{
    if (onClick_) {
        onClick_(this);
    }
}

void TControl::DblClick()
{
    if (onDblClick_) {
        onDblClick_(this);
    }
}

void TControl::Invalidate()
{
    ++paintCount_;
    Painted.Emit();
}

void TControl::Notification(TComponent* AComponent, TOperation Operation)
{
    TComponent::Notification(AComponent, Operation);
}
