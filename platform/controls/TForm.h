#pragma once
// A form class that can be created by name from a resource.
#include "platform/controls/TCustomForm.h"

class TForm : public TCustomForm {
public:
    DECLARE_CLASS_NAME(TForm)
    explicit TForm(TComponent* AOwner) : TCustomForm(AOwner) {}
};
