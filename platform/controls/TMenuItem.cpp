#include "platform/controls/TMenuItem.h"

#include "platform/controls/TMainMenu.h"
#include "platform/model/ClassRegistration.h"

namespace {
const ClassRegistration<TMenuItem> menuItemClass("TMenuItem", "TComponent", [](ClassBuilder<TMenuItem>& c) {
    c.RegisterProperty("Caption", &TMenuItem::Caption, &TMenuItem::SetCaption);
    c.RegisterProperty("Enabled", &TMenuItem::Enabled, &TMenuItem::SetEnabled);
    c.RegisterProperty("Visible", &TMenuItem::Visible, &TMenuItem::SetVisible);
    c.RegisterProperty("ShortCut", &TMenuItem::ShortCut, &TMenuItem::SetShortCut);
    c.RegisterEvent<TNotifyEvent>("OnClick", &TMenuItem::SetOnClick);
    c.SetAdoptChild([](TMenuItem& parent, TComponent& child) {
        auto* item = dynamic_cast<TMenuItem*>(&child);
        if (item == nullptr) {
            return false;
        }
        parent.Add(item);
        return true;
    });
});
const ClassRegistration<TMainMenu> mainMenuClass("TMainMenu", "TComponent", [](ClassBuilder<TMainMenu>& c) {
    c.SetAdoptChild([](TMainMenu& menu, TComponent& child) {
        auto* item = dynamic_cast<TMenuItem*>(&child);
        if (item == nullptr) {
            return false;
        }
        menu.Items()->Add(item);
        return true;
    });
});
} // namespace

TMenuItem::~TMenuItem()
{
    for (TMenuItem* item : items_) {
        item->parentItem_ = nullptr;
    }
    if (parentItem_ != nullptr) {
        parentItem_->Remove(this);
    }
}

void TMenuItem::SetCaption(const std::string& value)
{
    if (caption_ != value) {
        caption_ = value;
        NotifyChanged();
    }
}

void TMenuItem::SetEnabled(bool value)
{
    if (enabled_ != value) {
        enabled_ = value;
        NotifyChanged();
    }
}

void TMenuItem::SetVisible(bool value)
{
    if (visible_ != value) {
        visible_ = value;
        NotifyChanged();
    }
}

void TMenuItem::Add(TMenuItem* item)
{
    if (item->parentItem_ != nullptr) {
        item->parentItem_->Remove(item);
    }
    item->parentItem_ = this;
    items_.push_back(item);
    NotifyChanged();
}

void TMenuItem::Remove(TMenuItem* item)
{
    std::erase(items_, item);
    item->parentItem_ = nullptr;
    NotifyChanged();
}

void TMenuItem::Click()
{
    if (enabled_ && onClick_) {
        onClick_(this);
    }
}
