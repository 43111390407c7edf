#pragma once
// The rows of a data set as a read-only Qt table for the shell's own windows
// (lookup list, search window): one column per visible field, titled by its
// display label. The texts are read once, when the window opens; the data set
// does not change while such a window is open.
#include <QAbstractTableModel>
#include <QStringList>

#include <vector>

class TDataSet;

class DataSetRowsModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit DataSetRowsModel(const TDataSet* DataSet, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    QStringList titles_;
    std::vector<QStringList> rows_;
};
