#pragma once
// An edit whose typing follows an edit mask: each typed character must suit
// its slot (and takes the slot's case), and no more characters are taken than
// the mask has slots. A text written by the program is kept as it is, even
// when it does not suit the mask (a whole registration number written while
// the mask still has four slots); the edit shows it through the mask when it
// suits it, and as it stands otherwise. Without a mask, MaxLength limits the
// typing.
#include "platform/controls/TCustomEdit.h"
#include "platform/core/EditMask.h"

class TMaskEdit : public TCustomEdit {
public:
    DECLARE_CLASS_NAME(TMaskEdit)
    explicit TMaskEdit(TComponent* AOwner) : TCustomEdit(AOwner) {}

    const std::string& EditMask() const { return mask_.Mask(); }
    // Applies to further typing and to the display of the current text.
    void SetEditMask(const std::string& value);
    const ::EditMask& Mask() const { return mask_; }

    std::string DisplayText() const override;
    // Whether the current text suits the mask.
    bool FitsMask() const;

protected:
    bool AcceptTyped(std::string& candidate, int position, char& typed) override;

private:
    ::EditMask mask_;
};
