#include "host/TADOIBStringField.h"
#include "platform/model/ClassRegistration.h"

namespace {

const ClassRegistration<TADOIBStringField> adoibStringFieldClass("TADOIBStringField", "TStringField");

} // namespace

TADOIBStringField::TADOIBStringField(TComponent* AOwner) : TStringField(AOwner) {}
