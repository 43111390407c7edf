#pragma once
// A grid over the rows of a data source: one column per field of its Columns
// collection (or per visible field when the collection is empty), the current
// row marked. It follows its data source through the data links, so while the
// data set's controls are suspended it redraws nothing. A read-only grid
// changes no value; Escape cancels an edit or insert in progress.
#include "platform/controls/TColumn.h"
#include "platform/controls/TWinControl.h"
#include "platform/core/Signal.h"
#include "platform/data/TDataSet.h"

#include <memory>
#include <set>
#include <vector>

class TDataSource;
class TField;

enum class TDBGridOption {
    dgEditing,
    dgAlwaysShowEditor,
    dgTitles,
    dgIndicator,
    dgColumnResize,
    dgColLines,
    dgRowLines,
    dgTabs,
    dgRowSelect,
    dgAlwaysShowSelection,
    dgConfirmDelete,
    dgCancelOnExit,
    dgMultiSelect,
};
using TDBGridOptions = std::set<TDBGridOption>;

class TDBGrid : public TWinControl {
public:
    DECLARE_CLASS_NAME(TDBGrid)
    explicit TDBGrid(TComponent* AOwner);
    ~TDBGrid() override;

    bool IsFocusable() const override { return true; }
    bool WantsTab() const override { return options_.count(TDBGridOption::dgTabs) != 0; }

    TDataSource* DataSource() const { return dataSource_; }
    void SetDataSource(TDataSource* value);
    // The data set shown: the data source's, when the source is enabled.
    TDataSet* ShownDataSet() const;

    const TDBGridOptions& Options() const { return options_; }
    void SetOptions(const TDBGridOptions& value);
    bool ReadOnly() const { return readOnly_; }
    void SetReadOnly(bool value) { readOnly_ = value; }

    int ColumnCount() const { return static_cast<int>(columns_.size()); }
    TColumn* Columns(int index) const { return columns_.at(static_cast<size_t>(index)).get(); }
    TColumn* AddColumn();
    void ClearColumns();
    // The columns drawn: the collection, or one per visible field.
    std::vector<TColumn*> VisibleColumns() const;

    int SelectedIndex() const { return selectedIndex_; }
    void SetSelectedIndex(int value);
    // The field of the current column, or nullptr.
    TField* SelectedField() const;

    void SetOnCellClick(TDBGridClickEvent value) { onCellClick_ = std::move(value); }

    // An operator's click on a row: the focus comes to the grid, the row
    // becomes current, then the cell-click event runs.
    void CellClick(int row, int Column = -1);

    // Raised whenever the grid must be drawn again (rows, current row, state).
    Signal<> Redraw;
    // Raised just before Redraw when one row was added at, or removed from,
    // the row given and the others stayed as they were, so that a view which
    // has followed every change since its last full read can insert or remove
    // that one row instead of reading them all again.
    Signal<int> RowInserted;
    Signal<int> RowDeleted;

protected:
    void DoKeyPress(char& Key) override;
    void Notification(TComponent* AComponent, TOperation Operation) override;

private:
    void LinkEvent(TDataEvent event = TDataEvent::deRefresh, int row = -1);

    TDataSource* dataSource_ = nullptr;
    Connection link_;
    TDBGridOptions options_;
    bool readOnly_ = false;
    std::vector<std::unique_ptr<TColumn>> columns_;
    std::vector<std::unique_ptr<TColumn>> defaultColumns_;
    int selectedIndex_ = 0;
    TDBGridClickEvent onCellClick_;
};
