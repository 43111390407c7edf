#include "shell/gui/GridView.h"

#include "platform/controls/TColumn.h"
#include "platform/controls/TCustomForm.h"
#include "platform/controls/TDBGrid.h"
#include "platform/data/TDataSet.h"
#include "shell/gui/CountedHeader.h"
#include "shell/gui/GridModel.h"

#include <QDragEnterEvent>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QSortFilterProxyModel>
#include <QTimer>

#include <algorithm>

GridView::GridView(TDBGrid* grid, QWidget* parent, FormView* form, ControlView* parentView)
    : QTableView(parent),
      ControlView(grid, this, form, parentView),
      model_(new GridModel(grid, this)),
      sorted_(new QSortFilterProxyModel(this)),
      header_(new CountedHeader(this))
{
    setFocusPolicy(Qt::NoFocus);
    setHorizontalHeader(header_);
    sorted_->setSourceModel(model_);
    sorted_->setSortCaseSensitivity(Qt::CaseInsensitive);
    sorted_->setSortLocaleAware(true);
    setModel(sorted_);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectItems);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setTabKeyNavigation(false);
    setWordWrap(false);
    setCornerButtonEnabled(false);
    // Drops arrive at the viewport, which must take them, and are handled
    // by the view.
    setAcceptDrops(true);
    viewport()->setAcceptDrops(true);
    horizontalHeader()->setStretchLastSection(false);
    horizontalHeader()->setHighlightSections(false);
    horizontalHeader()->setSectionsClickable(true);
    horizontalHeader()->setSortIndicatorShown(false);
    connect(horizontalHeader(), &QHeaderView::sectionClicked, this, [this](int column) {
        Qt::SortOrder order = sorted_->sortColumn() == column && sorted_->sortOrder() == Qt::AscendingOrder
                                  ? Qt::DescendingOrder
                                  : Qt::AscendingOrder;
        horizontalHeader()->setSortIndicatorShown(true);
        horizontalHeader()->setSortIndicator(column, order);
        sorted_->sort(column, order);
        SyncCurrent();
    });
    horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    connect(horizontalHeader(), &QHeaderView::sectionResized, this, &GridView::ColumnResized);
    Track(grid->RowInserted.Connect([this](int row) { ApplyRow([this, row] { model_->RowInserted(row); }); }));
    Track(grid->RowDeleted.Connect([this](int row) { ApplyRow([this, row] { model_->RowDeleted(row); }); }));
    Track(grid->Redraw.Connect([this] { SyncRows(); }));
    if (TCustomForm* model = grid->GetParentForm()) {
        Track(model->FocusChanged.Connect([this] { viewport()->update(); }));
    }
    // Column titles and widths change through the columns, which only ask
    // for a repaint.
    Track(grid->Painted.Connect([this] {
        SyncColumns();
        SyncCurrent();
    }));
    SyncFromModel();
    SyncRows();
}

TDBGrid* GridView::Grid() const
{
    return static_cast<TDBGrid*>(Control());
}

void GridView::Detach()
{
    model_->Detach();
}

void GridView::SyncFromModel()
{
    TDBGrid* grid = Grid();
    if (grid == nullptr) {
        return;
    }
    ControlView::SyncFromModel();
    const TDBGridOptions& options = grid->Options();
    horizontalHeader()->setVisible(options.count(TDBGridOption::dgTitles) != 0);
    verticalHeader()->setVisible(options.count(TDBGridOption::dgIndicator) != 0);
    setShowGrid(options.count(TDBGridOption::dgColLines) != 0 || options.count(TDBGridOption::dgRowLines) != 0);
    horizontalHeader()->setSectionResizeMode(
        options.count(TDBGridOption::dgColumnResize) != 0 ? QHeaderView::Interactive : QHeaderView::Fixed);
    int rowHeight = fontMetrics().height() + 4;
    if (verticalHeader()->defaultSectionSize() != rowHeight) {
        verticalHeader()->setMinimumSectionSize(rowHeight);
        verticalHeader()->setDefaultSectionSize(rowHeight);
    }
    SyncColumns();
}

void GridView::ApplyRow(const std::function<void()>& change)
{
    if (Grid() == nullptr) {
        return;
    }
    applying_ = true;
    change();
    applying_ = false;
    neededWidth_ = -1;
    ShowCount();
}

void GridView::ShowCount()
{
    header_->SetCount(model_->rowCount());
}

int GridView::SourceRow(int viewRow) const
{
    QModelIndex index = sorted_->mapToSource(sorted_->index(viewRow, 0));
    return index.isValid() ? index.row() : -1;
}

int GridView::ViewRow(int sourceRow) const
{
    QModelIndex index = sorted_->mapFromSource(model_->index(sourceRow, 0));
    return index.isValid() ? index.row() : -1;
}

QRect GridView::CellRect(int row, int column) const
{
    return visualRect(sorted_->mapFromSource(model_->index(row, column)));
}

void GridView::SyncRows()
{
    if (Grid() == nullptr) {
        return;
    }
    applying_ = true;
    model_->Refresh();
    applying_ = false;
    ShowCount();
    SyncColumns();
    SyncCurrent();
}

void GridView::SyncColumns()
{
    if (Grid() == nullptr) {
        return;
    }
    applying_ = true;
    model_->RefreshColumns();
    const auto& columns = model_->Columns();
    for (size_t i = 0; i < columns.size(); ++i) {
        int section = static_cast<int>(i);
        if (horizontalHeader()->sectionSize(section) != columns[i].width) {
            horizontalHeader()->resizeSection(section, columns[i].width);
        }
    }
    applying_ = false;
    neededWidth_ = -1;
    FitLastColumnLater();
}

void GridView::FitLastColumnLater()
{
    if (fitPending_) {
        return;
    }
    fitPending_ = true;
    QTimer::singleShot(0, this, [this] {
        fitPending_ = false;
        FitLastColumn(true);
    });
}

bool GridView::FitLastColumn(bool measure)
{
    TDBGrid* grid = Grid();
    const auto& columns = model_->Columns();
    if (grid == nullptr || columns.empty()) {
        return false;
    }
    int last = static_cast<int>(columns.size()) - 1;
    auto visible = grid->VisibleColumns();
    int wanted = columns.back().width;
    int others = 0;
    for (int i = 0; i < last; ++i) {
        others += horizontalHeader()->sectionSize(i);
    }
    int room = viewport()->width() - others;
    if (last < static_cast<int>(visible.size()) && visible[static_cast<size_t>(last)]->Width() == 0) {
        if (others + wanted > viewport()->width()) {
            if (neededWidth_ < 0 && !measure) {
                FitLastColumnLater();
                return false;
            }
            if (neededWidth_ < 0) {
                neededWidth_ = std::max(sizeHintForColumn(last), horizontalHeader()->sectionSizeHint(last));
            }
            wanted = std::min(wanted, std::max(room, neededWidth_));
        }
    }
    // The last column takes the room the others leave, so that a wider
    // window leaves no empty band beside it.
    wanted = std::max(wanted, room);
    if (horizontalHeader()->sectionSize(last) == wanted) {
        return false;
    }
    bool was = applying_;
    applying_ = true;
    horizontalHeader()->resizeSection(last, wanted);
    applying_ = was;
    return true;
}

void GridView::paintEvent(QPaintEvent* event)
{
    QTableView::paintEvent(event);
    if (hasFocus() && !currentIndex().isValid()) {
        QPainter painter(viewport());
        painter.setPen(QPen(palette().color(QPalette::Highlight), 2));
        painter.drawRect(viewport()->rect().adjusted(1, 1, -1, -1));
    }
}

void GridView::updateGeometries()
{
    QTableView::updateGeometries();
    if (!fitting_) {
        fitting_ = true;
        if (FitLastColumn(false)) {
            QTableView::updateGeometries();
        }
        fitting_ = false;
    }
}

void GridView::scrollTo(const QModelIndex& index, ScrollHint hint)
{
    QTableView::scrollTo(index, hint);
    // Back to the first column when the cell stays in view from there.
    if (index.isValid() && horizontalScrollBar()->value() != 0) {
        int right = columnViewportPosition(index.column()) + horizontalOffset() + columnWidth(index.column());
        if (right <= viewport()->width()) {
            horizontalScrollBar()->setValue(0);
        }
    }
}

void GridView::SyncCurrent()
{
    TDBGrid* grid = Grid();
    if (grid == nullptr) {
        return;
    }
    TDataSet* ds = grid->ShownDataSet();
    int row = ds != nullptr ? ds->RecNo() : -1;
    int column = std::clamp(grid->SelectedIndex(), 0, std::max(0, model_->columnCount() - 1));
    if (row < 0 || row >= model_->rowCount() || model_->columnCount() == 0) {
        selectionModel()->clearSelection();
        selectionModel()->setCurrentIndex(QModelIndex(), QItemSelectionModel::NoUpdate);
        shownRow_ = -1;
        return;
    }
    QModelIndex current = sorted_->mapFromSource(model_->index(row, column));
    if (currentIndex() != current || !selectionModel()->isSelected(current)) {
        selectionModel()->setCurrentIndex(current, QItemSelectionModel::ClearAndSelect);
    }
    if (row != shownRow_) {
        shownRow_ = row;
        scrollTo(current);
    }
}

void GridView::ColumnResized(int logicalIndex, int /*oldSize*/, int newSize)
{
    TDBGrid* grid = Grid();
    if (applying_ || grid == nullptr) {
        return;
    }
    Input([grid, logicalIndex, newSize] {
        auto columns = grid->VisibleColumns();
        if (logicalIndex >= 0 && logicalIndex < static_cast<int>(columns.size())) {
            columns[static_cast<size_t>(logicalIndex)]->SetWidth(newSize);
        }
    });
}

int GridView::RowsPerPage() const
{
    int rowHeight = std::max(1, verticalHeader()->defaultSectionSize());
    return std::max(1, viewport()->height() / rowHeight);
}

bool GridView::HandleKey(QKeyEvent* event)
{
    TDBGrid* grid = Grid();
    // Ctrl with the arrows belongs to the screen's shortcuts.
    if (grid == nullptr || (event->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier))) {
        return false;
    }
    TDataSet* ds = grid->ShownDataSet();
    int page = RowsPerPage();
    std::function<void()> move;
    switch (event->key()) {
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
    case Qt::Key_Home:
    case Qt::Key_End: {
        if (ds == nullptr) {
            return true;
        }
        if (sorted_->sortColumn() < 0 && (event->key() == Qt::Key_Up || event->key() == Qt::Key_Down)) {
            bool up = event->key() == Qt::Key_Up;
            move = [ds, up] { up ? ds->Prior() : ds->Next(); };
            break;
        }
        // In the order shown: the data set's own, or the sorted one.
        int rows = sorted_->rowCount();
        int at = ds->RecNo() >= 0 ? ViewRow(ds->RecNo()) : -1;
        int target = at;
        switch (event->key()) {
        case Qt::Key_Up: target = at - 1; break;
        case Qt::Key_Down: target = at + 1; break;
        case Qt::Key_PageUp: target = at - page; break;
        case Qt::Key_PageDown: target = std::max(0, at) + page; break;
        case Qt::Key_Home: target = 0; break;
        default: target = rows - 1; break;
        }
        if (rows == 0) {
            return true;
        }
        target = std::clamp(target, 0, rows - 1);
        int row = SourceRow(target);
        if (target == at || row < 0) {
            return true;
        }
        move = [ds, row] {
            if (row < ds->RecordCount()) {
                ds->SetRecNo(row);
            }
        };
        break;
    }
    case Qt::Key_Left: move = [grid] { grid->SetSelectedIndex(grid->SelectedIndex() - 1); }; break;
    case Qt::Key_Right: move = [grid] { grid->SetSelectedIndex(grid->SelectedIndex() + 1); }; break;
    default: return false;
    }
    bool rowKey = event->key() != Qt::Key_Left && event->key() != Qt::Key_Right;
    if (rowKey && ds == nullptr) {
        return true;
    }
    Input([move] { move(); });
    return true;
}

void GridView::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) {
        event->accept();
        return;
    }
    QModelIndex index = sorted_->mapToSource(indexAt(event->position().toPoint()));
    TDBGrid* grid = Grid();
    ArmDrag(event->position().toPoint(), index.isValid());
    if (index.isValid()) {
        int row = index.row();
        int column = index.column();
        // The current row, made so by the click, is what a drag carries.
        Input([grid, row, column] { grid->CellClick(row, column); });
    } else {
        Input([grid] { grid->SetFocus(); });
    }
    event->accept();
}

void GridView::mouseMoveEvent(QMouseEvent* event)
{
    DragMoved(event);
    event->accept();
}

void GridView::mouseReleaseEvent(QMouseEvent* event)
{
    event->accept();
}

void GridView::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton) {
        TDBGrid* grid = Grid();
        Input([grid] {
            if (grid->IsEnabledInChain()) {
                grid->DblClick();
            }
        });
    }
    event->accept();
}

void GridView::dragEnterEvent(QDragEnterEvent* event)
{
    DragOver(event);
}

void GridView::dragMoveEvent(QDragMoveEvent* event)
{
    DragOver(event);
}

void GridView::dropEvent(QDropEvent* event)
{
    Drop(event);
}
