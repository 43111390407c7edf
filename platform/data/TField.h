#pragma once
// One column of a data set. A field holds no value of its own: it reads and
// writes the current row of its data set (or the row being edited or
// inserted). Persistent fields are created by the form that owns them and join
// their data set's field list, in order, when their DataSet is set.
//
// Failure behaviour: every refused operation raises EDatabaseError naming the
// field: a field without a data set or on a closed data set, a write while the
// data set is neither editing nor inserting, a text longer than the field's
// Size (the text is never cut), a text that is no whole number for an integer
// field.
#include "platform/core/DataPacket.h"
#include "platform/core/Variant.h"
#include "platform/model/TComponent.h"

#include <string>

class TDataSet;

class TField : public TComponent {
public:
    DECLARE_CLASS_NAME(TField)
    explicit TField(TComponent* AOwner, TFieldType dataType = TFieldType::ftString);
    ~TField() override;

    const std::string& FieldName() const { return fieldName_; }
    void SetFieldName(const std::string& value);
    TFieldType DataType() const { return dataType_; }
    // Maximum length of a text value; 0 sets no limit.
    int Size() const { return size_; }
    void SetSize(int value);
    // Empty means "not set": DisplayName then gives the field name.
    const std::string& DisplayLabel() const { return displayLabel_; }
    void SetDisplayLabel(const std::string& value);
    const std::string& DisplayName() const { return displayLabel_.empty() ? fieldName_ : displayLabel_; }
    const std::string& EditMask() const { return editMask_; }
    void SetEditMask(const std::string& value);
    bool Visible() const { return visible_; }
    void SetVisible(bool value);
    // A required field must hold a value when its row is posted.
    bool Required() const { return required_; }
    void SetRequired(bool value) { required_ = value; }

    TDataSet* DataSet() const { return dataSet_; }
    // Joins the data set's field list (at its end) and leaves the previous
    // one. A field cannot join an open data set.
    void SetDataSet(TDataSet* value);
    // Position in the data set's field list; -1 without a data set.
    int Index() const;
    void SetIndex(int value);

    // Null reads as the empty text.
    std::string AsString() const;
    void SetAsString(const std::string& value);
    bool IsNull() const;
    void Clear();
    Variant Value() const;
    // Null clears the field; any other value is written as its text.
    void SetValue(const Variant& value);

    // The value as stored in the row: std::nullopt for Null.
    FieldValue RawValue() const;
    // Checks a value against this field's type and size without writing it;
    // raises the same error a write would.
    void Validate(const FieldValue& value) const;

    // The description that travels in a data packet.
    PacketField ToPacketField() const;

    // Whether the field was created by its data set from the data it loaded
    // (and goes when the data set closes) rather than declared by a form.
    bool IsDefaultField() const { return defaultField_; }
    void SetDefaultField(bool value) { defaultField_ = value; }

private:
    friend class TDataSet;
    std::string Describe() const;
    // The data set holding the field's value; EDatabaseError when it has none.
    TDataSet& Holder() const;

    std::string fieldName_;
    TFieldType dataType_;
    int size_ = 0;
    std::string displayLabel_;
    std::string editMask_;
    bool visible_ = true;
    bool required_ = false;
    bool defaultField_ = false;
    TDataSet* dataSet_ = nullptr;
};
