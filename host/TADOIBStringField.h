#pragma once
// A text column of a query on the local database.
#include "platform/data/TStringField.h"

class TADOIBStringField : public TStringField {
public:
    DECLARE_CLASS_NAME(TADOIBStringField)
    explicit TADOIBStringField(TComponent* AOwner);
};
