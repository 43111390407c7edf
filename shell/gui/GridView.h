#pragma once
// A data grid. It follows the grid's Redraw signal, which the model holds
// back while the data set's controls are suspended, so loading many rows
// costs one refresh. Cell clicks go to CellClick, typed keys to the model
// form, row keys move the data set's current row; the operator may resize
// the columns when the grid's options allow it.
#include "shell/gui/ControlView.h"

#include <QTableView>

class GridModel;
class TDBGrid;

class GridView : public QTableView, public ControlView {
    Q_OBJECT
public:
    GridView(TDBGrid* Grid, QWidget* Parent, FormView* Form, ControlView* ParentView);

    void SyncFromModel() override;
    bool TakesKeys() const override { return true; }
    bool HandleKey(QKeyEvent* event) override;
    GridModel* TableModel() const { return model_; }
    // Shows the model's rows and current row again.
    void SyncRows();

protected:
    QPalette::ColorRole ColorRole() const override { return QPalette::Base; }
    void Detach() override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    TDBGrid* Grid() const;
    void SyncColumns();
    void SyncCurrent();
    void ColumnResized(int logicalIndex, int oldSize, int newSize);
    int RowsPerPage() const;

    GridModel* model_;
    bool applying_ = false;
    int shownRow_ = -1;
};
