#pragma once
// A text field. Its Size is the longest text it takes, in characters; a
// longer text is refused with an error naming the field, never cut.
#include "platform/data/TField.h"

class TStringField : public TField {
public:
    DECLARE_CLASS_NAME(TStringField)
    // The size starts at 20, the usual width of a text column.
    explicit TStringField(TComponent* AOwner);
};
