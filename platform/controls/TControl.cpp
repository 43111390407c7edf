#include "platform/controls/TControl.h"

#include "platform/controls/TCustomForm.h"
#include "platform/controls/TWinControl.h"
#include "platform/core/Exception.h"
#include "platform/model/ClassRegistration.h"

namespace {

const EnumNames<TAlign> kAlignNames = {{"alNone", TAlign::alNone},     {"alTop", TAlign::alTop},
                                       {"alBottom", TAlign::alBottom}, {"alLeft", TAlign::alLeft},
                                       {"alRight", TAlign::alRight},   {"alClient", TAlign::alClient}};
const EnumNames<TFontStyle> kFontStyleNames = {{"fsBold", TFontStyle::fsBold},
                                               {"fsItalic", TFontStyle::fsItalic},
                                               {"fsUnderline", TFontStyle::fsUnderline},
                                               {"fsStrikeOut", TFontStyle::fsStrikeOut}};
const IntegerConstants kColorNames = {{"clBtnFace", clBtnFace}, {"clWindow", clWindow}, {"clWindowText", clWindowText},
                                      {"clInfoBk", clInfoBk},   {"clBlack", clBlack},   {"clWhite", clWhite}};

const ClassRegistration<TControl> controlClass("TControl", "TComponent", nullptr, [](ClassBuilder<TControl>& c) {
    c.RegisterProperty("Left", &TControl::Left, &TControl::SetLeft);
    c.RegisterProperty("Top", &TControl::Top, &TControl::SetTop);
    c.RegisterIntegerProperty("Width", &TControl::Width, &TControl::SetWidth, 0, 100000);
    c.RegisterIntegerProperty("Height", &TControl::Height, &TControl::SetHeight, 0, 100000);
    c.RegisterEnumProperty("Align", kAlignNames, &TControl::Align, &TControl::SetAlign);
    c.RegisterProperty("Enabled", &TControl::Enabled, &TControl::SetEnabled);
    c.RegisterProperty("Visible", &TControl::Visible, &TControl::SetVisible);
    c.RegisterProperty("Caption", &TControl::Caption, &TControl::SetCaption);
    c.RegisterProperty("Hint", &TControl::Hint, &TControl::SetHint);
    c.RegisterProperty("ShowHint", &TControl::ShowHint, &TControl::SetShowHint);
    c.RegisterProperty("AccessibleName", &TControl::AccessibleName, &TControl::SetAccessibleName);
    c.RegisterProperty("AccessibleDescription", &TControl::AccessibleDescription, &TControl::SetAccessibleDescription);
    c.RegisterIntegerProperty("Color", &TControl::Color, &TControl::SetColor, kColorNames);
    c.RegisterSetProperty(
        "Font.Style", kFontStyleNames, [](const TControl& t) -> const TFontStyles& { return t.Font().Style; },
        &TControl::SetFontStyle);
    c.RegisterIntegerProperty(
        "Font.Size", [](const TControl& t) { return t.Font().Size; }, &TControl::SetFontSize, 1, 200);
    c.RegisterProperty(
        "Font.Name", [](const TControl& t) { return t.Font().Name; }, &TControl::SetFontName);
    c.RegisterProperty("ParentFont", &TControl::ParentFont, &TControl::SetParentFont);
    c.RegisterEvent<TNotifyEvent>("OnClick", &TControl::SetOnClick);
    c.RegisterEvent<TNotifyEvent>("OnDblClick", &TControl::SetOnDblClick);
});

} // namespace

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

void TControl::SetAccessibleName(const std::string& value)
{
    if (accessibleName_ != value) {
        accessibleName_ = value;
        NotifyChanged();
    }
}

void TControl::SetAccessibleDescription(const std::string& value)
{
    if (accessibleDescription_ != value) {
        accessibleDescription_ = value;
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
