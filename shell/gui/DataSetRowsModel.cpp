#include "shell/gui/DataSetRowsModel.h"

#include "platform/data/TDataSet.h"
#include "platform/data/TField.h"
#include "shell/gui/GuiConvert.h"

DataSetRowsModel::DataSetRowsModel(const TDataSet* DataSet, QObject* parent) : QAbstractTableModel(parent)
{
    std::vector<int> fields;
    for (TField* f : DataSet->Fields()) {
        if (f->Visible()) {
            fields.push_back(f->Index());
            titles_.push_back(GuiConvert::ToQt(f->DisplayName()));
        }
    }
    int count = DataSet->Active() ? DataSet->RecordCount() : 0;
    rows_.reserve(static_cast<size_t>(count));
    for (int r = 0; r < count; ++r) {
        QStringList row;
        for (int f : fields) {
            row.push_back(GuiConvert::CellText(DataSet, r, f));
        }
        rows_.push_back(row);
    }
}

int DataSetRowsModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int DataSetRowsModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(titles_.size());
}

QVariant DataSetRowsModel::data(const QModelIndex& index, int role) const
{
    if (role != Qt::DisplayRole || !index.isValid() || index.row() >= static_cast<int>(rows_.size()) ||
        index.column() >= static_cast<int>(titles_.size())) {
        return {};
    }
    return rows_[static_cast<size_t>(index.row())].value(index.column());
}

QVariant DataSetRowsModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 && section < titles_.size()) {
        return titles_.at(section);
    }
    return {};
}
