// The text of one entry of the possible-services list, built from a service's
// code and name and read back by fixed positions.
#include "screen/assign/ServiceLine.h"
#include "platform/core/Exception.h"

#include <gtest/gtest.h>

namespace {

TEST(ServiceLineTest, FiveCharacterCodeKeepsSeparatorAndNameAtFixedPositions)
{
    std::string line = ServiceLine::Build("00012", "Consultoria");
    EXPECT_EQ(line, "00012 - Consultoria");
    EXPECT_EQ(line.substr(5, 3), " - ");
    EXPECT_EQ(ServiceLine::Code(line), "00012");
    EXPECT_EQ(ServiceLine::Name(line), "Consultoria");
}

TEST(ServiceLineTest, NameLengthsAtTheEdgesReadBackWhole)
{
    std::string one = ServiceLine::Build("00001", "X");
    EXPECT_EQ(one.size(), 9u);
    EXPECT_EQ(ServiceLine::Code(one), "00001");
    EXPECT_EQ(ServiceLine::Name(one), "X");

    const std::string forty = "Manuten\xE7\xE3o preventiva de equipamentos AB";
    ASSERT_EQ(forty.size(), 40u);
    std::string full = ServiceLine::Build("99999", forty);
    EXPECT_EQ(full.size(), 48u);
    EXPECT_EQ(ServiceLine::Name(full), forty);
    EXPECT_EQ(ServiceLine::Code(full), "99999");

    std::string empty = ServiceLine::Build("00003", "");
    EXPECT_EQ(empty, "00003 - ");
    EXPECT_EQ(ServiceLine::Code(empty), "00003");
    EXPECT_EQ(ServiceLine::Name(empty), "");
}

TEST(ServiceLineTest, NameIsTakenAsTheFieldGivesIt)
{
    // Neither trimmed nor filled out: blanks of the name belong to it.
    std::string line = ServiceLine::Build("00004", " Limpeza  ");
    EXPECT_EQ(line, "00004 -  Limpeza  ");
    EXPECT_EQ(ServiceLine::Name(line), " Limpeza  ");
}

TEST(ServiceLineTest, ReadingStopsAtFortyCharactersOfName)
{
    std::string line = "00001 - " + std::string(45, 'a');
    EXPECT_EQ(ServiceLine::Name(line), std::string(40, 'a'));
}

TEST(ServiceLineTest, ShortLinesGiveAnEmptyName)
{
    EXPECT_EQ(ServiceLine::Name("00001 -"), "");
    EXPECT_EQ(ServiceLine::Name(""), "");
    EXPECT_EQ(ServiceLine::Code(""), "");
    EXPECT_EQ(ServiceLine::Code("12"), "12");
}

TEST(ServiceLineTest, ShortCodeIsFilledOutSoTheNameStaysInPlace)
{
    std::string line = ServiceLine::Build("A1", "Curto");
    EXPECT_EQ(line, "A1    - Curto");
    EXPECT_EQ(line.substr(5, 3), " - ");
    EXPECT_EQ(ServiceLine::Code(line), "A1");
    EXPECT_EQ(ServiceLine::Name(line), "Curto");

    std::string blank = ServiceLine::Build("", "Sem c\xF3"
                                               "digo");
    EXPECT_EQ(blank, "      - Sem c\xF3"
                     "digo");
    EXPECT_EQ(ServiceLine::Code(blank), "");
    EXPECT_EQ(ServiceLine::Name(blank), "Sem c\xF3"
                                        "digo");
}

TEST(ServiceLineTest, CodeLongerThanFiveCharactersIsRefused)
{
    EXPECT_THROW(ServiceLine::Build("123456", "Longo"), EInvalidOperation);
}

TEST(ServiceLineTest, EveryLineOfALoadReadsBackToItsRow)
{
    // Lines built from rows and read back give the rows again, whatever mix
    // of code widths and name lengths the rows have.
    const std::pair<std::string, std::string> rows[] = {
        {"00001", "Consultoria"}, {"0002", "Manuten\xE7\xE3o"}, {"3", ""}, {"00004", std::string(40, 'z')},
        {"ABCDE", " - "},
    };
    for (const auto& [code, name] : rows) {
        std::string line = ServiceLine::Build(code, name);
        EXPECT_EQ(ServiceLine::Code(line), code) << line;
        EXPECT_EQ(ServiceLine::Name(line), name) << line;
    }
}

} // namespace
