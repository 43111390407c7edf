#pragma once
// The edit mask of a masked edit, in the platform's three-section notation
// "mask;save-literals;blank":
//
//   mask          the positions of the edit: editable slots and literals
//   save-literals '0': the edit's Text holds the typed characters alone;
//                 '1' (the default): Text holds the literals too
//   blank         the character shown in an unfilled slot (default '_')
//
// Mask characters:
//   L letter, required     l letter, optional
//   A letter or digit, req a letter or digit, optional
//   C any character, req   c any character, optional
//   0 digit, required      9 digit, optional
//   # digit, '+' or '-', optional
//   >  what follows is forced to upper case    <  to lower case
//   <> no case forcing from here on            \  the next character is a literal
//   !  accepted and ignored (blank handling is always the same here)
//   anything else, ':' and '/' included, is a literal shown as it stands.
//
// Letters include the accented letters of Windows-1252; case forcing uses
// Cp1252::UpperCase/LowerCase.
//
// A value is what the operator typed, one character per editable slot in
// order; a space stands for a slot left unfilled, and trailing unfilled slots
// are dropped ("12" in "999.999.999-99" is "12", shown "12_.___.___-__").
//
// An empty mask (IsEmpty) means no mask at all: every character is accepted as
// it is and Display and Text return the value unchanged.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

class EditMask {
public:
    // Throws EConvertError for a mask that cannot be read: a '\' with nothing
    // after it, a save-literals section other than '0' or '1', a blank section
    // of more than one character, or more than three sections.
    explicit EditMask(std::string_view mask = {});

    // The mask as given.
    const std::string& Mask() const { return mask_; }
    bool IsEmpty() const { return slots_.empty() && positions_.empty(); }
    bool SaveLiterals() const { return saveLiterals_; }
    char Blank() const { return blank_; }

    // Characters the operator can type.
    int EditableCount() const { return static_cast<int>(slots_.size()); }
    // Characters shown: slots and literals.
    int DisplayLength() const { return static_cast<int>(positions_.size()); }
    bool IsRequired(int editableIndex) const;

    // The character as the slot stores it (case forced), or nullopt when the
    // slot refuses it or there is no such slot.
    std::optional<char> Accept(int editableIndex, char c) const;

    // The text shown in the edit: slots filled from value, blanks elsewhere,
    // literals in between.
    std::string Display(std::string_view value) const;
    // What the edit's Text returns: the value when literals are not saved, or
    // the display with spaces for unfilled slots when they are. Empty when no
    // slot is filled.
    std::string Text(std::string_view value) const;

    // The value of a displayed text (the inverse of Display): characters at
    // slot positions, blanks read as unfilled.
    std::string ValueFromDisplay(std::string_view display) const;
    // The value of a text written to the edit (the inverse of Text): literals
    // are skipped when they are saved; each character is case-forced, and one
    // the slot refuses leaves the slot unfilled; characters beyond the last
    // slot are dropped, as the mask allows no more.
    std::string ValueFromText(std::string_view text) const;

    // The first required slot that value leaves unfilled, or -1 when none.
    int FirstMissing(std::string_view value) const;

    // Where a slot stands in the displayed text, and the first slot at or after
    // a display position (EditableCount() when none): for the caret.
    int DisplayPosition(int editableIndex) const;
    int EditableIndexAt(int displayPosition) const;

private:
    enum class SlotKind { Letter, Alphanumeric, Any, Digit, DigitOrSign };
    enum class CaseForcing { None, Upper, Lower };

    struct Slot {
        SlotKind kind;
        bool required;
        CaseForcing forcing;
        int displayPosition;
    };
    // One displayed position: a literal character, or the index of a slot.
    struct Position {
        char literal;
        int slot; // -1 for a literal
    };

    void Parse(std::string_view mask);
    static std::string TrimUnfilled(std::string value);

    std::string mask_;
    std::vector<Slot> slots_;
    std::vector<Position> positions_;
    bool saveLiterals_ = true;
    char blank_ = '_';
};
