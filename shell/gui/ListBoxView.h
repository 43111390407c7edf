#pragma once
// A list box. Clicks (with Ctrl or Shift), double clicks and typed keys go to
// the model list; the widget shows its entries, selection and current entry.
// A list that DropRoutes names drags its selected entries; one it names as a
// target takes drops (ControlView's drag handling).
#include "shell/gui/ControlView.h"

#include <QListView>

#include <vector>

class ListBoxModel;
class TListBox;

class ListBoxView : public QListView, public ControlView {
    Q_OBJECT
public:
    ListBoxView(TListBox* list, QWidget* parent, FormView* form, ControlView* parentView);

    void SyncFromModel() override;
    bool TakesKeys() const override { return true; }
    // A drag over the view and a drop on it (public for the tests, which
    // cannot start a real drag on the offscreen platform).
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    // The arrow, page, Home and End keys move the current entry as a click
    // on the entry they reach would (with Shift, extending the selection).
    bool HandleKey(QKeyEvent* event) override;
    ListBoxModel* ItemModel() const { return model_; }
    // Shows the model's entries, selection and current entry. The list's
    // changes are gathered and shown once the running event is over, so a
    // list filled entry by entry is read once, not once per entry.
    void SyncItems();
    bool SyncPending() const { return pending_; }

protected:
    QPalette::ColorRole ColorRole() const override { return QPalette::Base; }
    void Detach() override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;

private:
    TListBox* List() const;
    void ItemsChanged();
    int RowsPerPage() const;

    ListBoxModel* model_;
    // The current entry and the selection last shown (ascending), to tell
    // which entry a change of the list brought the operator to.
    int shownIndex_ = -1;
    std::vector<int> shownSelection_;
    bool pending_ = false;
    // The entry whose click waits for the release (see mousePressEvent).
    int pendingClick_ = -1;
};
