#include "platform/controls/TPrintDialog.h"

#include "platform/model/ClassRegistration.h"

namespace {
const ClassRegistration<TPrintDialog> printDialogClass("TPrintDialog", "TComponent", [](ClassBuilder<TPrintDialog>& c) {
    c.RegisterIntegerProperty("Copies", &TPrintDialog::Copies, &TPrintDialog::SetCopies, 1, 999);
});
const ClassRegistration<TPrinterSetupDialog> printerSetupClass("TPrinterSetupDialog", "TComponent");
} // namespace
