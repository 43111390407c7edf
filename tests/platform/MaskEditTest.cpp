#include "platform/controls/TApplication.h"
#include "platform/controls/TForm.h"
#include "platform/controls/TMaskEdit.h"
#include "platform/core/Cp1252.h"

#include <gtest/gtest.h>

namespace {

void Type(TMaskEdit& edit, const std::string& text)
{
    for (char c : text) {
        edit.KeyPress(c);
    }
}

} // namespace

TEST(MaskEdit, BranchMaskForcesUpperCaseAndRefusesAFifthCharacter)
{
    TForm form(&Application());
    TMaskEdit edit(&form);
    edit.SetEditMask(">aaaa;0; ");
    edit.SetMaxLength(4);
    Type(edit, "ab1c");
    EXPECT_EQ(edit.Text(), "AB1C");
    Type(edit, "d");
    EXPECT_EQ(edit.Text(), "AB1C");
    Type(edit, "-");
    EXPECT_EQ(edit.Text(), "AB1C");
}

TEST(MaskEdit, AccentedLettersAreLettersAndTakeTheCase)
{
    TForm form(&Application());
    TMaskEdit edit(&form);
    edit.SetEditMask(">aaaa;0; ");
    Type(edit, Cp1252::FromUtf8("ç"));
    EXPECT_EQ(edit.Text(), Cp1252::FromUtf8("Ç"));
}

TEST(MaskEdit, ATextWrittenByTheProgramIsKeptWholeAndShownThroughANewMask)
{
    TForm form(&Application());
    TMaskEdit edit(&form);
    edit.SetEditMask("9999;0; ");
    edit.SetText("11144477735");
    EXPECT_EQ(edit.Text(), "11144477735");
    EXPECT_FALSE(edit.FitsMask());
    EXPECT_EQ(edit.DisplayText(), "11144477735");
    edit.SetEditMask("999.999.999-99;0;_");
    EXPECT_TRUE(edit.FitsMask());
    EXPECT_EQ(edit.DisplayText(), "111.444.777-35");
    EXPECT_EQ(edit.Text(), "11144477735");
}

TEST(MaskEdit, DigitMaskRefusesLetters)
{
    TForm form(&Application());
    TMaskEdit edit(&form);
    edit.SetEditMask("9999;0; ");
    Type(edit, "1a2");
    EXPECT_EQ(edit.Text(), "12");
    char bs = '\b';
    edit.KeyPress(bs);
    EXPECT_EQ(edit.Text(), "1");
}

// A typing mask takes any registration number whatever kind's mask the edit
// shows: punctuation typed is dropped, the number is shown under the edit
// mask once it fills it, and the caret stands where it is shown.
TEST(MaskEdit, TypingMaskTakesANumberOfAnyKindWithOrWithoutPunctuation)
{
    struct Case {
        const char* editMask;
        const char* typed;
        const char* text;
        const char* shown;
        int caretShownAt;
    };
    const Case cases[] = {
        {"9999;0; ", "22784815099", "22784815099", "22784815099", 11},
        {"9999;0; ", "227.848.150-99", "22784815099", "22784815099", 11},
        {"999.999.999-99;0;_", "12345678000190", "12345678000190", "12345678000190", 14},
        {"999.999.999-99;0;_", "1234", "1234", "1234", 4},
        {"999.999.999-99;0;_", "227.848.150-99", "22784815099", "227.848.150-99", 14},
        {"99.999.999/9999-99;0;_", "22784815099", "22784815099", "22784815099", 11},
        {"99.999.999/9999-99;0;_", "12.345.678/0001-90", "12345678000190", "12.345.678/0001-90", 18},
        {"9999;0; ", "123456789012345678901", "12345678901234567890", "12345678901234567890", 20},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.typed);
        TForm form(&Application());
        TMaskEdit edit(&form);
        edit.SetEditMask(c.editMask);
        edit.SetTypingMask("99999999999999999999;0; ");
        Type(edit, c.typed);
        EXPECT_EQ(edit.Text(), c.text);
        EXPECT_EQ(edit.DisplayText(), c.shown);
        EXPECT_EQ(edit.DisplayOffset(edit.SelStart()), c.caretShownAt);
    }
}

TEST(MaskEdit, TheWholeNumberSelectedOnEntryIsTheWholeTextShown)
{
    TForm form(&Application());
    TMaskEdit edit(&form);
    edit.SetTypingMask("99999999999999999999;0; ");
    edit.SetText("22784815099");
    edit.SetEditMask("999.999.999-99;0;_");
    edit.SelectAll();
    EXPECT_EQ(edit.DisplayOffset(edit.SelStart()), 0);
    EXPECT_EQ(edit.DisplayOffset(edit.SelStart() + edit.SelLength()), 14);
    Type(edit, "12345678000190");
    EXPECT_EQ(edit.Text(), "12345678000190");
}
