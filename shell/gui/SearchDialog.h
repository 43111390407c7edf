#pragma once
// The search window over a data set: what the operator types moves the data
// set's current row to the first row that matches (case and accents
// ignored); the rows are listed below with the current one marked. Enter or
// Escape closes the window; a double click makes that row current and closes.
// A text that no row matches is said so below the rows. The columns are the
// data set's visible fields under their labels.
// Each move is SearchMatch::MoveTo's, as in the headless shell, so that the
// screen owning the data set follows it (selects the found service).
#include <QDialog>

class DataSetRowsModel;
class QLabel;
class QLineEdit;
class QTableView;
class TDataSet;

class SearchDialog : public QDialog {
    Q_OBJECT
public:
    SearchDialog(TDataSet* DataSet, QWidget* parent = nullptr);

    QLineEdit* Edit() const { return edit_; }
    QTableView* Table() const { return table_; }
    // The line that says a search found nothing (hidden otherwise).
    QLabel* Outcome() const { return outcome_; }
    // Drops the data set (it is going away); the window then searches nothing.
    void Detach() { dataSet_ = nullptr; }

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void Search(const QString& text);
    void MoveTo(int row);
    void ShowCurrent();

    TDataSet* dataSet_;
    DataSetRowsModel* model_;
    QLineEdit* edit_;
    QTableView* table_;
    QLabel* outcome_;
};
