#include "shell/gui/LookupDialog.h"

#include "platform/data/TDataSet.h"
#include "shell/SearchMatch.h"
#include "shell/gui/DataSetRowsModel.h"
#include "shell/gui/GuiConvert.h"
#include "shell/gui/RowsTableView.h"
#include "shell/gui/ShellTexts.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

#include <vector>

LookupDialog::LookupDialog(const std::string& title, const TDataSet* DataSet, QWidget* parent)
    : QDialog(parent),
      dataSet_(DataSet),
      model_(new DataSetRowsModel(DataSet, this)),
      filter_(new QLineEdit(this)),
      table_(new RowsTableView(model_, this))
{
    setWindowTitle(GuiConvert::ToQt(title));
    setModal(true);
    auto* prompt = new QLabel(ShellTexts::Text(ShellTexts::kLookupPrompt), this);
    prompt->setBuddy(filter_);
    filter_->setAccessibleName(ShellTexts::Text(ShellTexts::kLookupPrompt).remove('&'));
    filter_->setClearButtonEnabled(true);
    table_->setAccessibleName(GuiConvert::ToQt(title));
    table_->setTabKeyNavigation(false);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(6, 6, 6, 6);
    layout->addWidget(prompt);
    layout->addWidget(filter_);
    layout->addWidget(table_);
    int start = DataSet->Active() ? DataSet->RecNo() : -1;
    if (start < 0 && model_->rowCount() > 0) {
        start = 0;
    }
    if (start >= 0 && start < model_->rowCount()) {
        table_->setCurrentIndex(model_->index(start, 0));
    }
    connect(table_, &QTableView::doubleClicked, this, [this](const QModelIndex& index) { Pick(index.row()); });
    connect(filter_, &QLineEdit::textChanged, this, &LookupDialog::ApplyFilter);
    // Keys typed while the list has the focus go to the filter, so the
    // operator may type wherever the focus is.
    table_->installEventFilter(this);
    resize(480, 360);
    filter_->setFocus();
}

int LookupDialog::ShownRows() const
{
    int shown = 0;
    for (int r = 0; r < model_->rowCount(); ++r) {
        if (!table_->isRowHidden(r)) {
            ++shown;
        }
    }
    return shown;
}

void LookupDialog::ApplyFilter(const QString& text)
{
    // Text that Windows-1252 cannot hold is in no row.
    std::optional<std::string> wanted = GuiConvert::FromQt(text);
    std::vector<int> rows = wanted ? SearchMatch::MatchingRows(dataSet_, *wanted) : std::vector<int>{};
    std::vector<bool> keep(static_cast<size_t>(model_->rowCount()), false);
    for (int r : rows) {
        if (r >= 0 && r < model_->rowCount()) {
            keep[static_cast<size_t>(r)] = true;
        }
    }
    for (int r = 0; r < model_->rowCount(); ++r) {
        table_->setRowHidden(r, !keep[static_cast<size_t>(r)]);
    }
    QModelIndex current = table_->currentIndex();
    if (!current.isValid() || table_->isRowHidden(current.row())) {
        if (rows.empty()) {
            table_->selectionModel()->clear();
        } else {
            table_->setCurrentIndex(model_->index(rows.front(), 0));
        }
    }
    if (table_->currentIndex().isValid()) {
        table_->scrollTo(table_->currentIndex());
    }
}

void LookupDialog::Pick(int row)
{
    if (row < 0 || row >= model_->rowCount() || table_->isRowHidden(row)) {
        return;
    }
    picked_ = row;
    accept();
}

bool LookupDialog::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == table_ && event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        bool printable = !key->text().isEmpty() && key->text().at(0).isPrint() &&
                         !(key->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier));
        if (printable || key->key() == Qt::Key_Backspace) {
            filter_->setFocus();
            QApplication::sendEvent(filter_, event);
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void LookupDialog::keyPressEvent(QKeyEvent* event)
{
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter: Pick(table_->currentIndex().row()); return;
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
        // The filter edit leaves the arrows alone; they move in the list. A
        // key the list does not take comes back here and stops.
        if (!forwarding_ && !table_->hasFocus()) {
            forwarding_ = true;
            QApplication::sendEvent(table_, event);
            forwarding_ = false;
            return;
        }
        break;
    default: break;
    }
    QDialog::keyPressEvent(event);
}
