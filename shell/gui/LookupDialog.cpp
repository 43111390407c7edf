#include "shell/gui/LookupDialog.h"

#include "platform/data/TDataSet.h"
#include "shell/gui/DataSetRowsModel.h"
#include "shell/gui/GuiConvert.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QTableView>
#include <QVBoxLayout>

LookupDialog::LookupDialog(const std::string& Title, const TDataSet* DataSet, QWidget* Parent)
    : QDialog(Parent), model_(new DataSetRowsModel(DataSet, this)), table_(new QTableView(this))
{
    setWindowTitle(GuiConvert::ToQt(Title));
    setModal(true);
    table_->setModel(model_);
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setSelectionMode(QAbstractItemView::SingleSelection);
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->setTabKeyNavigation(false);
    table_->verticalHeader()->hide();
    table_->verticalHeader()->setDefaultSectionSize(table_->fontMetrics().height() + 4);
    table_->horizontalHeader()->setStretchLastSection(true);
    table_->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    table_->resizeColumnsToContents();
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(6, 6, 6, 6);
    layout->addWidget(table_);
    int start = DataSet->Active() ? DataSet->RecNo() : -1;
    if (start < 0 && model_->rowCount() > 0) {
        start = 0;
    }
    if (start >= 0) {
        table_->setCurrentIndex(model_->index(start, 0));
    }
    connect(table_, &QTableView::doubleClicked, this, [this](const QModelIndex& index) { Pick(index.row()); });
    resize(480, 320);
    table_->setFocus();
}

void LookupDialog::Pick(int row)
{
    if (row < 0 || row >= model_->rowCount()) {
        return;
    }
    picked_ = row;
    accept();
}

void LookupDialog::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        Pick(table_->currentIndex().row());
        return;
    }
    QDialog::keyPressEvent(event);
}
