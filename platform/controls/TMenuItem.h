#pragma once
// An entry of a main menu. Entries nest: an entry owns the ones below it.
#include "platform/model/Events.h"
#include "platform/model/TComponent.h"

#include <vector>

class TMenuItem : public TComponent {
public:
    DECLARE_CLASS_NAME(TMenuItem)
    explicit TMenuItem(TComponent* AOwner) : TComponent(AOwner) {}
    ~TMenuItem() override;

    const std::string& Caption() const { return caption_; }
    void SetCaption(const std::string& value);
    bool Enabled() const { return enabled_; }
    void SetEnabled(bool value);
    bool Visible() const { return visible_; }
    void SetVisible(bool value);
    const std::string& ShortCut() const { return shortCut_; }
    void SetShortCut(const std::string& value) { shortCut_ = value; }
    void SetOnClick(TNotifyEvent value) { onClick_ = std::move(value); }

    TMenuItem* ParentItem() const { return parentItem_; }
    int Count() const { return static_cast<int>(items_.size()); }
    TMenuItem* Items(int index) const { return items_.at(static_cast<size_t>(index)); }
    void Add(TMenuItem* item);
    void Remove(TMenuItem* item);

    // An operator's click: ignored while the entry is disabled.
    void Click();

private:
    std::string caption_;
    bool enabled_ = true;
    bool visible_ = true;
    std::string shortCut_;
    TNotifyEvent onClick_;
    TMenuItem* parentItem_ = nullptr;
    std::vector<TMenuItem*> items_;
};
