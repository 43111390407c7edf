#pragma once
// The lookup list: the rows of a data set under the lookup button's title,
// one column per visible field titled by its display label. Enter or a double
// click picks the current row, Escape cancels. It starts on the data set's
// current row.
#include <QDialog>

#include <optional>
#include <string>

class DataSetRowsModel;
class QTableView;
class TDataSet;

class LookupDialog : public QDialog {
    Q_OBJECT
public:
    LookupDialog(const std::string& Title, const TDataSet* DataSet, QWidget* Parent = nullptr);

    // The row picked (0-based), once the dialog was accepted.
    std::optional<int> Picked() const { return picked_; }
    QTableView* Table() const { return table_; }

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void Pick(int row);

    DataSetRowsModel* model_;
    QTableView* table_;
    std::optional<int> picked_;
};
