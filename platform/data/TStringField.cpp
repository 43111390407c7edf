#include "platform/data/TStringField.h"
#include "platform/model/ClassRegistration.h"

namespace {

const ClassRegistration<TStringField> stringFieldClass("TStringField", "TField");

} // namespace

TStringField::TStringField(TComponent* AOwner) : TField(AOwner, TFieldType::ftString)
{
    SetSize(20);
}
