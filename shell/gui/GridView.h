#pragma once
// A data grid. It follows the grid's Redraw signal, which the model holds
// back while the data set's controls are suspended, so loading many rows
// costs one refresh. Cell clicks go to CellClick, typed keys to the model
// form, row keys move the data set's current row; the operator may resize
// the columns when the grid's options allow it. A grid that DropRoutes names
// drags its current row and takes drops (ControlView's drag handling).
//
// A last column left at its default width gives up what the grid lacks, down
// to what its title and texts need, so columns that fit show without a
// sideways scroll bar; moving to a cell keeps the first column in view
// whenever the cell is in view with it.
//
// A click on a column's title sorts the rows shown by that column, a second
// one the other way round; the data set keeps its order, so nothing the
// screen sends changes. The arrow and page keys go in the order shown. Above
// the titles the grid says how many rows it shows (CountedHeader).
#include "shell/gui/ControlView.h"

#include <QTableView>

#include <functional>

class CountedHeader;
class GridModel;
class QSortFilterProxyModel;
class TDBGrid;

class GridView : public QTableView, public ControlView {
    Q_OBJECT
public:
    GridView(TDBGrid* grid, QWidget* parent, FormView* form, ControlView* parentView);

    void SyncFromModel() override;
    bool TakesKeys() const override { return true; }
    // A drag over the view and a drop on it (public for the tests, which
    // cannot start a real drag on the offscreen platform).
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    bool HandleKey(QKeyEvent* event) override;
    GridModel* TableModel() const { return model_; }
    // Where a row and column of the data set are shown.
    QRect CellRect(int row, int column) const;
    CountedHeader* Header() const { return header_; }
    // Shows the model's rows and current row again.
    void SyncRows();

protected:
    QPalette::ColorRole ColorRole() const override { return QPalette::Base; }
    void Detach() override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void updateGeometries() override;
    // An empty grid with the focus says so with a focus frame, as a grid
    // with rows does with its current cell.
    void paintEvent(QPaintEvent* event) override;

public:
    void scrollTo(const QModelIndex& index, ScrollHint hint = EnsureVisible) override;

private:
    // Sizes the last column for the room left; true when it changed. Without
    // measure, a column whose texts are to be measured again is left for
    // FitLastColumnLater.
    bool FitLastColumn(bool measure);
    // The same once the running event is over: measuring the texts is the
    // dearest part of a refresh, and one command refreshes the rows several
    // times.
    void FitLastColumnLater();
    TDBGrid* Grid() const;
    void SyncColumns();
    void SyncCurrent();
    void ColumnResized(int logicalIndex, int oldSize, int newSize);
    int RowsPerPage() const;
    // The data-set row shown at a view row, and the other way round (-1 when
    // there is none).
    int SourceRow(int viewRow) const;
    int ViewRow(int sourceRow) const;
    void ShowCount();

    // A row-level change of the model, applied as model changes are.
    void ApplyRow(const std::function<void()>& change);

    GridModel* model_;
    QSortFilterProxyModel* sorted_;
    CountedHeader* header_;
    bool applying_ = false;
    bool fitting_ = false;
    bool fitPending_ = false;
    // What the last column's title and texts need (-1: to be measured again,
    // once the rows or columns changed); geometry updates reuse it.
    int neededWidth_ = -1;
    int shownRow_ = -1;
};
