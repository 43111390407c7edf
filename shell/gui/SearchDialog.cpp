#include "shell/gui/SearchDialog.h"

#include "platform/controls/TApplication.h"
#include "platform/data/TDataSet.h"
#include "shell/SearchMatch.h"
#include "shell/gui/DataSetRowsModel.h"
#include "shell/gui/GuiConvert.h"
#include "shell/gui/RowsTableView.h"
#include "shell/gui/ShellTexts.h"

#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

SearchDialog::SearchDialog(TDataSet* DataSet, QWidget* parent)
    : QDialog(parent),
      dataSet_(DataSet),
      model_(new DataSetRowsModel(DataSet, this)),
      edit_(new QLineEdit(this)),
      table_(new RowsTableView(model_, this)),
      outcome_(new QLabel(this))
{
    setWindowTitle(ShellTexts::Text(ShellTexts::kSearchTitle));
    setModal(true);
    auto* prompt = new QLabel(ShellTexts::Text(ShellTexts::kSearchPrompt), this);
    prompt->setBuddy(edit_);
    table_->setFocusPolicy(Qt::NoFocus);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(6, 6, 6, 6);
    layout->addWidget(prompt);
    layout->addWidget(edit_);
    layout->addWidget(table_);
    layout->addWidget(outcome_);
    outcome_->hide();
    connect(edit_, &QLineEdit::textEdited, this, &SearchDialog::Search);
    connect(table_, &QTableView::doubleClicked, this, [this](const QModelIndex& index) {
        MoveTo(index.row());
        accept();
    });
    resize(460, 320);
    ShowCurrent();
    edit_->setFocus();
}

void SearchDialog::Search(const QString& text)
{
    std::optional<std::string> wanted = GuiConvert::FromQt(text);
    if (!wanted || dataSet_ == nullptr) {
        return;
    }
    TDataSet* ds = dataSet_;
    std::string value = *wanted;
    bool found = true;
    Application().Dispatch([ds, value, &found] {
        int row = SearchMatch::FirstMatch(ds, value);
        found = row >= 0;
        if (found) {
            SearchMatch::MoveTo(ds, row);
        }
    });
    outcome_->setText(found ? QString() : ShellTexts::Text(ShellTexts::kSearchNothing, {value}));
    outcome_->setVisible(!found);
    ShowCurrent();
}

void SearchDialog::MoveTo(int row)
{
    if (dataSet_ == nullptr) {
        return;
    }
    TDataSet* ds = dataSet_;
    Application().Dispatch([ds, row] { SearchMatch::MoveTo(ds, row); });
    ShowCurrent();
}

void SearchDialog::ShowCurrent()
{
    int row = dataSet_ != nullptr && dataSet_->Active() ? dataSet_->RecNo() : -1;
    if (row >= 0 && row < model_->rowCount()) {
        QModelIndex index = model_->index(row, 0);
        table_->selectionModel()->setCurrentIndex(index,
                                                  QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        table_->scrollTo(index);
    } else {
        table_->clearSelection();
    }
}

void SearchDialog::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        accept();
        return;
    }
    QDialog::keyPressEvent(event);
}
