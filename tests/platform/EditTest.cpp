#include "platform/controls/TApplication.h"
#include "platform/controls/TEdit.h"
#include "platform/controls/TForm.h"

#include <gtest/gtest.h>

TEST(Edit, WritingADifferentTextRunsTheChangeEventBeforeReturning)
{
    TForm form(&Application());
    TEdit edit(&form);
    int changes = 0;
    std::string seen;
    edit.SetOnChange([&](TObject*) {
        ++changes;
        seen = edit.Text();
    });
    edit.SetText("0001");
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(seen, "0001");
    edit.SetText("0001");
    EXPECT_EQ(changes, 1);
    edit.Clear();
    EXPECT_EQ(changes, 2);
}

TEST(Edit, TypingReplacesTheSelectionAndRespectsMaxLength)
{
    TForm form(&Application());
    TEdit edit(&form);
    edit.SetParent(&form);
    edit.SetText("abc");
    edit.SelectAll();
    char k = 'x';
    edit.KeyPress(k);
    EXPECT_EQ(edit.Text(), "x");
    edit.SetMaxLength(2);
    for (char c : std::string("yz")) {
        edit.KeyPress(c);
    }
    EXPECT_EQ(edit.Text(), "xy");
    char bs = '\b';
    edit.KeyPress(bs);
    EXPECT_EQ(edit.Text(), "x");
}

TEST(Edit, AKeyPressHandlerCanSwallowTheKey)
{
    TForm form(&Application());
    TEdit edit(&form);
    edit.SetOnKeyPress([](TObject*, char& Key) {
        if (Key == ' ') {
            Key = 0;
        }
    });
    for (char c : std::string("a b")) {
        edit.KeyPress(c);
    }
    EXPECT_EQ(edit.Text(), "ab");
}
