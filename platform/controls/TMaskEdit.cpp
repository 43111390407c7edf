#include "platform/controls/TMaskEdit.h"

#include "platform/model/ClassRegistration.h"

#include <algorithm>

namespace {
const ClassRegistration<TMaskEdit> maskEditClass("TMaskEdit", "TCustomEdit", [](ClassBuilder<TMaskEdit>& c) {
    c.RegisterProperty("EditMask", &TMaskEdit::EditMask, &TMaskEdit::SetEditMask);
    c.RegisterProperty("TypingMask", &TMaskEdit::TypingMask, &TMaskEdit::SetTypingMask);
});
} // namespace

void TMaskEdit::SetEditMask(const std::string& value)
{
    mask_ = ::EditMask(value);
    NotifyChanged();
    Invalidate();
}

void TMaskEdit::SetTypingMask(const std::string& value)
{
    typing_ = ::EditMask(value);
}

bool TMaskEdit::FitsMask() const
{
    if (mask_.IsEmpty()) {
        return true;
    }
    std::string value = Text();
    if (static_cast<int>(value.size()) > mask_.EditableCount()) {
        return false;
    }
    for (int i = 0; i < static_cast<int>(value.size()); ++i) {
        auto accepted = mask_.Accept(i, value[static_cast<size_t>(i)]);
        if (!accepted && value[static_cast<size_t>(i)] != ' ') {
            return false;
        }
    }
    return true;
}

bool TMaskEdit::ShownThroughMask() const
{
    if (mask_.IsEmpty() || !FitsMask()) {
        return false;
    }
    return typing_.IsEmpty() || static_cast<int>(Text().size()) == mask_.EditableCount();
}

std::string TMaskEdit::DisplayText() const
{
    if (!ShownThroughMask()) {
        return Text();
    }
    return mask_.Display(Text());
}

int TMaskEdit::DisplayOffset(int textPosition) const
{
    if (mask_.SaveLiterals() || !ShownThroughMask()) {
        return textPosition;
    }
    if (textPosition >= mask_.EditableCount()) {
        return mask_.DisplayLength();
    }
    return mask_.DisplayPosition(std::max(textPosition, 0));
}

bool TMaskEdit::AcceptTyped(std::string& candidate, int position, char& typed)
{
    const ::EditMask& typing = typing_.IsEmpty() ? mask_ : typing_;
    if (typing.IsEmpty()) {
        return TCustomEdit::AcceptTyped(candidate, position, typed);
    }
    if (static_cast<int>(candidate.size()) > typing.EditableCount()) {
        return false;
    }
    auto accepted = typing.Accept(position, typed);
    if (!accepted) {
        return false;
    }
    typed = *accepted;
    candidate[static_cast<size_t>(position)] = typed;
    return true;
}
