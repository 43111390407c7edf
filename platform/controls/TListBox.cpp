#include "platform/controls/TListBox.h"

#include "platform/core/Cp1252.h"
#include "platform/core/Exception.h"
#include "platform/model/ClassRegistration.h"

#include <algorithm>

namespace {
const ClassRegistration<TListBox> listBoxClass("TListBox", "TWinControl", [](ClassBuilder<TListBox>& c) {
    c.RegisterProperty("MultiSelect", &TListBox::MultiSelect, &TListBox::SetMultiSelect);
    c.RegisterIntegerProperty("ItemHeight", &TListBox::ItemHeight, &TListBox::SetItemHeight, 1, 1000);
    c.RegisterStringListProperty("Items.Strings", &TListBox::Items, &TListBox::SetItems);
});
} // namespace

TListBox::TListBox(TComponent* AOwner) : TWinControl(AOwner)
{
    SetTabStop(true);
    SetColor(clWindow);
}

const std::string& TListBox::Item(int index) const
{
    CheckIndex(index);
    return items_[static_cast<size_t>(index)];
}

void TListBox::ItemsUpdated()
{
    ItemsChanged.Emit();
    Invalidate();
}

void TListBox::SetItems(const std::vector<std::string>& value)
{
    items_ = value;
    selected_.assign(items_.size(), false);
    pending_.assign(items_.size(), false);
    itemIndex_ = -1;
    anchor_ = -1;
    ItemsUpdated();
}

int TListBox::Add(std::string text)
{
    items_.push_back(std::move(text));
    selected_.push_back(false);
    pending_.push_back(false);
    ItemInserted.Emit(Count() - 1);
    ItemsUpdated();
    return Count() - 1;
}

void TListBox::Insert(int index, const std::string& text)
{
    if (index < 0 || index > Count()) {
        throw EInvalidOperation("List index out of bounds (" + std::to_string(index) + ")");
    }
    items_.insert(items_.begin() + index, text);
    selected_.insert(selected_.begin() + index, false);
    pending_.insert(pending_.begin() + index, false);
    if (itemIndex_ >= index) {
        itemIndex_ += 1;
    }
    if (anchor_ >= index) {
        anchor_ += 1;
    }
    ItemInserted.Emit(index);
    ItemsUpdated();
}

void TListBox::Delete(int index)
{
    CheckIndex(index);
    items_.erase(items_.begin() + index);
    selected_.erase(selected_.begin() + index);
    pending_.erase(pending_.begin() + index);
    if (itemIndex_ >= Count()) {
        itemIndex_ = Count() - 1;
    }
    if (anchor_ >= Count()) {
        anchor_ = -1;
    }
    ItemDeleted.Emit(index);
    ItemsUpdated();
}

void TListBox::Clear()
{
    items_.clear();
    selected_.clear();
    pending_.clear();
    itemIndex_ = -1;
    anchor_ = -1;
    ItemsUpdated();
}

int TListBox::IndexOf(const std::string& text) const
{
    std::string wanted = Cp1252::UpperCase(text);
    for (int i = 0; i < Count(); ++i) {
        const std::string& item = items_[static_cast<size_t>(i)];
        if (item.size() == text.size() && Cp1252::UpperCase(item) == wanted) {
            return i;
        }
    }
    return -1;
}

std::string TListBox::ItemsText() const
{
    std::string text;
    for (const auto& item : items_) {
        text += item;
        text += "\r\n";
    }
    return text;
}

void TListBox::CheckIndex(int index) const
{
    if (index < 0 || index >= Count()) {
        throw EInvalidOperation("List index out of bounds (" + std::to_string(index) + ")");
    }
}

bool TListBox::ItemPending(int index) const
{
    CheckIndex(index);
    return pending_[static_cast<size_t>(index)];
}

void TListBox::SetItemPending(int index, bool value)
{
    CheckIndex(index);
    if (pending_[static_cast<size_t>(index)] != value) {
        pending_[static_cast<size_t>(index)] = value;
        ItemsUpdated();
    }
}

std::vector<int> TListBox::PendingIndexes() const
{
    std::vector<int> result;
    for (int i = 0; i < Count(); ++i) {
        if (pending_[static_cast<size_t>(i)]) {
            result.push_back(i);
        }
    }
    return result;
}

bool TListBox::Selected(int index) const
{
    CheckIndex(index);
    return selected_[static_cast<size_t>(index)];
}

void TListBox::SetSelected(int index, bool value)
{
    if (index == -1) {
        return;
    }
    CheckIndex(index);
    if (!multiSelect_ && value) {
        std::fill(selected_.begin(), selected_.end(), false);
        itemIndex_ = index;
    }
    selected_[static_cast<size_t>(index)] = value;
    ItemsUpdated();
}

int TListBox::SelCount() const
{
    return static_cast<int>(std::count(selected_.begin(), selected_.end(), true));
}

std::vector<int> TListBox::SelectedIndexes() const
{
    std::vector<int> out;
    for (int i = 0; i < Count(); ++i) {
        if (selected_[static_cast<size_t>(i)]) {
            out.push_back(i);
        }
    }
    return out;
}

void TListBox::SetItemIndex(int value)
{
    if (value < -1 || value >= Count()) {
        value = -1;
    }
    itemIndex_ = value;
    if (!multiSelect_) {
        std::fill(selected_.begin(), selected_.end(), false);
        if (value >= 0) {
            selected_[static_cast<size_t>(value)] = true;
        }
    }
    ItemsUpdated();
}

void TListBox::MouseClick(int index, TShiftState Shift)
{
    if (!IsEnabledInChain()) {
        return;
    }
    if (CanFocus()) {
        SetFocus();
    }
    if (index < 0 || index >= Count()) {
        Click();
        return;
    }
    if (!multiSelect_ || Shift == TShiftState::ssNone) {
        std::fill(selected_.begin(), selected_.end(), false);
        selected_[static_cast<size_t>(index)] = true;
        anchor_ = index;
    } else if (Shift == TShiftState::ssCtrl) {
        selected_[static_cast<size_t>(index)] = !selected_[static_cast<size_t>(index)];
        anchor_ = index;
    } else {
        int from = anchor_ >= 0 ? anchor_ : (itemIndex_ >= 0 ? itemIndex_ : index);
        std::fill(selected_.begin(), selected_.end(), false);
        for (int i = std::min(from, index); i <= std::max(from, index); ++i) {
            selected_[static_cast<size_t>(i)] = true;
        }
    }
    itemIndex_ = index;
    ItemsUpdated();
    Click();
}

void TListBox::MouseDblClick(int index)
{
    if (!IsEnabledInChain()) {
        return;
    }
    if (index >= 0 && index < Count()) {
        itemIndex_ = index;
        ItemsUpdated();
    }
    DblClick();
}

void TListBox::DoKeyPress(char& Key)
{
    // Space toggles the current entry of a multiple-selection list, as the
    // keyboard-only operator expects.
    if (Key == ' ' && multiSelect_ && itemIndex_ >= 0) {
        selected_[static_cast<size_t>(itemIndex_)] = !selected_[static_cast<size_t>(itemIndex_)];
        ItemsUpdated();
        Click();
    }
}
