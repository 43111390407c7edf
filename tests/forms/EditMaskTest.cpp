#include "platform/core/EditMask.h"
#include "platform/core/Cp1252.h"
#include "platform/core/Exception.h"

#include <gtest/gtest.h>

namespace {

// Types text into the mask one key at a time, as the masked edit does: a
// refused key leaves the value as it was.
std::string Type(const EditMask& mask, std::string_view keys)
{
    std::string value;
    for (char k : keys) {
        if (auto c = mask.Accept(static_cast<int>(value.size()), k)) {
            value += *c;
        }
    }
    return value;
}

} // namespace

TEST(EditMask, BranchCodeIsFourCharactersInUpperCase)
{
    EditMask mask(">aaaa;0; ");
    EXPECT_FALSE(mask.IsEmpty());
    EXPECT_EQ(mask.EditableCount(), 4);
    EXPECT_FALSE(mask.SaveLiterals());
    EXPECT_EQ(mask.Blank(), ' ');
    EXPECT_EQ(Type(mask, "ab1c"), "AB1C");
    EXPECT_EQ(mask.Accept(4, 'd'), std::nullopt) << "a fifth character is refused";
    EXPECT_EQ(Type(mask, "ab1cd"), "AB1C");
    EXPECT_EQ(Type(mask, "a-b c"), "ABC") << "'a' takes letters and digits only";
    EXPECT_EQ(mask.Display("AB"), "AB  ");
    EXPECT_EQ(mask.Text("AB"), "AB");
    EXPECT_EQ(mask.Text(""), "");
    EXPECT_EQ(mask.FirstMissing(""), -1) << "every slot is optional";
    EXPECT_EQ(mask.ValueFromText("sp01x"), "SP01") << "a written text is forced and cut as typing would";
}

TEST(EditMask, AccentedLettersAreLettersAndChangeCase)
{
    EditMask upper(">LLL");
    const std::string typed = Cp1252::FromUtf8("çãé");
    EXPECT_EQ(Type(upper, typed), Cp1252::FromUtf8("ÇÃÉ"));
    EditMask lower("<lll");
    EXPECT_EQ(Type(lower, Cp1252::FromUtf8("ÁÕŒ")), Cp1252::FromUtf8("áõœ"));
    EXPECT_EQ(upper.Accept(0, '\xD7'), std::nullopt) << "the multiplication sign is not a letter";
    EXPECT_EQ(upper.Accept(0, '\xF7'), std::nullopt) << "nor is the division sign";
}

TEST(EditMask, CaseForcingChangesAlongTheMask)
{
    EditMask mask(">l<l<>l");
    EXPECT_EQ(Type(mask, "aBc"), "Abc");
    EXPECT_EQ(Type(mask, "AbC"), "AbC");
}

TEST(EditMask, FourDigitClientNumber)
{
    EditMask mask("9999;0; ");
    EXPECT_EQ(mask.EditableCount(), 4);
    EXPECT_EQ(Type(mask, "12a3-45"), "1234");
    EXPECT_EQ(mask.Accept(0, 'x'), std::nullopt);
    EXPECT_EQ(mask.Display("12"), "12  ");
    EXPECT_EQ(mask.Text("12"), "12");
}

TEST(EditMask, IndividualRegistrationNumber)
{
    EditMask mask("999.999.999-99;0;_");
    EXPECT_EQ(mask.EditableCount(), 11);
    EXPECT_EQ(mask.DisplayLength(), 14);
    EXPECT_EQ(mask.Blank(), '_');
    std::string value = Type(mask, "123.456.789-01");
    EXPECT_EQ(value, "12345678901") << "the literals typed are refused: the mask supplies them";
    EXPECT_EQ(mask.Display(value), "123.456.789-01");
    EXPECT_EQ(mask.Display("1234"), "123.4__.___-__");
    EXPECT_EQ(mask.Text(value), "12345678901");
    EXPECT_EQ(mask.ValueFromDisplay("123.4__.___-__"), "1234");
    EXPECT_EQ(mask.ValueFromText("12345678901"), "12345678901");
    EXPECT_EQ(mask.ValueFromText("123.456.789-01"), "12345678901") << "a laid-out text is read by position";
    EXPECT_EQ(mask.DisplayPosition(3), 4);
    EXPECT_EQ(mask.EditableIndexAt(3), 3) << "the caret on a literal goes to the next slot";
    EXPECT_EQ(mask.DisplayPosition(11), 14);
}

TEST(EditMask, CompanyRegistrationNumber)
{
    EditMask mask("99.999.999/9999-99;0;_");
    EXPECT_EQ(mask.EditableCount(), 14);
    std::string value = Type(mask, "12345678000195");
    EXPECT_EQ(mask.Display(value), "12.345.678/0001-95");
    EXPECT_EQ(mask.Text(value), "12345678000195");
    EXPECT_EQ(mask.Display(""), "__.___.___/____-__");
}

TEST(EditMask, SavedLiteralsAppearInText)
{
    EditMask mask("999.999.999-99;1;_");
    EXPECT_TRUE(mask.SaveLiterals());
    EXPECT_EQ(mask.Text("12345678901"), "123.456.789-01");
    EXPECT_EQ(mask.Text("1234"), "123.4  .   -  ") << "unfilled slots read as spaces";
    EXPECT_EQ(mask.Text(""), "");
    EXPECT_EQ(mask.ValueFromText(mask.Text("1234")), "1234");
    EditMask defaults("(99)");
    EXPECT_TRUE(defaults.SaveLiterals()) << "literals are saved unless the mask says 0";
    EXPECT_EQ(defaults.Blank(), '_');
}

TEST(EditMask, EveryMaskCharacter)
{
    EditMask mask("!Ll Aa Cc 09 # \\9\\L:/x");
    EXPECT_EQ(mask.EditableCount(), 9);
    EXPECT_EQ(mask.Display(""), "__ __ __ __ _ 9L:/x");
    EXPECT_TRUE(mask.IsRequired(0));
    EXPECT_FALSE(mask.IsRequired(1));
    EXPECT_TRUE(mask.IsRequired(2));
    EXPECT_TRUE(mask.IsRequired(4));
    EXPECT_TRUE(mask.IsRequired(6));
    EXPECT_FALSE(mask.IsRequired(7));
    EXPECT_FALSE(mask.IsRequired(9));

    EXPECT_EQ(mask.Accept(0, '1'), std::nullopt);  // L
    EXPECT_EQ(mask.Accept(2, '1'), '1');           // A
    EXPECT_EQ(mask.Accept(2, '.'), std::nullopt);  // A
    EXPECT_EQ(mask.Accept(4, '.'), '.');           // C
    EXPECT_EQ(mask.Accept(5, '\t'), std::nullopt); // c takes no control characters
    EXPECT_EQ(mask.Accept(6, 'a'), std::nullopt);  // 0
    EXPECT_EQ(mask.Accept(8, '-'), '-');           // #
    EXPECT_EQ(mask.Accept(8, '+'), '+');
    EXPECT_EQ(mask.Accept(8, 'x'), std::nullopt);
    EXPECT_EQ(mask.Accept(-1, '1'), std::nullopt);

    EXPECT_EQ(mask.FirstMissing("a"), 2);
    EXPECT_EQ(mask.FirstMissing("a b c"), 6);
    EXPECT_EQ(mask.FirstMissing("a b   1"), 4) << "a space is an unfilled slot";
    EXPECT_EQ(mask.FirstMissing("ab1c.d1"), -1);
}

TEST(EditMask, NoMaskAcceptsEverything)
{
    for (const char* text : {"", ";0;_"}) {
        EditMask mask(text);
        EXPECT_TRUE(mask.IsEmpty());
        EXPECT_EQ(mask.Accept(25, '%'), '%');
        EXPECT_EQ(mask.Display("abc"), "abc");
        EXPECT_EQ(mask.Text("abc "), "abc ");
    }
}

TEST(EditMask, MalformedMasksAreRefused)
{
    EXPECT_THROW(EditMask("999\\"), EConvertError);
    EXPECT_THROW(EditMask("999;2;_"), EConvertError);
    EXPECT_THROW(EditMask("999;01;_"), EConvertError);
    EXPECT_THROW(EditMask("999;0;__"), EConvertError);
    EXPECT_THROW(EditMask("999;0;_;x"), EConvertError);
    try {
        EditMask("999;x");
        FAIL();
    } catch (const EConvertError& e) {
        EXPECT_NE(e.Message().find("999;x"), std::string::npos) << "the message names the mask";
    }
    EXPECT_NO_THROW(EditMask("\\;99;0;;")) << "an escaped ';' is a literal; ';' may be the blank";
    EXPECT_EQ(EditMask("\\;99;0;;").Display(""), ";;;");
}
