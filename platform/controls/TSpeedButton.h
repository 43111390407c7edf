#pragma once
// A flat toolbar button. It never takes the focus, so clicking it leaves the
// focus (and the active control) where it was. A disabled button ignores
// clicks.
#include "platform/controls/TControl.h"

class TSpeedButton : public TControl {
public:
    DECLARE_CLASS_NAME(TSpeedButton)
    explicit TSpeedButton(TComponent* AOwner) : TControl(AOwner) {}

    bool Flat() const { return flat_; }
    void SetFlat(bool value) { flat_ = value; }
    // Name of the glyph image: a strip of NumGlyphs images (normal, disabled).
    const std::string& Glyph() const { return glyph_; }
    void SetGlyph(const std::string& value)
    {
        glyph_ = value;
        NotifyChanged();
    }
    int NumGlyphs() const { return numGlyphs_; }
    void SetNumGlyphs(int value) { numGlyphs_ = value; }
    // Keyboard shortcut text shown in the hint, such as "Ctrl+Right".
    const std::string& ShortCut() const { return shortCut_; }
    void SetShortCut(const std::string& value) { shortCut_ = value; }

    // An operator's click: ignored while the button does not take input.
    void OperatorClick()
    {
        if (IsEnabledInChain() && IsShowing()) {
            Click();
        }
    }

private:
    bool flat_ = true;
    std::string glyph_;
    int numGlyphs_ = 1;
    std::string shortCut_;
};
