#include "shell/gui/MenuMirror.h"

#include "platform/controls/TApplication.h"
#include "platform/controls/TCustomForm.h"
#include "platform/controls/TMainMenu.h"
#include "platform/controls/TMenuItem.h"
#include "shell/gui/ControlView.h"
#include "shell/gui/GuiConvert.h"

#include <QAction>
#include <QKeySequence>
#include <QMenu>
#include <QMenuBar>
#include <QTimer>

MenuMirror::MenuMirror(QMenuBar* bar) : QObject(bar), bar_(bar) {}

MenuMirror::~MenuMirror()
{
    menuWatch_.Unwatch();
    entries_.clear();
}

void MenuMirror::Follow(TCustomForm* form)
{
    TMainMenu* menu = nullptr;
    if (form != nullptr) {
        for (int i = 0; i < form->ComponentCount() && menu == nullptr; ++i) {
            menu = dynamic_cast<TMainMenu*>(form->Components(i));
        }
    }
    if (menu == menu_) {
        return;
    }
    menu_ = menu;
    if (menu_ != nullptr) {
        menuWatch_.Watch(menu_, [this] {
            menu_ = nullptr;
            Clear();
        });
    } else {
        menuWatch_.Unwatch();
    }
    Rebuild();
}

QAction* MenuMirror::ActionOf(const TMenuItem* item) const
{
    for (const auto& e : entries_) {
        if (e->item == item) {
            return e->action;
        }
    }
    return nullptr;
}

void MenuMirror::Clear()
{
    entries_.clear();
    for (auto& action : topActions_) {
        if (action != nullptr) {
            bar_->removeAction(action);
            if (QMenu* m = action->menu()) {
                m->deleteLater();
            }
            action->deleteLater();
        }
    }
    topActions_.clear();
}

void MenuMirror::ScheduleRebuild()
{
    // Structure changes may come from inside an entry's own click; the menus
    // are rebuilt once that is over.
    if (rebuildPending_) {
        return;
    }
    rebuildPending_ = true;
    QTimer::singleShot(0, this, [this] {
        rebuildPending_ = false;
        Rebuild();
    });
}

void MenuMirror::Rebuild()
{
    Clear();
    if (menu_ == nullptr) {
        return;
    }
    TMenuItem* root = menu_->Items();
    auto rootEntry = std::make_unique<Entry>();
    rootEntry->item = root;
    rootEntry->children = root->Count();
    rootEntry->changed = root->Changed.Connect([this] { ScheduleRebuild(); });
    entries_.push_back(std::move(rootEntry));
    for (int i = 0; i < root->Count(); ++i) {
        TMenuItem* top = root->Items(i);
        auto* menu = new QMenu(GuiConvert::ToQt(top->Caption()), bar_);
        QAction* action = bar_->addMenu(menu);
        topActions_.push_back(action);
        auto entry = std::make_unique<Entry>();
        entry->item = top;
        entry->action = action;
        entry->children = top->Count();
        Entry* raw = entry.get();
        entry->changed = top->Changed.Connect([this, raw] { EntryChanged(*raw); });
        entry->watch = std::make_unique<ModelWatch>();
        entry->watch->Watch(top, [raw] { raw->item = nullptr; });
        entries_.push_back(std::move(entry));
        Update(*raw);
        AddEntries(top, menu);
    }
}

void MenuMirror::AddEntries(TMenuItem* parent, QMenu* into)
{
    for (int i = 0; i < parent->Count(); ++i) {
        TMenuItem* item = parent->Items(i);
        QAction* action = nullptr;
        if (item->Count() > 0) {
            auto* sub = new QMenu(GuiConvert::ToQt(item->Caption()), into);
            action = into->addMenu(sub);
            AddEntries(item, sub);
        } else if (item->Caption() == "-") {
            action = into->addSeparator();
        } else {
            action = into->addAction(GuiConvert::ToQt(item->Caption()));
        }
        auto entry = std::make_unique<Entry>();
        entry->item = item;
        entry->action = action;
        entry->children = item->Count();
        Entry* raw = entry.get();
        entry->changed = item->Changed.Connect([this, raw] { EntryChanged(*raw); });
        entry->watch = std::make_unique<ModelWatch>();
        entry->watch->Watch(item, [raw] { raw->item = nullptr; });
        connect(action, &QAction::triggered, this, [raw] {
            TMenuItem* model = raw->item;
            if (model != nullptr) {
                Application().Dispatch([model] { model->Click(); });
            }
        });
        entries_.push_back(std::move(entry));
        Update(*raw);
    }
}

void MenuMirror::EntryChanged(Entry& entry)
{
    if (!ControlView::SyncsDeferred()) {
        Update(entry);
        return;
    }
    if (updatePending_) {
        return;
    }
    updatePending_ = true;
    ControlView::SyncLater(this, [this] {
        updatePending_ = false;
        for (auto& e : entries_) {
            Update(*e);
        }
    });
}

void MenuMirror::Update(Entry& entry)
{
    if (entry.item == nullptr) {
        return;
    }
    if (entry.item->Count() != entry.children) {
        ScheduleRebuild();
        return;
    }
    if (entry.action == nullptr) {
        return;
    }
    QString caption = GuiConvert::ToQt(entry.item->Caption());
    if (entry.action->text() != caption && !entry.action->isSeparator()) {
        entry.action->setText(caption);
        if (QMenu* m = entry.action->menu()) {
            m->setTitle(caption);
        }
    }
    entry.action->setEnabled(entry.item->Enabled());
    entry.action->setVisible(entry.item->Visible());
    QKeySequence keys = QKeySequence::fromString(GuiConvert::ToQt(entry.item->ShortCut()), QKeySequence::PortableText);
    if (entry.action->shortcut() != keys) {
        entry.action->setShortcut(keys);
    }
}
