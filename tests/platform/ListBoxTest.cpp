// A list's pending marks stay with their entries as entries come and go.
#include "platform/controls/TListBox.h"
#include "platform/core/Exception.h"

#include <gtest/gtest.h>

TEST(ListBox, PendingMarksMoveWithTheirEntriesAndANewEntryHasNone)
{
    TListBox list(nullptr);
    list.SetItems({"a", "b", "c"});
    int changes = 0;
    auto watch = list.ItemsChanged.Connect([&changes] { ++changes; });
    list.SetItemPending(1, true);
    list.SetItemPending(1, true); // no change, no signal
    EXPECT_EQ(changes, 1);
    list.Insert(0, "z");
    list.Add("d");
    EXPECT_EQ(list.PendingIndexes(), std::vector<int>{2});
    list.Delete(0);
    EXPECT_EQ(list.PendingIndexes(), std::vector<int>{1});
    EXPECT_TRUE(list.ItemPending(1));
    EXPECT_FALSE(list.ItemPending(3));
    EXPECT_THROW(list.SetItemPending(4, true), EInvalidOperation);
    list.Clear();
    list.Add("e");
    EXPECT_TRUE(list.PendingIndexes().empty());
}
