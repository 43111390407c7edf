#pragma once
// One named parameter of a query: its type and the value that is bound when
// the query opens. Parameters are items of a query's Params collection.
#include "platform/core/DataPacket.h"
#include "platform/core/Variant.h"
#include "platform/model/TObject.h"

#include <string>
#include <utility>

enum class TParamType { ptUnknown, ptInput, ptOutput, ptInputOutput, ptResult };

class TParam : public TObject {
public:
    DECLARE_CLASS_NAME(TParam)
    explicit TParam(std::string name = {}, TFieldType dataType = TFieldType::ftString)
        : name_(std::move(name)), dataType_(dataType)
    {}

    const std::string& Name() const { return name_; }
    void SetName(const std::string& value) { name_ = value; }
    TFieldType DataType() const { return dataType_; }
    void SetDataType(TFieldType value) { dataType_ = value; }
    // Kept for the form; every parameter of a read-only query is an input.
    TParamType ParamType() const { return paramType_; }
    void SetParamType(TParamType value) { paramType_ = value; }

    const Variant& Value() const { return value_; }
    void SetValue(const Variant& value) { value_ = value; }
    // Null reads as the empty text.
    std::string AsString() const { return value_.AsString(); }
    void SetAsString(const std::string& value) { value_ = Variant(value); }
    bool IsNull() const { return value_.IsNull(); }
    void Clear() { value_ = Variant::Null(); }

private:
    std::string name_;
    TFieldType dataType_;
    TParamType paramType_ = TParamType::ptUnknown;
    Variant value_;
};
