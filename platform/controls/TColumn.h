#pragma once
// One column of a data grid: the field it shows, its width and title. Columns
// are items of the grid's Columns collection, owned by the grid.
#include "platform/model/TObject.h"

#include <string>

class TDBGrid;
class TField;

class TColumn : public TObject {
public:
    DECLARE_CLASS_NAME(TColumn)
    explicit TColumn(TDBGrid* grid) : grid_(grid) {}

    TDBGrid* Grid() const { return grid_; }
    const std::string& FieldName() const { return fieldName_; }
    void SetFieldName(const std::string& value);
    // 0 means the default width, taken from the field's size.
    int Width() const { return width_; }
    void SetWidth(int value);
    // The title: the caption set on the column, else the field's display label.
    std::string Title() const;
    void SetTitleCaption(const std::string& value);
    // The grid's data set's field of this name, or nullptr.
    TField* Field() const;
    // The width the column is drawn with.
    int DisplayWidth() const;

private:
    TDBGrid* grid_;
    std::string fieldName_;
    int width_ = 0;
    std::string titleCaption_;
};
