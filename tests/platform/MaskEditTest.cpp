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
