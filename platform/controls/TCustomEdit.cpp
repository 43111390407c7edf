#include "platform/controls/TCustomEdit.h"

#include "platform/controls/TEdit.h"
#include "platform/model/ClassRegistration.h"

#include <algorithm>

namespace {
const ClassRegistration<TCustomEdit>
    customEditClass("TCustomEdit", "TWinControl", nullptr, [](ClassBuilder<TCustomEdit>& c) {
        c.RegisterProperty("Text", &TCustomEdit::Text, &TCustomEdit::SetText);
        c.RegisterIntegerProperty("MaxLength", &TCustomEdit::MaxLength, &TCustomEdit::SetMaxLength, 0, 100000);
        c.RegisterProperty("ReadOnly", &TCustomEdit::ReadOnly, &TCustomEdit::SetReadOnly);
        c.RegisterProperty("AutoSelect", &TCustomEdit::AutoSelect, &TCustomEdit::SetAutoSelect);
        c.RegisterEvent<TNotifyEvent>("OnChange", &TCustomEdit::SetOnChange);
    });
const ClassRegistration<TEdit> editClass("TEdit", "TCustomEdit");
} // namespace

TCustomEdit::TCustomEdit(TComponent* AOwner) : TWinControl(AOwner)
{
    SetTabStop(true);
    SetColor(clWindow);
}

void TCustomEdit::SetText(const std::string& value)
{
    ReplaceText(value, static_cast<int>(value.size()));
}

void TCustomEdit::ReplaceText(const std::string& value, int caret)
{
    selStart_ = std::clamp(caret, 0, static_cast<int>(value.size()));
    selLength_ = 0;
    if (value == text_) {
        NotifyChanged();
        return;
    }
    text_ = value;
    NotifyChanged();
    Change();
}

void TCustomEdit::SelectAll()
{
    selStart_ = 0;
    selLength_ = static_cast<int>(text_.size());
    NotifyChanged();
}

void TCustomEdit::SelectNone()
{
    selStart_ = static_cast<int>(text_.size());
    selLength_ = 0;
    NotifyChanged();
}

void TCustomEdit::DoEnter()
{
    if (autoSelect_) {
        SelectAll();
    }
    TWinControl::DoEnter();
}

void TCustomEdit::Change()
{
    if (onChange_) {
        onChange_(this);
    }
}

bool TCustomEdit::AcceptTyped(std::string& candidate, int /*position*/, char& /*typed*/)
{
    return maxLength_ == 0 || static_cast<int>(candidate.size()) <= maxLength_;
}

void TCustomEdit::DoKeyPress(char& Key)
{
    if (readOnly_) {
        return;
    }
    int start = std::clamp(selStart_, 0, static_cast<int>(text_.size()));
    int length = std::clamp(selLength_, 0, static_cast<int>(text_.size()) - start);
    if (Key == '\b') {
        if (length > 0) {
            std::string t = text_;
            t.erase(static_cast<size_t>(start), static_cast<size_t>(length));
            ReplaceText(t, start);
        } else if (start > 0) {
            std::string t = text_;
            t.erase(static_cast<size_t>(start - 1), 1);
            ReplaceText(t, start - 1);
        }
        return;
    }
    if (static_cast<unsigned char>(Key) < 32) {
        return;
    }
    std::string t = text_;
    t.erase(static_cast<size_t>(start), static_cast<size_t>(length));
    char typed = Key;
    t.insert(t.begin() + start, typed);
    if (!AcceptTyped(t, start, typed)) {
        return; // refused: the text stays as it was
    }
    ReplaceText(t, start + 1);
}

void TCustomEdit::KeyDelete()
{
    if (readOnly_) {
        return;
    }
    int start = std::clamp(selStart_, 0, static_cast<int>(text_.size()));
    int length = std::clamp(selLength_, 0, static_cast<int>(text_.size()) - start);
    std::string t = text_;
    if (length > 0) {
        t.erase(static_cast<size_t>(start), static_cast<size_t>(length));
    } else if (start < static_cast<int>(t.size())) {
        t.erase(static_cast<size_t>(start), 1);
    } else {
        return;
    }
    ReplaceText(t, start);
}
