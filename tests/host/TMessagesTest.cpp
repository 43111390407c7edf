#include "host/TMessages.h"
#include "platform/core/Cp1252.h"
#include "platform/core/Exception.h"

#include <gtest/gtest.h>

namespace {

std::vector<std::string> Lines(std::initializer_list<const char*> utf8)
{
    std::vector<std::string> lines;
    for (const char* line : utf8) {
        lines.push_back(Cp1252::FromUtf8(line));
    }
    return lines;
}

TEST(TMessages, KeysAreFoundWithoutRegardToCase)
{
    TMessages msgPadrao(nullptr);
    msgPadrao.SetLines(Lines({"filial_inf|Filial deve ser informada.", "filial_nc|Filial não cadastrada.",
                              "cliente_nc|Não há cliente cadastrado para filial informada."}));
    EXPECT_EQ(msgPadrao.Msg("filial_inf"), "Filial deve ser informada.");
    EXPECT_EQ(msgPadrao.Msg("Filial_nc"), Cp1252::FromUtf8("Filial não cadastrada."));
    EXPECT_EQ(msgPadrao.Msg("CLIENTE_NC"), Cp1252::FromUtf8("Não há cliente cadastrado para filial informada."));
    EXPECT_EQ(msgPadrao.Lines().size(), 3u);
}

TEST(TMessages, ArgumentsTakeTheirPlacesAndAPercentWithoutOneStays)
{
    TMessages msgPadrao(nullptr);
    msgPadrao.SetLines(Lines({"alt_cliente|cliente %1, filial %2 (%3 a 100%)"}));
    EXPECT_EQ(msgPadrao.Msg("alt_cliente", {"Ana", "0001"}), "cliente Ana, filial 0001 (%3 a 100%)");
    EXPECT_EQ(msgPadrao.Msg("alt_cliente", {"%2", "x"}), "cliente %2, filial x (%3 a 100%)");
}

TEST(TMessages, AccentedKeysFoldTheirCaseToo)
{
    TMessages msg(nullptr);
    msg.SetLines(Lines({"ação|com acento", "acao|sem acento"}));
    EXPECT_EQ(msg.Msg(Cp1252::FromUtf8("AÇÃO")), "com acento");
    EXPECT_EQ(msg.Msg(Cp1252::FromUtf8("Ação")), "com acento");
    EXPECT_EQ(msg.Msg("ACAO"), "sem acento") << "an accented letter is not its plain one";
}

TEST(TMessages, AMissingKeyIsAnErrorNamingKeyAndTable)
{
    TMessages msg(nullptr);
    msg.SetName("msgPadrao");
    msg.SetLines(Lines({"filial_inf|Filial deve ser informada."}));
    try {
        msg.Msg("filial_xx");
        FAIL() << "a missing key should fail";
    } catch (const EInvalidOperation& e) {
        EXPECT_NE(std::string(e.what()).find("'filial_xx'"), std::string::npos) << e.what();
        EXPECT_NE(std::string(e.what()).find("msgPadrao"), std::string::npos) << e.what();
    }
    EXPECT_FALSE(msg.HasMsg("filial_xx"));
    EXPECT_TRUE(msg.HasMsg("FILIAL_INF"));
}

TEST(TMessages, LineShapes)
{
    TMessages msg(nullptr);
    msg.SetLines(Lines(
        {"no bar here", "|no key", "  spaced  |  text kept  ", "pipe|a|b", "twice|first", "TWICE|second", "empty|"}));
    EXPECT_FALSE(msg.HasMsg("no bar here"));
    EXPECT_FALSE(msg.HasMsg(""));
    EXPECT_EQ(msg.Msg("spaced"), "  text kept  ");
    EXPECT_EQ(msg.Msg("pipe"), "a|b") << "the key ends at the first bar";
    EXPECT_EQ(msg.Msg("twice"), "first");
    EXPECT_EQ(msg.Msg("empty"), "");

    msg.SetLines(Lines({"new|novo"}));
    EXPECT_FALSE(msg.HasMsg("pipe")) << "new lines replace the old ones";
    EXPECT_EQ(msg.Msg("new"), "novo");
}

} // namespace
