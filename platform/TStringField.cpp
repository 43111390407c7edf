#include "platform/TStringField.h"
#include "platform/forms/ClassRegistration.h"

namespace {

const ClassRegistration<TStringField> stringFieldClass("TStringField", "TField");

} // namespace

TStringField::TStringField(TComponent* AOwner) : TField(AOwner, TFieldType::ftString)
{
    SetSize(20);
}
