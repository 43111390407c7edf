#include "shell/gui/GridModel.h"

#include "platform/controls/TColumn.h"
#include "platform/controls/TDBGrid.h"
#include "platform/data/TDataSet.h"
#include "platform/data/TField.h"
#include "shell/gui/GuiConvert.h"
#include "shell/gui/ShellTexts.h"

#include <QFont>

GridModel::GridModel(TDBGrid* grid, QObject* parent) : QAbstractTableModel(parent), grid_(grid) {}

std::vector<GridModel::Column> GridModel::ReadColumns() const
{
    std::vector<Column> out;
    if (grid_ == nullptr) {
        return out;
    }
    for (TColumn* c : grid_->VisibleColumns()) {
        out.push_back({c->FieldName(), GuiConvert::ToQt(c->Title()), c->DisplayWidth()});
    }
    return out;
}

int GridModel::DataSetRows() const
{
    TDataSet* ds = grid_ != nullptr ? grid_->ShownDataSet() : nullptr;
    return ds != nullptr ? ds->RecordCount() : 0;
}

void GridModel::RowInserted(int row)
{
    if (row < 0 || row > rows_ || DataSetRows() != rows_ + 1 || columns_.empty()) {
        Refresh();
        return;
    }
    beginInsertRows(QModelIndex(), row, row);
    ++rows_;
    endInsertRows();
}

void GridModel::RowDeleted(int row)
{
    if (row < 0 || row >= rows_ || DataSetRows() != rows_ - 1 || columns_.empty()) {
        Refresh();
        return;
    }
    beginRemoveRows(QModelIndex(), row, row);
    --rows_;
    endRemoveRows();
}

void GridModel::Refresh()
{
    ++refreshCount_;
    std::vector<Column> columns = ReadColumns();
    int rows = DataSetRows();
    bool sameShape = rows == rows_ && columns.size() == columns_.size();
    for (size_t i = 0; sameShape && i < columns.size(); ++i) {
        sameShape = columns[i].fieldName == columns_[i].fieldName;
    }
    if (!sameShape) {
        beginResetModel();
        columns_ = std::move(columns);
        rows_ = rows;
        endResetModel();
        return;
    }
    if (columns != columns_) {
        columns_ = std::move(columns);
        emit headerDataChanged(Qt::Horizontal, 0, static_cast<int>(columns_.size()) - 1);
    }
    if (rows_ > 0 && !columns_.empty()) {
        emit dataChanged(index(0, 0), index(rows_ - 1, static_cast<int>(columns_.size()) - 1));
    }
}

bool GridModel::RefreshColumns()
{
    std::vector<Column> columns = ReadColumns();
    if (columns == columns_) {
        return false;
    }
    if (columns.size() != columns_.size()) {
        Refresh();
        return true;
    }
    columns_ = std::move(columns);
    emit headerDataChanged(Qt::Horizontal, 0, static_cast<int>(columns_.size()) - 1);
    return true;
}

void GridModel::Detach()
{
    beginResetModel();
    grid_ = nullptr;
    columns_.clear();
    rows_ = 0;
    endResetModel();
}

int GridModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : rows_;
}

int GridModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(columns_.size());
}

QVariant GridModel::data(const QModelIndex& index, int role) const
{
    if (grid_ == nullptr || !index.isValid()) {
        return {};
    }
    if (role == Qt::FontRole || role == Qt::ToolTipRole) {
        // A row whose change the server may not hold stands out, and says
        // why: not sent yet, or sent and its answer lost.
        TDataSet* shown = grid_->ShownDataSet();
        if (shown == nullptr) {
            return {};
        }
        const char* why = nullptr;
        if (shown->RowInDoubt(index.row())) {
            why = ShellTexts::kInDoubt;
        } else if (shown->RowUpdateStatus(index.row()) != TUpdateStatus::usUnmodified) {
            why = ShellTexts::kNotStored;
        }
        if (why == nullptr) {
            return {};
        }
        if (role == Qt::ToolTipRole) {
            return ShellTexts::Text(why);
        }
        QFont font;
        font.setItalic(true);
        return font;
    }
    if (role != Qt::DisplayRole) {
        return {};
    }
    int column = index.column();
    if (column < 0 || column >= static_cast<int>(columns_.size())) {
        return {};
    }
    TDataSet* ds = grid_->ShownDataSet();
    if (ds == nullptr) {
        return {};
    }
    TField* field = ds->FindField(columns_[static_cast<size_t>(column)].fieldName);
    if (field == nullptr) {
        return {};
    }
    return GuiConvert::CellText(ds, index.row(), field->Index());
}

QVariant GridModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 &&
        section < static_cast<int>(columns_.size())) {
        return columns_[static_cast<size_t>(section)].title;
    }
    if (orientation == Qt::Horizontal && role == Qt::TextAlignmentRole) {
        return QVariant::fromValue(Qt::AlignLeft | Qt::AlignVCenter);
    }
    return {};
}
