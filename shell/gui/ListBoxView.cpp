#include "shell/gui/ListBoxView.h"

#include "platform/controls/TCustomForm.h"
#include "platform/controls/TListBox.h"
#include "shell/SearchMatch.h"
#include "shell/gui/DropRoutes.h"
#include "shell/gui/FormView.h"
#include "shell/gui/GuiConvert.h"
#include "shell/gui/ListBoxModel.h"
#include "shell/gui/ShellTexts.h"

#include <QApplication>
#include <QDragEnterEvent>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QFontMetrics>
#include <QGridLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QTimer>

#include <algorithm>

ListBoxView::ListBoxView(TListBox* list, QWidget* parent, FormView* form, ControlView* parentView)
    : QListView(parent),
      ControlView(list, this, form, parentView),
      model_(new ListBoxModel(list, this)),
      strip_(new QWidget(this)),
      count_(new QLabel(strip_)),
      filter_(new QLineEdit(strip_))
{
    auto* filterLabel = new QLabel(ShellTexts::Text(ShellTexts::kListFilter), strip_);
    filterLabel->setBuddy(filter_);
    auto* grid = new QGridLayout(strip_);
    grid->setContentsMargins(2, 1, 2, 1);
    grid->setVerticalSpacing(1);
    grid->addWidget(count_, 0, 0, 1, 2);
    grid->addWidget(filterLabel, 1, 0);
    grid->addWidget(filter_, 1, 1);
    strip_->setAutoFillBackground(true);
    filter_->setClearButtonEnabled(true);
    // Reached by a click or its label's Alt key, never handed the focus by Qt
    // when the window becomes active.
    filter_->setFocusPolicy(Qt::ClickFocus);
    filter_->installEventFilter(this);
    filter_->setAccessibleName(filterLabel->text().remove(QLatin1Char('&')).remove(QLatin1Char(':')));
    connect(filter_, &QLineEdit::textChanged, this, [this] { ApplyFilter(true); });
    setViewportMargins(0, StripHeight(), 0, 0);
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
    if (TCustomForm* model = list->GetParentForm()) {
        // The selection's colours follow the focus.
        Track(model->FocusChanged.Connect([this] { viewport()->update(); }));
    }
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
    ApplyFilter(false);
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
    // The keys go over the entries the filter shows.
    switch (event->key()) {
    case Qt::Key_Up: target = ShownFrom(std::clamp(current - 1, 0, last), -1); break;
    case Qt::Key_Down: target = ShownFrom(std::clamp(current + 1, 0, last), 1); break;
    case Qt::Key_PageUp: target = ShownFrom(std::clamp(current - RowsPerPage(), 0, last), -1); break;
    case Qt::Key_PageDown: target = ShownFrom(std::clamp(current + RowsPerPage(), 0, last), 1); break;
    case Qt::Key_Home: target = ShownFrom(0, 1); break;
    case Qt::Key_End: target = ShownFrom(last, -1); break;
    default: return false;
    }
    target = std::clamp(target, 0, last);
    if (isRowHidden(target)) {
        return true;
    }
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

int ListBoxView::StripHeight() const
{
    return 2 * (QFontMetrics(QApplication::font()).height() + 8);
}

void ListBoxView::updateGeometries()
{
    QListView::updateGeometries();
    QRect area = viewport()->geometry();
    strip_->setGeometry(area.left(), area.top() - StripHeight(), area.width(), StripHeight());
}

QWidget* ListBoxView::FocusWidget()
{
    return filter_->hasFocus() ? static_cast<QWidget*>(filter_) : this;
}

int ListBoxView::ShownFrom(int row, int step) const
{
    int rows = model_->rowCount();
    for (int r = row; r >= 0 && r < rows; r += step) {
        if (!isRowHidden(r)) {
            return r;
        }
    }
    for (int r = row - step; r >= 0 && r < rows; r -= step) {
        if (!isRowHidden(r)) {
            return r;
        }
    }
    return row;
}

void ListBoxView::ApplyFilter(bool unselect)
{
    TListBox* list = List();
    if (list == nullptr) {
        return;
    }
    std::string wanted = GuiConvert::FromQt(filter_->text()).value_or("");
    int rows = model_->rowCount();
    int shown = 0;
    std::vector<int> hiddenSelected;
    for (int row = 0; row < rows && row < list->Count(); ++row) {
        bool match = wanted.empty() || SearchMatch::Contains(list->Item(row), wanted);
        if (isRowHidden(row) == match) {
            setRowHidden(row, !match);
        }
        if (match) {
            ++shown;
        } else if (list->Selected(row)) {
            hiddenSelected.push_back(row);
        }
    }
    if (wanted.empty()) {
        count_->setText(rows == 1 ? ShellTexts::Text(ShellTexts::kCountOne)
                                  : ShellTexts::Text(ShellTexts::kCount, {std::to_string(rows)}));
    } else {
        count_->setText(ShellTexts::Text(ShellTexts::kCountFiltered, {std::to_string(shown), std::to_string(rows)}));
    }
    if (unselect && !hiddenSelected.empty()) {
        Input([list, hiddenSelected] {
            for (int row : hiddenSelected) {
                if (row < list->Count()) {
                    list->SetSelected(row, false);
                }
            }
        });
    }
}

bool ListBoxView::eventFilter(QObject* watched, QEvent* event)
{
    if (watched != filter_) {
        return QListView::eventFilter(watched, event);
    }
    TListBox* list = List();
    if (event->type() == QEvent::FocusIn && list != nullptr) {
        // Filtering works on the list: the list takes the model's focus (its
        // header is left, and checked, as a click into the list does).
        TCustomForm* model = list->GetParentForm();
        if (model != nullptr && model->ActiveControl() != list) {
            Input([list] {
                if (list->IsEnabledInChain() && list->CanFocus()) {
                    list->SetFocus();
                }
            });
            if (Control() != nullptr && model->ActiveControl() == list) {
                filter_->setFocus(Qt::OtherFocusReason);
            }
        }
        return false;
    }
    if (event->type() != QEvent::KeyPress) {
        return false;
    }
    auto* key = static_cast<QKeyEvent*>(event);
    switch (key->key()) {
    case Qt::Key_Tab:
    case Qt::Key_Backtab: {
        // Tab goes on from the list, as from its entries.
        setFocus(Qt::OtherFocusReason);
        QKeyEvent again(QEvent::KeyPress, key->key(), key->modifiers(), key->text());
        QApplication::sendEvent(this, &again);
        return true;
    }
    case Qt::Key_Down:
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Escape: setFocus(Qt::OtherFocusReason); return true;
    default: return false;
    }
}
