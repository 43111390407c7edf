#include "shell/ShellMainForm.h"

ShellMainForm::ShellMainForm(TComponent* AOwner) : TForm(AOwner)
{
    SetName("frmPrincipal");
    SetFormStyle(TFormStyle::fsMDIForm);
    SetBounds(0, 0, 1100, 720);
}
