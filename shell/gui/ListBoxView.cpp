#include "shell/gui/ListBoxView.h"

#include "platform/controls/TListBox.h"
#include "shell/gui/DropRoutes.h"
#include "shell/gui/ListBoxModel.h"

#include <QDragEnterEvent>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QTimer>

#include <algorithm>

ListBoxView::ListBoxView(TListBox* list, QWidget* parent, FormView* form, ControlView* parentView)
    : QListView(parent), ControlView(list, this, form, parentView), model_(new ListBoxModel(list, this))
{
    setFocusPolicy(Qt::NoFocus);
    setModel(model_);
    setSelectionMode(QAbstractItemView::NoSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setUniformItemSizes(true);
    setFrameShape(QFrame::StyledPanel);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    // Drops arrive at the viewport, which must take them, and are handled
    // by the view.
    setAcceptDrops(true);
    viewport()->setAcceptDrops(true);
    Track(list->ItemInserted.Connect([this](int index) { model_->RowInserted(index); }));
    Track(list->ItemDeleted.Connect([this](int index) { model_->RowDeleted(index); }));
    Track(list->ItemsChanged.Connect([this] { ItemsChanged(); }));
    SyncFromModel();
    SyncItems();
}

TListBox* ListBoxView::List() const
{
    return static_cast<TListBox*>(Control());
}

void ListBoxView::Detach()
{
    model_->Detach();
}

void ListBoxView::SyncFromModel()
{
    ControlView::SyncFromModel();
}

void ListBoxView::ItemsChanged()
{
    if (!pending_) {
        pending_ = true;
        QTimer::singleShot(0, this, [this] { SyncItems(); });
    }
}

void ListBoxView::SyncItems()
{
    pending_ = false;
    TListBox* list = List();
    if (list == nullptr) {
        return;
    }
    model_->Refresh();
    int index = list->ItemIndex();
    QModelIndex current = index >= 0 ? model_->index(index) : QModelIndex();
    if (currentIndex() != current) {
        selectionModel()->setCurrentIndex(current, QItemSelectionModel::NoUpdate);
    }
    // The entry the operator reached comes into view: the current one when it
    // moved, else one selected without moving it (a search over the list
    // selects the row it found and leaves the current entry where it was).
    std::vector<int> selected = list->SelectedIndexes();
    int reached = -1;
    if (index != shownIndex_) {
        reached = index;
    } else {
        for (int entry : selected) {
            if (!std::binary_search(shownSelection_.begin(), shownSelection_.end(), entry)) {
                reached = entry;
                break;
            }
        }
    }
    shownIndex_ = index;
    shownSelection_ = std::move(selected);
    if (reached >= 0) {
        scrollTo(model_->index(reached));
    }
}

int ListBoxView::RowsPerPage() const
{
    TListBox* list = List();
    int height = list != nullptr && list->ItemHeight() > 0 ? list->ItemHeight() : 13;
    return std::max(1, viewport()->height() / height);
}

bool ListBoxView::HandleKey(QKeyEvent* event)
{
    TListBox* list = List();
    Qt::KeyboardModifiers mods = event->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier);
    if (list == nullptr || mods != Qt::NoModifier || list->Count() == 0) {
        return false;
    }
    int current = list->ItemIndex();
    int last = list->Count() - 1;
    int target = 0;
    switch (event->key()) {
    case Qt::Key_Up: target = current < 0 ? 0 : current - 1; break;
    case Qt::Key_Down: target = current + 1; break;
    case Qt::Key_PageUp: target = current - RowsPerPage(); break;
    case Qt::Key_PageDown: target = current + RowsPerPage(); break;
    case Qt::Key_Home: target = 0; break;
    case Qt::Key_End: target = last; break;
    default: return false;
    }
    target = std::clamp(target, 0, last);
    if (target == current) {
        return true;
    }
    TShiftState shift = event->modifiers() & Qt::ShiftModifier ? TShiftState::ssShift : TShiftState::ssNone;
    Input([list, target, shift] { list->MouseClick(target, shift); });
    return true;
}

void ListBoxView::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) {
        event->accept();
        return;
    }
    if (pending_) {
        SyncItems();
    }
    int row = indexAt(event->position().toPoint()).row();
    TShiftState shift = TShiftState::ssNone;
    if (event->modifiers() & Qt::ControlModifier) {
        shift = TShiftState::ssCtrl;
    } else if (event->modifiers() & Qt::ShiftModifier) {
        shift = TShiftState::ssShift;
    }
    TListBox* list = List();
    pendingClick_ = -1;
    ArmDrag(event->position().toPoint(), row >= 0);
    if (row >= 0 && shift == TShiftState::ssNone && list->Selected(row) && DropRoutes::IsSource(list)) {
        // A press on a selected entry may start dragging the whole selection:
        // the click that would select that entry alone waits for the release.
        pendingClick_ = row;
        Input([list] {
            if (list->IsEnabledInChain() && list->CanFocus()) {
                list->SetFocus();
            }
        });
        event->accept();
        return;
    }
    Input([list, row, shift] { list->MouseClick(row, shift); });
    event->accept();
}

void ListBoxView::mouseMoveEvent(QMouseEvent* event)
{
    if (DragMoved(event)) {
        pendingClick_ = -1;
    }
    event->accept();
}

void ListBoxView::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton && pendingClick_ >= 0) {
        int row = pendingClick_;
        pendingClick_ = -1;
        TListBox* list = List();
        if (list != nullptr) {
            Input([list, row] { list->MouseClick(row, TShiftState::ssNone); });
        }
    }
    event->accept();
}

void ListBoxView::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton) {
        if (pending_) {
            SyncItems();
        }
        int row = indexAt(event->position().toPoint()).row();
        TListBox* list = List();
        Input([list, row] { list->MouseDblClick(row); });
    }
    event->accept();
}

void ListBoxView::dragEnterEvent(QDragEnterEvent* event)
{
    DragOver(event);
}

void ListBoxView::dragMoveEvent(QDragMoveEvent* event)
{
    DragOver(event);
}

void ListBoxView::dropEvent(QDropEvent* event)
{
    Drop(event);
}
