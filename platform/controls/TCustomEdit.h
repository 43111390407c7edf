#pragma once
// A one-line text edit. Writing a different text runs the change event before
// the write returns; writing the same text runs nothing. Typing works on the
// selection: a selected text is replaced, otherwise the character goes in at
// the caret. Entering the edit selects its whole text.
#include "platform/controls/TWinControl.h"

#include <string>

class TCustomEdit : public TWinControl {
public:
    DECLARE_CLASS_NAME(TCustomEdit)
    explicit TCustomEdit(TComponent* AOwner);

    bool IsFocusable() const override { return true; }

    // The edit's value (for a masked edit: without the literals it does not
    // store).
    virtual std::string Text() const { return text_; }
    void SetText(const std::string& value);
    void Clear() { SetText(""); }
    // What the edit shows.
    virtual std::string DisplayText() const { return text_; }
    // Where a position in Text stands in DisplayText (caret and selection).
    virtual int DisplayOffset(int textPosition) const { return textPosition; }

    int MaxLength() const { return maxLength_; }
    void SetMaxLength(int value) { maxLength_ = value < 0 ? 0 : value; }
    bool ReadOnly() const { return readOnly_; }
    void SetReadOnly(bool value) { readOnly_ = value; }
    bool AutoSelect() const { return autoSelect_; }
    void SetAutoSelect(bool value) { autoSelect_ = value; }

    int SelStart() const { return selStart_; }
    int SelLength() const { return selLength_; }
    void SelectAll();
    // Caret to the end of the text, nothing selected.
    void SelectNone();

    void SetOnChange(TNotifyEvent value) { onChange_ = std::move(value); }

    void DoEnter() override;
    void KeyDelete() override;

protected:
    void DoKeyPress(char& Key) override;
    // Whether the value may become candidate by typing typed at position;
    // returns the (possibly transformed) candidate or false.
    virtual bool AcceptTyped(std::string& candidate, int position, char& typed);
    virtual void Change();
    // Stores a new value with the caret after Caret, running the change event
    // when it differs.
    void ReplaceText(const std::string& value, int caret);

private:
    std::string text_;
    int maxLength_ = 0;
    bool readOnly_ = false;
    bool autoSelect_ = true;
    int selStart_ = 0;
    int selLength_ = 0;
    TNotifyEvent onChange_;
};
