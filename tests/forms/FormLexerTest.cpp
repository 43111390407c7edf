#include "platform/forms/FormLexer.h"
#include "platform/core/Exception.h"
#include "platform/forms/FormParser.h"

#include <gtest/gtest.h>

namespace {

std::vector<FormToken> Lex(std::string_view text)
{
    return FormLexer(text, "t.form").Tokenize();
}

} // namespace

TEST(FormLexer, TokensCarryLineAndColumnInCharacters)
{
    // "ç" is two bytes of UTF-8 but one character: the column after it counts
    // it once.
    auto tokens = Lex("object a: T\n  Caption = 'ç' + x\n\tend");
    ASSERT_EQ(tokens.size(), 11u);
    EXPECT_EQ(tokens[0].kind, FormTokenKind::Identifier);
    EXPECT_EQ(tokens[0].text, "object");
    EXPECT_EQ(tokens[2].kind, FormTokenKind::Colon);
    EXPECT_EQ(tokens[2].position.column, 9);
    EXPECT_EQ(tokens[4].position.line, 2);
    EXPECT_EQ(tokens[4].position.column, 3);
    EXPECT_EQ(tokens[6].kind, FormTokenKind::String);
    EXPECT_EQ(tokens[6].text, "\xE7");
    EXPECT_EQ(tokens[7].kind, FormTokenKind::Plus);
    EXPECT_EQ(tokens[7].position.column, 17);
    EXPECT_EQ(tokens[8].position.column, 19);
    EXPECT_EQ(tokens[9].position.line, 3);
    EXPECT_EQ(tokens[9].position.column, 2) << "a tab is one character";
    EXPECT_EQ(tokens[10].kind, FormTokenKind::EndOfFile);
}

TEST(FormLexer, StringsJoinQuotedPartsAndCharacterCodes)
{
    auto tokens = Lex("'It''s'#13#10'ok'#$41#233#8364 'next'");
    ASSERT_EQ(tokens.size(), 3u);
    EXPECT_EQ(tokens[0].text, "It's\r\nokA\xE9\x80") << "#8364 is the euro sign, 0x80 in Windows-1252";
    EXPECT_EQ(tokens[1].text, "next") << "a gap starts a new string";
    EXPECT_EQ(Lex("''")[0].text, "");
}

TEST(FormLexer, NumbersDecimalHexAndNegative)
{
    auto tokens = Lex("0 -5 $FF -$10 9223372036854775807 -9223372036854775808");
    ASSERT_EQ(tokens.size(), 7u);
    EXPECT_EQ(tokens[0].integer, 0);
    EXPECT_EQ(tokens[1].integer, -5);
    EXPECT_EQ(tokens[2].integer, 255);
    EXPECT_EQ(tokens[3].integer, -16);
    EXPECT_EQ(tokens[4].integer, INT64_MAX);
    EXPECT_EQ(tokens[5].integer, INT64_MIN);
    EXPECT_THROW(Lex("9223372036854775808"), EResourceError);
    EXPECT_THROW(Lex("$"), EResourceError);
}

TEST(FormLexer, CommentsAndByteOrderMarkAreSkipped)
{
    auto tokens = Lex("\xEF\xBB\xBF// a comment\nx // another\n");
    ASSERT_EQ(tokens.size(), 2u);
    EXPECT_EQ(tokens[0].text, "x");
    EXPECT_EQ(tokens[0].position.line, 2);
    EXPECT_EQ(tokens[0].position.column, 1);
}

TEST(FormLexer, Windows1252PunctuationIsAccepted)
{
    // Curly quotes, the euro sign and the ellipsis all have Windows-1252 forms.
    auto tokens = Lex("'“€…”'");
    ASSERT_EQ(tokens.size(), 2u);
    EXPECT_EQ(tokens[0].text, "\x93\x80\x85\x94");
}

TEST(FormParser, BuildsTheTree)
{
    FormObject root = FormParser::Parse(R"(inherited frm: TForm
  Font.Style = [fsBold, fsItalic]
  Lines.Strings = ( 'a' 'b' + 'c' 7 x )
  object pan: TPanel
    Columns = <
      item
        Width = 48
      end
      item
      end>
    inherited btn: TButton
    end
  end
  Glyph.Data = { 00 ff }
end)",
                                        "tree.form");
    EXPECT_TRUE(root.inherited);
    EXPECT_EQ(root.name, "frm");
    EXPECT_EQ(root.className, "TForm");
    EXPECT_EQ(root.classPosition.column, 16);
    ASSERT_EQ(root.properties.size(), 3u) << "properties after a child block still belong to the object";
    EXPECT_EQ(root.properties[0].name, "Font.Style");
    const FormValue& set = root.properties[0].value;
    EXPECT_EQ(set.kind, FormValue::Kind::Set);
    ASSERT_EQ(set.elements.size(), 2u);
    EXPECT_EQ(set.elements[1].text, "fsItalic");
    EXPECT_EQ(set.elements[1].position.column, 25);

    const FormValue& list = root.properties[1].value;
    ASSERT_EQ(list.kind, FormValue::Kind::List);
    ASSERT_EQ(list.elements.size(), 4u);
    EXPECT_EQ(list.elements[0].text, "a");
    EXPECT_EQ(list.elements[1].text, "bc") << "'+' joins within a list item";
    EXPECT_EQ(list.elements[2].kind, FormValue::Kind::Integer);
    EXPECT_EQ(list.elements[3].kind, FormValue::Kind::Identifier);

    EXPECT_EQ(root.properties[2].value.kind, FormValue::Kind::Binary);
    EXPECT_EQ(root.properties[2].value.text, std::string("\x00\xFF", 2));

    ASSERT_EQ(root.children.size(), 1u);
    const FormObject& pan = root.children[0];
    EXPECT_FALSE(pan.inherited);
    EXPECT_EQ(pan.position.line, 4);
    EXPECT_EQ(pan.position.column, 3);
    const FormValue& columns = pan.properties.at(0).value;
    ASSERT_EQ(columns.kind, FormValue::Kind::Collection);
    ASSERT_EQ(columns.items.size(), 2u);
    EXPECT_EQ(columns.items[0].properties.at(0).value.integer, 48);
    EXPECT_TRUE(columns.items[1].properties.empty());
    ASSERT_EQ(pan.children.size(), 1u);
    EXPECT_TRUE(pan.children[0].inherited);
    EXPECT_EQ(pan.children[0].name, "btn");
}

TEST(FormParser, EmptyCollectionsSetsAndLists)
{
    FormObject root = FormParser::Parse("object f: T\n  A = []\n  B = ()\n  C = <>\nend", "e.form");
    ASSERT_EQ(root.properties.size(), 3u);
    EXPECT_TRUE(root.properties[0].value.elements.empty());
    EXPECT_EQ(root.properties[1].value.kind, FormValue::Kind::List);
    EXPECT_TRUE(root.properties[2].value.items.empty());
}
