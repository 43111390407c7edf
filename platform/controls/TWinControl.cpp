#include "platform/controls/TWinControl.h"

#include "platform/controls/TCustomForm.h"
#include "platform/model/ClassRegistration.h"

#include <algorithm>

namespace {
const ClassRegistration<TWinControl>
    winControlClass("TWinControl", "TControl", nullptr, [](ClassBuilder<TWinControl>& c) {
        c.RegisterIntegerProperty("TabOrder", &TWinControl::TabOrder, &TWinControl::SetTabOrder, -1, 10000);
        c.RegisterProperty("TabStop", &TWinControl::TabStop, &TWinControl::SetTabStop);
        c.RegisterEvent<TNotifyEvent>("OnEnter", &TWinControl::SetOnEnter);
        c.RegisterEvent<TNotifyEvent>("OnExit", &TWinControl::SetOnExit);
        c.RegisterEvent<TKeyPressEvent>("OnKeyPress", &TWinControl::SetOnKeyPress);
        c.SetAdoptChild([](TWinControl& parent, TComponent& child) {
            auto* control = dynamic_cast<TControl*>(&child);
            if (control == nullptr) {
                return false;
            }
            control->SetParent(&parent);
            return true;
        });
    });
} // namespace

TWinControl::TWinControl(TComponent* AOwner) : TControl(AOwner) {}

TWinControl::~TWinControl()
{
    // Owned components may sit among our children; take them down while this
    // control is still whole, then let go of children owned elsewhere.
    DestroyComponents();
    while (!controls_.empty()) {
        controls_.back()->SetParent(nullptr);
    }
}

bool TWinControl::ContainsControl(const TControl* AControl) const
{
    for (const TControl* c = AControl; c != nullptr; c = c->Parent()) {
        if (c == this) {
            return true;
        }
    }
    return false;
}

int TWinControl::TabOrder() const
{
    if (Parent() == nullptr) {
        return -1;
    }
    const auto& list = Parent()->tabList_;
    auto it = std::find(list.begin(), list.end(), this);
    return it == list.end() ? -1 : static_cast<int>(it - list.begin());
}

void TWinControl::SetTabOrder(int value)
{
    if (Parent() == nullptr) {
        return;
    }
    auto& list = Parent()->tabList_;
    std::erase(list, this);
    if (value < 0 || value >= static_cast<int>(list.size())) {
        list.push_back(this);
    } else {
        list.insert(list.begin() + value, this);
    }
    Parent()->ChildrenChanged.Emit();
}

std::vector<TWinControl*> TWinControl::TabList() const
{
    return tabList_;
}

bool TWinControl::CanFocus() const
{
    return IsFocusable() && IsShowing() && IsEnabledInChain() && GetParentForm() != nullptr;
}

bool TWinControl::Focused() const
{
    TCustomForm* form = GetParentForm();
    return form != nullptr && form->ActiveControl() == this;
}

void TWinControl::SetFocus()
{
    TCustomForm* form = GetParentForm();
    if (form == nullptr || !CanFocus()) {
        return;
    }
    form->FocusControl(this);
}

void TWinControl::DoEnter()
{
    if (onEnter_) {
        onEnter_(this);
    }
}

void TWinControl::DoExit()
{
    if (onExit_) {
        onExit_(this);
    }
}

void TWinControl::KeyPress(char& Key)
{
    if (onKeyPress_) {
        onKeyPress_(this, Key);
    }
    if (Key != 0) {
        DoKeyPress(Key);
    }
}

void TWinControl::InsertControl(TControl* AControl)
{
    controls_.push_back(AControl);
    if (auto* w = dynamic_cast<TWinControl*>(AControl)) {
        tabList_.push_back(w);
    }
    ChildrenChanged.Emit();
    if (AControl->Align() != TAlign::alNone) {
        AlignControls();
    }
}

void TWinControl::RemoveControl(TControl* AControl)
{
    std::erase(controls_, AControl);
    std::erase(tabList_, static_cast<TWinControl*>(nullptr));
    tabList_.erase(std::remove_if(tabList_.begin(), tabList_.end(),
                                  [AControl](TWinControl* w) { return static_cast<TControl*>(w) == AControl; }),
                   tabList_.end());
    if (!Destroying()) {
        ChildrenChanged.Emit();
        if (AControl->Align() != TAlign::alNone) {
            AlignControls();
        }
    }
}

void TWinControl::SetBounds(int ALeft, int ATop, int AWidth, int AHeight)
{
    bool resized = AWidth != Width() || AHeight != Height();
    TControl::SetBounds(ALeft, ATop, AWidth, AHeight);
    if (resized) {
        AlignControls();
    }
}

void TWinControl::AlignControls()
{
    if (aligning_) {
        return;
    }
    aligning_ = true;
    int inset = ClientInset();
    int left = inset;
    int top = inset;
    int right = ClientWidth() - inset;
    int bottom = ClientHeight() - inset;
    auto placed = [&](TAlign a) {
        std::vector<TControl*> list;
        for (TControl* c : controls_) {
            if (c->Align() == a && c->Visible()) {
                list.push_back(c);
            }
        }
        auto key = [a](TControl* c) {
            switch (a) {
            case TAlign::alTop: return c->Top();
            case TAlign::alBottom: return -(c->Top() + c->Height());
            case TAlign::alLeft: return c->Left();
            case TAlign::alRight: return -(c->Left() + c->Width());
            default: return 0;
            }
        };
        std::stable_sort(list.begin(), list.end(), [&](TControl* x, TControl* y) { return key(x) < key(y); });
        return list;
    };
    for (TControl* c : placed(TAlign::alTop)) {
        c->SetBounds(left, top, right - left, c->Height());
        top += c->Height();
    }
    for (TControl* c : placed(TAlign::alBottom)) {
        c->SetBounds(left, bottom - c->Height(), right - left, c->Height());
        bottom -= c->Height();
    }
    for (TControl* c : placed(TAlign::alLeft)) {
        c->SetBounds(left, top, c->Width(), bottom - top);
        left += c->Width();
    }
    for (TControl* c : placed(TAlign::alRight)) {
        c->SetBounds(right - c->Width(), top, c->Width(), bottom - top);
        right -= c->Width();
    }
    for (TControl* c : placed(TAlign::alClient)) {
        c->SetBounds(left, top, right - left, bottom - top);
    }
    aligning_ = false;
}
