#pragma once
// A list box. Clicks (with Ctrl or Shift), double clicks and typed keys go to
// the model list; the widget shows its entries, selection and current entry.
// A list that DropRoutes names drags its selected entries; one it names as a
// target takes drops (ControlView's drag handling).
//
// Above the entries, inside the list's frame, the view shows how many entries
// there are and a filter box: the entries that do not contain what is typed
// there (case, accents and a number's punctuation ignored, as the lookups
// match) are hidden, and a hidden entry is unselected, so that the transfer
// buttons move only entries the operator sees. The filter is the view's own:
// the model list and what is sent to the server do not change.
#include "shell/gui/ControlView.h"

#include <QListView>

#include <vector>

class ListBoxModel;
class QLabel;
class QLineEdit;
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
    QLineEdit* Filter() const { return filter_; }
    QLabel* Count() const { return count_; }
    QWidget* FocusWidget() override;

protected:
    QPalette::ColorRole ColorRole() const override { return QPalette::Base; }
    void Detach() override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void updateGeometries() override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Hides the entries the filter leaves out and shows the count; with
    // unselect, unselects the hidden entries in the model.
    void ApplyFilter(bool unselect);
    // The next entry shown from row on, going by step; row itself when none.
    int ShownFrom(int row, int step) const;
    int StripHeight() const;
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
    QWidget* strip_;
    QLabel* count_;
    QLineEdit* filter_;
};
