#pragma once
// The print and printer-setup dialogs a screen carries for its print command.
// This platform prints nothing itself; the components hold the settings a
// report would use.
#include "platform/model/TComponent.h"

class TPrintDialog : public TComponent {
public:
    DECLARE_CLASS_NAME(TPrintDialog)
    explicit TPrintDialog(TComponent* AOwner) : TComponent(AOwner) {}
    int Copies() const { return copies_; }
    void SetCopies(int value) { copies_ = value < 1 ? 1 : value; }

private:
    int copies_ = 1;
};

class TPrinterSetupDialog : public TComponent {
public:
    DECLARE_CLASS_NAME(TPrinterSetupDialog)
    explicit TPrinterSetupDialog(TComponent* AOwner) : TComponent(AOwner) {}
};
