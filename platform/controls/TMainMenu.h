#pragma once
// The form's main menu: a root entry whose children are the menu bar's entries.
#include "platform/controls/TMenuItem.h"
#include "platform/model/TComponent.h"

class TMainMenu : public TComponent {
public:
    DECLARE_CLASS_NAME(TMainMenu)
    explicit TMainMenu(TComponent* AOwner) : TComponent(AOwner), items_(new TMenuItem(this)) {}

    TMenuItem* Items() const { return items_; }

private:
    TMenuItem* items_;
};
