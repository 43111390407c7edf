// The edit-mask engine: the input is a mask, a newline, then typed text. Every
// operation of a mask that was accepted must stay within its own slots.
#include "platform/core/EditMask.h"
#include "platform/core/Exception.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::string_view input(reinterpret_cast<const char*>(data), size);
    size_t cut = input.find('\n');
    std::string_view maskText = input.substr(0, cut);
    std::string_view typed = cut == std::string_view::npos ? std::string_view() : input.substr(cut + 1);
    try {
        EditMask mask(maskText);
        // What the operator types, slot by slot, as the masked edit does.
        std::string value;
        for (char c : typed) {
            int slot = static_cast<int>(value.size());
            if (slot >= mask.EditableCount() && !mask.IsEmpty()) {
                break;
            }
            auto accepted = mask.Accept(slot, c);
            value += accepted ? *accepted : ' ';
        }
        std::string display = mask.Display(value);
        std::string text = mask.Text(value);
        if (!mask.IsEmpty() && static_cast<int>(display.size()) != mask.DisplayLength()) {
            std::abort();
        }
        mask.ValueFromDisplay(display);
        mask.ValueFromText(text);
        // The raw input as text written into the edit, and as a display.
        mask.ValueFromText(typed);
        mask.ValueFromDisplay(typed);
        mask.FirstMissing(typed);
        for (int i = -1; i <= mask.EditableCount(); ++i) {
            mask.IsRequired(i);
            mask.DisplayPosition(i);
        }
        for (int p = -1; p <= mask.DisplayLength(); ++p) {
            mask.EditableIndexAt(p);
        }
    } catch (const Exception&) {
    }
    return 0;
}
