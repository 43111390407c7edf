#pragma once
// The table of a lookup or search window: a data set's rows, read only, one
// whole row selected at a time, without row numbers, its columns as wide as
// their contents and the last one filling the rest.
#include <QTableView>

class QAbstractItemModel;

class RowsTableView : public QTableView {
    Q_OBJECT
public:
    RowsTableView(QAbstractItemModel* model, QWidget* parent);
};
