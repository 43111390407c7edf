#include "platform/controls/TDBGrid.h"

#include "platform/data/TDataSet.h"
#include "platform/data/TDataSource.h"
#include "platform/data/TField.h"
#include "platform/model/ClassRegistration.h"

#include <algorithm>

namespace {
const EnumNames<TDBGridOption> kGridOptionNames = {
    {"dgEditing", TDBGridOption::dgEditing},
    {"dgAlwaysShowEditor", TDBGridOption::dgAlwaysShowEditor},
    {"dgTitles", TDBGridOption::dgTitles},
    {"dgIndicator", TDBGridOption::dgIndicator},
    {"dgColumnResize", TDBGridOption::dgColumnResize},
    {"dgColLines", TDBGridOption::dgColLines},
    {"dgRowLines", TDBGridOption::dgRowLines},
    {"dgTabs", TDBGridOption::dgTabs},
    {"dgRowSelect", TDBGridOption::dgRowSelect},
    {"dgAlwaysShowSelection", TDBGridOption::dgAlwaysShowSelection},
    {"dgConfirmDelete", TDBGridOption::dgConfirmDelete},
    {"dgCancelOnExit", TDBGridOption::dgCancelOnExit},
    {"dgMultiSelect", TDBGridOption::dgMultiSelect},
};
const ClassRegistration<TColumn> columnClass("TColumn", "", nullptr, [](ClassBuilder<TColumn>& c) {
    c.RegisterProperty("FieldName", &TColumn::FieldName, &TColumn::SetFieldName);
    c.RegisterIntegerProperty("Width", &TColumn::Width, &TColumn::SetWidth, 0, 10000);
    c.RegisterProperty("Title.Caption", &TColumn::Title, &TColumn::SetTitleCaption);
});
const ClassRegistration<TDBGrid> gridClass("TDBGrid", "TWinControl", [](ClassBuilder<TDBGrid>& c) {
    c.RegisterComponentProperty<TDataSource>("DataSource", &TDBGrid::DataSource, &TDBGrid::SetDataSource);
    c.RegisterSetProperty("Options", kGridOptionNames, &TDBGrid::Options, &TDBGrid::SetOptions);
    c.RegisterProperty("ReadOnly", &TDBGrid::ReadOnly, &TDBGrid::SetReadOnly);
    c.RegisterCollectionProperty<TColumn>("Columns", "TColumn", &TDBGrid::ClearColumns, &TDBGrid::AddColumn);
    c.RegisterEvent<TDBGridClickEvent>("OnCellClick", &TDBGrid::SetOnCellClick);
});
} // namespace

void TColumn::SetFieldName(const std::string& value)
{
    fieldName_ = value;
    grid_->Invalidate();
}

void TColumn::SetWidth(int value)
{
    width_ = value < 0 ? 0 : value;
    grid_->Invalidate();
}

void TColumn::SetTitleCaption(const std::string& value)
{
    titleCaption_ = value;
    grid_->Invalidate();
}

std::string TColumn::Title() const
{
    if (!titleCaption_.empty()) {
        return titleCaption_;
    }
    if (TField* f = Field()) {
        return f->DisplayName();
    }
    return fieldName_;
}

TField* TColumn::Field() const
{
    TDataSource* source = grid_->DataSource();
    if (source == nullptr || source->DataSet() == nullptr) {
        return nullptr;
    }
    return source->DataSet()->FindField(fieldName_);
}

int TColumn::DisplayWidth() const
{
    if (width_ > 0) {
        return width_;
    }
    TField* f = Field();
    int chars = f != nullptr ? std::max<int>(f->Size(), static_cast<int>(f->DisplayName().size())) : 10;
    return std::clamp(chars * 7 + 4, 40, 400);
}

TDBGrid::TDBGrid(TComponent* AOwner) : TWinControl(AOwner)
{
    SetTabStop(true);
    SetColor(clWindow);
    options_ = {TDBGridOption::dgEditing,      TDBGridOption::dgTitles,        TDBGridOption::dgIndicator,
                TDBGridOption::dgColumnResize, TDBGridOption::dgColLines,      TDBGridOption::dgRowLines,
                TDBGridOption::dgTabs,         TDBGridOption::dgConfirmDelete, TDBGridOption::dgCancelOnExit};
}

TDBGrid::~TDBGrid()
{
    link_.Disconnect();
}

void TDBGrid::SetDataSource(TDataSource* value)
{
    if (dataSource_ == value) {
        return;
    }
    link_.Disconnect();
    dataSource_ = value;
    if (value != nullptr) {
        FreeNotification(value);
        link_ = value->DataLinks.Connect([this](TDataEvent event, TField*, int row) { LinkEvent(event, row); });
    }
    LinkEvent();
}

void TDBGrid::Notification(TComponent* AComponent, TOperation Operation)
{
    TWinControl::Notification(AComponent, Operation);
    if (Operation == TOperation::opRemove && AComponent == dataSource_) {
        link_.Disconnect();
        dataSource_ = nullptr;
    }
}

void TDBGrid::LinkEvent(TDataEvent event, int row)
{
    if (event == TDataEvent::deRowInserted) {
        RowInserted.Emit(row);
    } else if (event == TDataEvent::deRowDeleted) {
        RowDeleted.Emit(row);
    } else {
        defaultColumns_.clear();
    }
    Invalidate();
    Redraw.Emit();
}

TDataSet* TDBGrid::ShownDataSet() const
{
    if (dataSource_ == nullptr || !dataSource_->Enabled()) {
        return nullptr;
    }
    TDataSet* ds = dataSource_->DataSet();
    return ds != nullptr && ds->Active() ? ds : nullptr;
}

void TDBGrid::SetOptions(const TDBGridOptions& value)
{
    if (options_ != value) {
        options_ = value;
        NotifyChanged();
        Invalidate();
    }
}

TColumn* TDBGrid::AddColumn()
{
    columns_.push_back(std::make_unique<TColumn>(this));
    NotifyChanged();
    return columns_.back().get();
}

void TDBGrid::ClearColumns()
{
    columns_.clear();
    NotifyChanged();
}

std::vector<TColumn*> TDBGrid::VisibleColumns() const
{
    std::vector<TColumn*> out;
    if (!columns_.empty()) {
        for (const auto& c : columns_) {
            TField* f = c->Field();
            if (f == nullptr || f->Visible()) {
                out.push_back(c.get());
            }
        }
        return out;
    }
    if (defaultColumns_.empty() && dataSource_ != nullptr && dataSource_->DataSet() != nullptr) {
        auto* self = const_cast<TDBGrid*>(this);
        for (TField* f : dataSource_->DataSet()->Fields()) {
            if (f->Visible()) {
                auto col = std::make_unique<TColumn>(self);
                col->SetFieldName(f->FieldName());
                self->defaultColumns_.push_back(std::move(col));
            }
        }
    }
    for (const auto& c : defaultColumns_) {
        out.push_back(c.get());
    }
    return out;
}

void TDBGrid::SetSelectedIndex(int value)
{
    int n = static_cast<int>(VisibleColumns().size());
    selectedIndex_ = n == 0 ? 0 : std::clamp(value, 0, n - 1);
    Invalidate();
}

TField* TDBGrid::SelectedField() const
{
    auto cols = VisibleColumns();
    if (selectedIndex_ < 0 || selectedIndex_ >= static_cast<int>(cols.size())) {
        return nullptr;
    }
    return cols[static_cast<size_t>(selectedIndex_)]->Field();
}

void TDBGrid::CellClick(int row, int Column)
{
    if (!IsEnabledInChain()) {
        return;
    }
    if (CanFocus()) {
        SetFocus();
    }
    TDataSet* ds = ShownDataSet();
    if (ds != nullptr && row >= 0 && row < ds->RecordCount() && ds->RecNo() != row) {
        ds->SetRecNo(row);
    }
    if (Column >= 0) {
        SetSelectedIndex(Column);
    }
    auto cols = VisibleColumns();
    TColumn* col = selectedIndex_ >= 0 && selectedIndex_ < static_cast<int>(cols.size())
                       ? cols[static_cast<size_t>(selectedIndex_)]
                       : nullptr;
    if (onCellClick_) {
        onCellClick_(col);
    }
}

void TDBGrid::DoKeyPress(char& Key)
{
    TDataSet* ds = ShownDataSet();
    if (Key == 27) {
        if (ds != nullptr && (ds->State() == TDataSetState::dsEdit || ds->State() == TDataSetState::dsInsert)) {
            ds->Cancel();
        }
        return;
    }
    if (Key == '\t') {
        int n = static_cast<int>(VisibleColumns().size());
        if (n > 0) {
            SetSelectedIndex((selectedIndex_ + 1) % n);
        }
        return;
    }
    if (Key == '\r' || Key == '\b' || static_cast<unsigned char>(Key) < 32) {
        return;
    }
    // Typing a value into a cell: only an editable grid over an editable field.
    if (readOnly_ || options_.count(TDBGridOption::dgEditing) == 0 || ds == nullptr) {
        return;
    }
    TField* f = SelectedField();
    if (f == nullptr) {
        return;
    }
    if (ds->State() == TDataSetState::dsBrowse) {
        ds->Edit();
    }
    f->SetAsString(f->AsString() + Key);
}
