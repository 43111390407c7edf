#include "platform/controls/TScrollBox.h"

#include "platform/model/ClassRegistration.h"

namespace {
const EnumNames<TBorderStyle> kBorderNames = {{"bsNone", TBorderStyle::bsNone}, {"bsSingle", TBorderStyle::bsSingle}};
const ClassRegistration<TScrollBox> scrollBoxClass("TScrollBox", "TWinControl", [](ClassBuilder<TScrollBox>& c) {
    c.RegisterEnumProperty("BorderStyle", kBorderNames, &TScrollBox::BorderStyle, &TScrollBox::SetBorderStyle);
});
} // namespace
