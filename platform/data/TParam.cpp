#include "platform/data/TParam.h"

#include "platform/model/ClassRegistration.h"

namespace {

const EnumNames<TFieldType> fieldTypeNames = {
    {"ftString", TFieldType::ftString},
    {"ftInteger", TFieldType::ftInteger},
};

const EnumNames<TParamType> paramTypeNames = {
    {"ptUnknown", TParamType::ptUnknown}, {"ptInput", TParamType::ptInput},
    {"ptOutput", TParamType::ptOutput},   {"ptInputOutput", TParamType::ptInputOutput},
    {"ptResult", TParamType::ptResult},
};

// An item of a query's Params collection.
const ClassRegistration<TParam> paramClass("TParam", "TObject", nullptr, [](ClassBuilder<TParam>& c) {
    c.RegisterProperty("Name", &TParam::Name, &TParam::SetName);
    c.RegisterEnumProperty("DataType", fieldTypeNames, &TParam::DataType, &TParam::SetDataType);
    c.RegisterEnumProperty("ParamType", paramTypeNames, &TParam::ParamType, &TParam::SetParamType);
});

} // namespace
