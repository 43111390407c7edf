#include "platform/controls/TForm.h"

#include "platform/model/ClassRegistration.h"

namespace {
const ClassRegistration<TForm> formClass("TForm", "TCustomForm");
} // namespace
