#include "host/TADOIBStringField.h"
#include "platform/forms/ClassRegistration.h"

namespace {

const ClassRegistration<TADOIBStringField> adoibStringFieldClass("TADOIBStringField", "TStringField");

} // namespace

TADOIBStringField::TADOIBStringField(TComponent* AOwner) : TStringField(AOwner) {}
