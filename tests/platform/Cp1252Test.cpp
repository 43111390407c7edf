#include "platform/core/Cp1252.h"
#include "platform/core/Exception.h"

#include <gtest/gtest.h>

TEST(Cp1252, RoundTripsPortugueseText)
{
    const std::string utf8 = "Serviço por Cliente: não há ação à época — “€”";
    std::string ansi = Cp1252::FromUtf8(utf8);
    EXPECT_EQ(ansi.size(), 46u);                          // one byte per character
    EXPECT_EQ(static_cast<unsigned char>(ansi[5]), 0xE7); // ç
    EXPECT_EQ(Cp1252::ToUtf8(ansi), utf8);
    // Long runs of ASCII, before an accented letter and on their own.
    const std::string later = "Manutencao preventiva: ação";
    EXPECT_EQ(Cp1252::FromUtf8(later).size(), later.size() - 2);
    EXPECT_EQ(Cp1252::ToUtf8(Cp1252::FromUtf8(later)), later);
    const std::string ascii = "Servico de ida e volta 0123456789";
    EXPECT_EQ(Cp1252::FromUtf8(ascii), ascii);
    EXPECT_EQ(Cp1252::ToUtf8(ascii), ascii);
}

TEST(Cp1252, EuroAndQuotesUseTheWindowsRange)
{
    // Every letter of the Latin-1 range is one byte at its code point and
    // comes back the same, also beside the Windows range.
    for (unsigned code = 0xA0; code <= 0xFF; ++code) {
        const std::string utf8{static_cast<char>(0xC0 | (code >> 6)), static_cast<char>(0x80 | (code & 0x3F))};
        EXPECT_EQ(Cp1252::FromUtf8("a" + utf8 + "\u20AC"), std::string("a") + static_cast<char>(code) + "\x80");
        EXPECT_EQ(Cp1252::ToUtf8(std::string(1, static_cast<char>(code))), utf8);
    }
    EXPECT_THROW(Cp1252::FromUtf8("\xC2\x81"), EConvertError); // a C1 control has no Windows-1252 form
    std::string ansi = Cp1252::FromUtf8("€“”");
    ASSERT_EQ(ansi.size(), 3u);
    EXPECT_EQ(static_cast<unsigned char>(ansi[0]), 0x80);
    EXPECT_EQ(static_cast<unsigned char>(ansi[1]), 0x93);
    EXPECT_EQ(static_cast<unsigned char>(ansi[2]), 0x94);
}

TEST(Cp1252, RefusesCharactersWithoutAForm)
{
    EXPECT_THROW(Cp1252::FromUtf8("Ωmega"), EConvertError);
    EXPECT_THROW(Cp1252::FromUtf8("日本"), EConvertError);
    EXPECT_THROW(Cp1252::FromUtf8("\xC3"), EConvertError);  // truncated UTF-8
    EXPECT_THROW(Cp1252::FromUtf8("ç\xC3"), EConvertError); // ends inside a character
    EXPECT_THROW(Cp1252::FromUtf8("Manutencao \xC3"), EConvertError);
    EXPECT_THROW(Cp1252::FromUtf8("Manutencao Ωmega"), EConvertError);
    // A refused text leaves nothing behind for the next one.
    EXPECT_EQ(Cp1252::FromUtf8("ção"), std::string("\xE7\xE3o"));
}

TEST(Cp1252, RefusesUndefinedBytes)
{
    EXPECT_THROW(Cp1252::ToUtf8(std::string("a\x81")), EConvertError);
    EXPECT_THROW(Cp1252::ToUtf8(std::string("Manutencao \x81")), EConvertError);
}

TEST(Cp1252, CaseMappingCoversAccentedLetters)
{
    EXPECT_EQ(Cp1252::UpperCase(Cp1252::FromUtf8("ação")), Cp1252::FromUtf8("AÇÃO"));
    EXPECT_EQ(Cp1252::LowerCase(Cp1252::FromUtf8("ÉPOCA")), Cp1252::FromUtf8("época"));
    EXPECT_EQ(Cp1252::UpperCase(std::string("x\xF7")), std::string("X\xF7")); // ÷ has no case
}
