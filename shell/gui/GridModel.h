#pragma once
// The rows of a model data grid as a Qt table: one column per visible grid
// column, titled by its title, the rows of the data set the grid shows (none
// while its data source is disabled). Cells are read on demand, so a refresh
// costs the same for ten rows as for ten thousand; a row the data set added
// or removed alone is inserted or removed alone, and the view keeps its
// scroll position and lays out nothing else.
#include <QAbstractTableModel>

#include <string>
#include <vector>

class TDBGrid;

class GridModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit GridModel(TDBGrid* grid, QObject* parent = nullptr);

    // Reads the grid again: columns, rows and the data set shown.
    void Refresh();
    // One row added at, or removed from, row; anything that does not fit
    // the rows held reads the grid again instead.
    void RowInserted(int row);
    void RowDeleted(int row);
    void Detach();
    // How many times the rows were read again (tests count redraws).
    int RefreshCount() const { return refreshCount_; }

    struct Column {
        std::string fieldName;
        QString title;
        int width = 0;
        bool operator==(const Column&) const = default;
    };
    const std::vector<Column>& Columns() const { return columns_; }
    // Reads the columns' titles and widths again; true when they changed.
    bool RefreshColumns();

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    std::vector<Column> ReadColumns() const;
    int DataSetRows() const;

    TDBGrid* grid_;
    std::vector<Column> columns_;
    int rows_ = 0;
    int refreshCount_ = 0;
};
