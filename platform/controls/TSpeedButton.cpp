#include "platform/controls/TSpeedButton.h"

#include "platform/model/ClassRegistration.h"

namespace {
const ClassRegistration<TSpeedButton> speedButtonClass("TSpeedButton", "TControl", [](ClassBuilder<TSpeedButton>& c) {
    c.RegisterProperty("Flat", &TSpeedButton::Flat, &TSpeedButton::SetFlat);
    c.RegisterProperty("Glyph", &TSpeedButton::Glyph, &TSpeedButton::SetGlyph);
    c.RegisterIntegerProperty("NumGlyphs", &TSpeedButton::NumGlyphs, &TSpeedButton::SetNumGlyphs, 1, 4);
    c.RegisterProperty("ShortCut", &TSpeedButton::ShortCut, &TSpeedButton::SetShortCut);
});
} // namespace
