#include "platform/controls/TMaskEdit.h"

#include "platform/model/ClassRegistration.h"

namespace {
const ClassRegistration<TMaskEdit> maskEditClass("TMaskEdit", "TCustomEdit", [](ClassBuilder<TMaskEdit>& c) {
    c.RegisterProperty("EditMask", &TMaskEdit::EditMask, &TMaskEdit::SetEditMask);
});
} // namespace

void TMaskEdit::SetEditMask(const std::string& value)
{
    mask_ = ::EditMask(value);
    NotifyChanged();
    Invalidate();
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

std::string TMaskEdit::DisplayText() const
{
    if (mask_.IsEmpty() || !FitsMask()) {
        return Text();
    }
    return mask_.Display(Text());
}

bool TMaskEdit::AcceptTyped(std::string& candidate, int position, char& typed)
{
    if (mask_.IsEmpty()) {
        return TCustomEdit::AcceptTyped(candidate, position, typed);
    }
    if (static_cast<int>(candidate.size()) > mask_.EditableCount()) {
        return false;
    }
    auto accepted = mask_.Accept(position, typed);
    if (!accepted) {
        return false;
    }
    typed = *accepted;
    candidate[static_cast<size_t>(position)] = typed;
    return true;
}
