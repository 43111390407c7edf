#pragma once
// An edit whose typing follows an edit mask: each typed character must suit
// its slot (and takes the slot's case), and no more characters are taken than
// the mask has slots. A text written by the program is kept as it is, even
// when it does not suit the mask (a whole registration number written while
// the mask still has four slots); the edit shows it through the mask when it
// suits it, and as it stands otherwise. Without a mask, MaxLength limits the
// typing.
//
// A typing mask, when set, decides what the operator may type in place of the
// edit mask, which then only shapes the display: an edit shown under one
// kind's mask ("999.999.999-99") still takes a longer number of another kind
// when its typing mask has room for it. Characters the typing mask refuses
// (punctuation in a digit mask) are dropped, so a number can be typed with or
// without its punctuation. With a typing mask the text is shown through the
// edit mask only once it fills it: a person's number is not shown under a
// company's mask while it is typed.
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
    const std::string& TypingMask() const { return typing_.Mask(); }
    void SetTypingMask(const std::string& value);

    std::string DisplayText() const override;
    // Whether the current text suits the mask.
    bool FitsMask() const;
    int DisplayOffset(int textPosition) const override;

protected:
    bool ShownThroughMask() const;
    bool AcceptTyped(std::string& candidate, int position, char& typed) override;

private:
    ::EditMask mask_;
    ::EditMask typing_;
};
