#pragma once
// The lookup list: the rows of a data set under the lookup button's title,
// one column per visible field titled by its display label, with a filter
// edit above them. What the operator types narrows the rows to those where a
// shown column contains it, case and accents ignored (SearchMatch's rule).
// The arrows move, Enter or a double click picks the current row, Escape
// cancels. It starts on the data set's current row.
#include <QDialog>

#include <optional>
#include <string>

class DataSetRowsModel;
class QLineEdit;
class QTableView;
class TDataSet;

class LookupDialog : public QDialog {
    Q_OBJECT
public:
    LookupDialog(const std::string& title, const TDataSet* DataSet, QWidget* parent = nullptr);

    // The row picked (0-based, in the data set's order), once the dialog was
    // accepted.
    std::optional<int> Picked() const { return picked_; }
    QTableView* Table() const { return table_; }
    QLineEdit* Filter() const { return filter_; }
    // Rows left by the filter, in the data set's order.
    int ShownRows() const;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Pick(int row);
    void ApplyFilter(const QString& text);

    const TDataSet* dataSet_;
    DataSetRowsModel* model_;
    QLineEdit* filter_;
    QTableView* table_;
    std::optional<int> picked_;
    bool forwarding_ = false;
};
