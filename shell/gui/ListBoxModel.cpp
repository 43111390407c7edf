#include "shell/gui/ListBoxModel.h"

#include "platform/controls/TCustomForm.h"
#include "platform/controls/TListBox.h"
#include "shell/gui/GuiConvert.h"
#include "shell/gui/ShellTexts.h"

#include <QApplication>
#include <QColor>
#include <QFont>
#include <QPalette>
#include <QSize>

ListBoxModel::ListBoxModel(TListBox* list, QObject* parent) : QAbstractListModel(parent), list_(list)
{
    rows_ = list_ != nullptr ? list_->Count() : 0;
}

void ListBoxModel::RowInserted(int index)
{
    if (stale_ || list_ == nullptr || index < 0 || index > rows_ || list_->Count() != rows_ + 1) {
        stale_ = true;
        return;
    }
    beginInsertRows(QModelIndex(), index, index);
    ++rows_;
    endInsertRows();
}

void ListBoxModel::RowDeleted(int index)
{
    if (stale_ || list_ == nullptr || index < 0 || index >= rows_ || list_->Count() != rows_ - 1) {
        stale_ = true;
        return;
    }
    beginRemoveRows(QModelIndex(), index, index);
    --rows_;
    endRemoveRows();
}

void ListBoxModel::Refresh()
{
    ++refreshCount_;
    stale_ = false;
    int count = list_ != nullptr ? list_->Count() : 0;
    if (count != rows_) {
        beginResetModel();
        rows_ = count;
        endResetModel();
    } else if (rows_ > 0) {
        emit dataChanged(index(0), index(rows_ - 1));
    }
}

void ListBoxModel::Detach()
{
    beginResetModel();
    list_ = nullptr;
    rows_ = 0;
    stale_ = false;
    endResetModel();
}

bool ListBoxModel::HasFocus() const
{
    TCustomForm* form = list_->GetParentForm();
    return form != nullptr && form->ActiveControl() == list_;
}

int ListBoxModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : rows_;
}

QVariant ListBoxModel::data(const QModelIndex& index, int role) const
{
    int row = index.row();
    if (list_ == nullptr || !index.isValid() || row < 0 || row >= list_->Count()) {
        return {};
    }
    switch (role) {
    case Qt::DisplayRole: return GuiConvert::ToQt(list_->Item(row));
    case Qt::BackgroundRole:
        if (list_->Selected(row)) {
            if (HasFocus()) {
                return QApplication::palette().brush(QPalette::Active, QPalette::Highlight);
            }
            // Without the focus the selection stays marked, as a tint: the
            // highlight is where the focus is.
            QColor highlight = QApplication::palette().color(QPalette::Active, QPalette::Highlight);
            QColor base = QApplication::palette().color(QPalette::Active, QPalette::Base);
            return QColor((highlight.red() + 2 * base.red()) / 3, (highlight.green() + 2 * base.green()) / 3,
                          (highlight.blue() + 2 * base.blue()) / 3);
        }
        return {};
    case Qt::ForegroundRole:
        if (list_->Selected(row) && HasFocus()) {
            return QApplication::palette().brush(QPalette::Active, QPalette::HighlightedText);
        }
        return {};
    case Qt::FontRole:
        // An entry standing for a change the server does not hold yet is
        // drawn as the grid draws such a row.
        if (list_->ItemPending(row)) {
            QFont font;
            font.setItalic(true);
            return font;
        }
        return {};
    case Qt::ToolTipRole:
        if (list_->ItemPending(row)) {
            return ShellTexts::Text(ShellTexts::kNotStored);
        }
        return {};
    case Qt::SizeHintRole: return QSize(1, list_->ItemHeight());
    default: return {};
    }
}
