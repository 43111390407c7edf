#pragma once
// The shell's main window: the frame that holds the screens as child windows.
#include "platform/controls/TForm.h"

class ShellMainForm : public TForm {
public:
    explicit ShellMainForm(TComponent* AOwner);
};
