#pragma once
#include "platform/controls/TCustomEdit.h"

class TEdit : public TCustomEdit {
public:
    DECLARE_CLASS_NAME(TEdit)
    explicit TEdit(TComponent* AOwner) : TCustomEdit(AOwner) {}
};
