#include "platform/core/EditMask.h"

#include "platform/core/Cp1252.h"
#include "platform/core/Exception.h"

namespace {

bool IsLetter(char c)
{
    auto u = static_cast<unsigned char>(c);
    if ((u >= 'A' && u <= 'Z') || (u >= 'a' && u <= 'z')) {
        return true;
    }
    // Windows-1252 letters: Š Œ Ž š œ ž Ÿ and À..ÿ except × and ÷.
    switch (u) {
    case 0x8A:
    case 0x8C:
    case 0x8E:
    case 0x9A:
    case 0x9C:
    case 0x9E:
    case 0x9F: return true;
    default: return u >= 0xC0 && u != 0xD7 && u != 0xF7;
    }
}

bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

} // namespace

EditMask::EditMask(std::string_view mask) : mask_(mask)
{
    Parse(mask);
}

void EditMask::Parse(std::string_view mask)
{
    auto fail = [&](const std::string& what) { return EConvertError("Edit mask '" + mask_ + "': " + what); };
    CaseForcing forcing = CaseForcing::None;
    size_t i = 0;
    for (; i < mask.size(); ++i) {
        char c = mask[i];
        if (c == ';') {
            break;
        }
        SlotKind kind = SlotKind::Any;
        bool required = false;
        switch (c) {
        case '!': continue;
        case '>': forcing = CaseForcing::Upper; continue;
        case '<':
            if (i + 1 < mask.size() && mask[i + 1] == '>') {
                ++i;
                forcing = CaseForcing::None;
            } else {
                forcing = CaseForcing::Lower;
            }
            continue;
        case '\\':
            if (i + 1 >= mask.size()) {
                throw fail("'\\' must be followed by the literal it escapes");
            }
            ++i;
            positions_.push_back(Position{mask[i], -1});
            continue;
        case 'L':
            kind = SlotKind::Letter;
            required = true;
            break;
        case 'l': kind = SlotKind::Letter; break;
        case 'A':
            kind = SlotKind::Alphanumeric;
            required = true;
            break;
        case 'a': kind = SlotKind::Alphanumeric; break;
        case 'C':
            kind = SlotKind::Any;
            required = true;
            break;
        case 'c': kind = SlotKind::Any; break;
        case '0':
            kind = SlotKind::Digit;
            required = true;
            break;
        case '9': kind = SlotKind::Digit; break;
        case '#': kind = SlotKind::DigitOrSign; break;
        default: positions_.push_back(Position{c, -1}); continue;
        }
        positions_.push_back(Position{'\0', static_cast<int>(slots_.size())});
        slots_.push_back(Slot{kind, required, forcing, static_cast<int>(positions_.size()) - 1});
    }
    if (i >= mask.size()) {
        return;
    }
    std::string_view rest = mask.substr(i + 1);
    size_t semicolon = rest.find(';');
    std::string_view save = rest.substr(0, semicolon);
    if (save == "0") {
        saveLiterals_ = false;
    } else if (save == "1" || save.empty()) {
        saveLiterals_ = true;
    } else {
        throw fail("the second section must be 0 or 1, not '" + std::string(save) + "'");
    }
    if (semicolon == std::string_view::npos) {
        return;
    }
    std::string_view blank = rest.substr(semicolon + 1);
    if (blank.size() > 1) {
        throw fail(blank.find(';') != std::string_view::npos ? "a mask has at most three sections"
                                                             : "the blank section must be one character");
    }
    if (blank.size() == 1) {
        blank_ = blank[0];
    }
}

bool EditMask::IsRequired(int editableIndex) const
{
    return editableIndex >= 0 && editableIndex < EditableCount() && slots_[static_cast<size_t>(editableIndex)].required;
}

std::optional<char> EditMask::Accept(int editableIndex, char c) const
{
    if (IsEmpty()) {
        return editableIndex >= 0 ? std::optional<char>(c) : std::nullopt;
    }
    if (editableIndex < 0 || editableIndex >= EditableCount()) {
        return std::nullopt;
    }
    const Slot& slot = slots_[static_cast<size_t>(editableIndex)];
    bool fits = false;
    switch (slot.kind) {
    case SlotKind::Letter: fits = IsLetter(c); break;
    case SlotKind::Alphanumeric: fits = IsLetter(c) || IsDigit(c); break;
    case SlotKind::Any: fits = static_cast<unsigned char>(c) >= 0x20 && c != 0x7F; break;
    case SlotKind::Digit: fits = IsDigit(c); break;
    case SlotKind::DigitOrSign: fits = IsDigit(c) || c == '+' || c == '-'; break;
    }
    if (!fits) {
        return std::nullopt;
    }
    switch (slot.forcing) {
    case CaseForcing::Upper: return Cp1252::UpperCase(c);
    case CaseForcing::Lower: return Cp1252::LowerCase(c);
    case CaseForcing::None: return c;
    }
    return c;
}

std::string EditMask::Display(std::string_view value) const
{
    if (IsEmpty()) {
        return std::string(value);
    }
    std::string shown;
    shown.reserve(positions_.size());
    for (const Position& p : positions_) {
        if (p.slot < 0) {
            shown += p.literal;
        } else {
            auto index = static_cast<size_t>(p.slot);
            shown += index < value.size() && value[index] != ' ' ? value[index] : blank_;
        }
    }
    return shown;
}

std::string EditMask::Text(std::string_view value) const
{
    if (IsEmpty()) {
        return std::string(value);
    }
    std::string typed = TrimUnfilled(std::string(value.substr(0, slots_.size())));
    if (typed.empty() || !saveLiterals_) {
        return typed;
    }
    std::string text;
    for (const Position& p : positions_) {
        if (p.slot < 0) {
            text += p.literal;
        } else {
            auto index = static_cast<size_t>(p.slot);
            text += index < typed.size() ? typed[index] : ' ';
        }
    }
    return text;
}

std::string EditMask::ValueFromDisplay(std::string_view display) const
{
    if (IsEmpty()) {
        return std::string(display);
    }
    std::string value;
    for (const Slot& s : slots_) {
        auto pos = static_cast<size_t>(s.displayPosition);
        char c = pos < display.size() ? display[pos] : blank_;
        value += c == blank_ ? ' ' : c;
    }
    return TrimUnfilled(std::move(value));
}

std::string EditMask::ValueFromText(std::string_view text) const
{
    if (IsEmpty()) {
        return std::string(text);
    }
    // A text that carries the mask's literals in their places (as Text gives it
    // when literals are saved) is read by position; any other text fills the
    // slots one character after another.
    bool laidOut = text.size() == positions_.size() && positions_.size() > slots_.size();
    for (size_t i = 0; laidOut && i < positions_.size(); ++i) {
        if (positions_[i].slot < 0 && text[i] != positions_[i].literal) {
            laidOut = false;
        }
    }
    std::string value;
    for (size_t i = 0; i < slots_.size(); ++i) {
        size_t from = laidOut ? static_cast<size_t>(slots_[i].displayPosition) : i;
        if (from >= text.size()) {
            break;
        }
        char c = text[from];
        auto accepted = c == ' ' ? std::nullopt : Accept(static_cast<int>(i), c);
        value += accepted ? *accepted : ' ';
    }
    return TrimUnfilled(std::move(value));
}

int EditMask::FirstMissing(std::string_view value) const
{
    for (size_t i = 0; i < slots_.size(); ++i) {
        if (slots_[i].required && (i >= value.size() || value[i] == ' ')) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

int EditMask::DisplayPosition(int editableIndex) const
{
    if (editableIndex < 0) {
        return -1;
    }
    if (editableIndex >= EditableCount()) {
        return DisplayLength();
    }
    return slots_[static_cast<size_t>(editableIndex)].displayPosition;
}

int EditMask::EditableIndexAt(int displayPosition) const
{
    for (size_t i = 0; i < slots_.size(); ++i) {
        if (slots_[i].displayPosition >= displayPosition) {
            return static_cast<int>(i);
        }
    }
    return EditableCount();
}

std::string EditMask::TrimUnfilled(std::string value)
{
    while (!value.empty() && value.back() == ' ') {
        value.pop_back();
    }
    return value;
}
