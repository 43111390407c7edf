#include "platform/TForm.h"

#include "platform/forms/ClassRegistration.h"

namespace {
const ClassRegistration<TForm> formClass("TForm", "TCustomForm");
} // namespace
