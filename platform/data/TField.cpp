#include "platform/data/TField.h"

#include "platform/core/Exception.h"
#include "platform/data/TDataSet.h"
#include "platform/model/ClassRegistration.h"

#include <charconv>

namespace {

// Fields are created by the form as TStringField and the like, never as
// plain TField.
const ClassRegistration<TField> fieldClass("TField", "TComponent", nullptr, [](ClassBuilder<TField>& c) {
    c.RegisterProperty("FieldName", &TField::FieldName, &TField::SetFieldName);
    c.RegisterIntegerProperty("Size", &TField::Size, &TField::SetSize, 0, 65535);
    c.RegisterProperty("DisplayLabel", &TField::DisplayLabel, &TField::SetDisplayLabel);
    c.RegisterProperty("EditMask", &TField::EditMask, &TField::SetEditMask);
    c.RegisterProperty("Visible", &TField::Visible, &TField::SetVisible);
    c.RegisterProperty("Required", &TField::Required, &TField::SetRequired);
});

} // namespace

TField::TField(TComponent* AOwner, TFieldType dataType) : TComponent(AOwner), dataType_(dataType) {}

TField::~TField()
{
    if (dataSet_ != nullptr) {
        dataSet_->RemoveField(this);
    }
}

void TField::SetFieldName(const std::string& value)
{
    if (fieldName_ != value) {
        if (dataSet_ != nullptr && dataSet_->Active()) {
            throw EDatabaseError(Describe() + ": Cannot rename a field of an open dataset");
        }
        fieldName_ = value;
        NotifyChanged();
    }
}

void TField::SetSize(int value)
{
    if (value < 0) {
        throw EDatabaseError(Describe() + ": Invalid field size " + std::to_string(value));
    }
    if (size_ != value) {
        if (dataSet_ != nullptr && dataSet_->Active()) {
            throw EDatabaseError(Describe() + ": Cannot change the size of a field of an open dataset");
        }
        size_ = value;
        NotifyChanged();
    }
}

void TField::SetDisplayLabel(const std::string& value)
{
    if (displayLabel_ != value) {
        displayLabel_ = value;
        NotifyChanged();
    }
}

void TField::SetEditMask(const std::string& value)
{
    if (editMask_ != value) {
        editMask_ = value;
        NotifyChanged();
    }
}

void TField::SetVisible(bool value)
{
    if (visible_ != value) {
        visible_ = value;
        NotifyChanged();
    }
}

void TField::SetDataSet(TDataSet* value)
{
    if (value == dataSet_) {
        return;
    }
    // Checked first so that a refused move leaves the field where it was.
    if (value != nullptr && value->Active()) {
        throw EDatabaseError(Describe() + ": Cannot perform this operation on an open dataset");
    }
    if (dataSet_ != nullptr) {
        dataSet_->RemoveField(this);
    }
    if (value != nullptr) {
        value->AddField(this);
    }
}

int TField::Index() const
{
    if (dataSet_ == nullptr) {
        return -1;
    }
    const auto& fields = dataSet_->Fields();
    for (size_t i = 0; i < fields.size(); ++i) {
        if (fields[i] == this) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

void TField::SetIndex(int value)
{
    if (dataSet_ != nullptr) {
        dataSet_->MoveField(this, value);
    }
}

std::string TField::Describe() const
{
    std::string name = fieldName_.empty() ? Name() : fieldName_;
    return "Field '" + name + "'";
}

TDataSet& TField::Holder() const
{
    if (dataSet_ == nullptr) {
        throw EDatabaseError(Describe() + " has no dataset");
    }
    return *dataSet_;
}

FieldValue TField::RawValue() const
{
    return Holder().GetFieldValue(Index());
}

std::string TField::AsString() const
{
    FieldValue v = RawValue();
    return v ? std::move(*v) : std::string();
}

bool TField::IsNull() const
{
    return !RawValue().has_value();
}

Variant TField::Value() const
{
    FieldValue v = RawValue();
    if (!v) {
        return Variant::Null();
    }
    if (dataType_ == TFieldType::ftInteger) {
        std::int64_t n = 0;
        auto [end, ec] = std::from_chars(v->data(), v->data() + v->size(), n);
        if (ec == std::errc() && end == v->data() + v->size()) {
            return Variant(n);
        }
    }
    return Variant(*v);
}

void TField::Validate(const FieldValue& value) const
{
    if (!value) {
        return;
    }
    if (dataType_ == TFieldType::ftInteger) {
        std::int64_t n = 0;
        const char* first = value->data();
        const char* last = first + value->size();
        auto [end, ec] = std::from_chars(first, last, n);
        if (value->empty() || ec != std::errc() || end != last) {
            throw EDatabaseError("'" + *value + "' is not a valid integer value for " + Describe());
        }
        return;
    }
    if (size_ > 0 && static_cast<int>(value->size()) > size_) {
        throw EDatabaseError("Value too long for " + Describe() + ": " + std::to_string(value->size()) +
                             " characters, at most " + std::to_string(size_) + " allowed");
    }
}

void TField::SetAsString(const std::string& value)
{
    // An integer field has no empty value other than Null.
    if (value.empty() && dataType_ != TFieldType::ftString) {
        Clear();
        return;
    }
    Holder().SetFieldValue(this, value);
}

void TField::Clear()
{
    Holder().SetFieldValue(this, std::nullopt);
}

void TField::SetValue(const Variant& value)
{
    TDataSet& owner = Holder();
    if (value.IsNull()) {
        owner.SetFieldValue(this, std::nullopt);
        return;
    }
    if (value.GetKind() == Variant::Kind::Packet) {
        throw EDatabaseError("A data packet cannot be stored in " + Describe());
    }
    owner.SetFieldValue(this, value.AsString());
}

PacketField TField::ToPacketField() const
{
    return PacketField{fieldName_, dataType_, size_, required_};
}
