#pragma once
// A list of text entries with single or multiple selection. ItemIndex is the
// current entry: in a multiple-selection list the one holding the focus mark,
// selected or not. Selection operations given the index -1 (no current entry,
// or no entry with a text) select and clear nothing.
#include "platform/controls/TWinControl.h"

#include <string>
#include <vector>

enum class TShiftState { ssNone, ssCtrl, ssShift };

class TListBox : public TWinControl {
public:
    DECLARE_CLASS_NAME(TListBox)
    explicit TListBox(TComponent* AOwner);

    bool IsFocusable() const override { return true; }

    bool MultiSelect() const { return multiSelect_; }
    void SetMultiSelect(bool value) { multiSelect_ = value; }
    int ItemHeight() const { return itemHeight_; }
    void SetItemHeight(int value) { itemHeight_ = value; }

    // Entries.
    int Count() const { return static_cast<int>(items_.size()); }
    const std::vector<std::string>& Items() const { return items_; }
    const std::string& Item(int index) const;
    void SetItems(const std::vector<std::string>& value);
    // Appends an entry, unselected; returns its index.
    int Add(std::string text);
    // Puts an entry, unselected, at index (0 to Count()); the entries from
    // there on move down one, and so do the current entry and the anchor.
    void Insert(int index, const std::string& text);
    void Delete(int index);
    void Clear();
    // Index of the first entry with this text (compared without regard to
    // case), or -1.
    int IndexOf(const std::string& text) const;
    // All entries, each followed by a line break.
    std::string ItemsText() const;

    // An entry marked pending stands for a change that has not reached the
    // server yet; views draw it apart, as a grid draws a row whose change is
    // unsent. The mark goes with its entry and is off for a new one.
    bool ItemPending(int index) const;
    void SetItemPending(int index, bool value);
    std::vector<int> PendingIndexes() const;

    // Selection.
    bool Selected(int index) const;
    void SetSelected(int index, bool value);
    int SelCount() const;
    std::vector<int> SelectedIndexes() const;
    int ItemIndex() const { return itemIndex_; }
    void SetItemIndex(int value);

    // An operator's mouse click on entry index: the focus comes to the list,
    // the selection changes as the modifier says, then the click event runs.
    void MouseClick(int index, TShiftState Shift);
    void MouseDblClick(int index);

    // Changes to the entries or the selection that a view must show.
    Signal<> ItemsChanged;
    // Raised just before ItemsChanged when one entry was added at, or
    // removed from, the index given and the others stayed, so that a view
    // in step with the entries can insert or remove that one alone.
    Signal<int> ItemInserted;
    Signal<int> ItemDeleted;

protected:
    void DoKeyPress(char& Key) override;

private:
    void ItemsUpdated();
    // Raises EInvalidOperation for an index that names no entry.
    void CheckIndex(int index) const;

    std::vector<std::string> items_;
    std::vector<bool> selected_;
    std::vector<bool> pending_;
    int itemIndex_ = -1;
    int anchor_ = -1;
    bool multiSelect_ = false;
    int itemHeight_ = 13;
};
