#pragma once
// Shows the main menu of the active form in the shell's menu bar, after the
// shell's own menus, as a child window's menu joins its frame's. Entries
// follow the model (caption, enabled, visible) and a chosen entry runs the
// model entry's Click, which a disabled entry ignores. While the controls'
// syncs are deferred, so are the entries'.
#include "platform/core/Signal.h"
#include "shell/gui/ModelWatch.h"

#include <QObject>
#include <QPointer>

#include <memory>
#include <vector>

class QAction;
class QMenu;
class QMenuBar;
class TCustomForm;
class TMainMenu;
class TMenuItem;

class MenuMirror : public QObject {
    Q_OBJECT
public:
    // Menus go into bar after the entries it holds when this is made.
    explicit MenuMirror(QMenuBar* bar);
    ~MenuMirror() override;

    // Shows the main menu of form (null: none).
    void Follow(TCustomForm* form);
    // The action of a model entry, or null.
    QAction* ActionOf(const TMenuItem* item) const;

private:
    struct Entry {
        TMenuItem* item = nullptr;
        QPointer<QAction> action;
        int children = 0;
        Connection changed;
        std::unique_ptr<ModelWatch> watch;
    };
    void Rebuild();
    void Clear();
    void ScheduleRebuild();
    void AddEntries(TMenuItem* parent, QMenu* into);
    void Update(Entry& entry);
    // An entry's change: shown at once, or with every entry once the
    // deferred syncs run (ControlView::DeferSyncs).
    void EntryChanged(Entry& entry);

    QMenuBar* bar_;
    TMainMenu* menu_ = nullptr;
    ModelWatch menuWatch_;
    std::vector<std::unique_ptr<Entry>> entries_;
    std::vector<QPointer<QAction>> topActions_;
    bool rebuildPending_ = false;
    bool updatePending_ = false;
};
