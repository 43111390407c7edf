// Opening, bringing back, closing and reopening the screen, and unloading the
// package, through the shell as an operator would.
#include "ShellHarness.h"

#include <algorithm>

namespace {

int CountForms(const json& dump, const std::string& name)
{
    int n = 0;
    for (const auto& f : dump["forms"]) {
        n += f.get<std::string>() == name ? 1 : 0;
    }
    return n;
}

} // namespace

TEST_F(ShellTest, OpenShowsOneScreenFocusedOnTheBranch)
{
    auto out = Run("open\ndump\n");
    ASSERT_EQ(out.exitCode, 0) << out.Text();
    json d = out.Dump();
    EXPECT_TRUE(d["package"].get<bool>());
    EXPECT_TRUE(d["globals"]["frmServCliente"].get<bool>());
    EXPECT_TRUE(d["globals"]["boidcriado"].get<bool>());
    EXPECT_FALSE(d["globals"]["bopesq"].get<bool>());
    EXPECT_FALSE(d["globals"]["boDelTodos"].get<bool>());
    EXPECT_EQ(d["cursor"], 0);
    EXPECT_EQ(d["activeForm"], "frmServCliente");
    EXPECT_EQ(CountForms(d, "frmServCliente"), 1);
    EXPECT_EQ(d["screen"]["caption"], "Serviço por Cliente");
    EXPECT_EQ(d["screen"]["windowState"], "normal");
    EXPECT_EQ(d["screen"]["activeControl"], "medCdFilial");
    EXPECT_EQ(out.Component("lblCodTela")["caption"], "CLI_ZEL31500");
    EXPECT_TRUE(out.Errors().empty()) << out.Text();
}

TEST_F(ShellTest, SecondOpenBringsTheSameScreenBackAtNormalSize)
{
    auto out = Run("open\nwindowstate minimized\ndump\nopen\ndump\nwindowstate maximized\nopen\ndump\n");
    ASSERT_EQ(out.exitCode, 0) << out.Text();
    EXPECT_EQ(out.Dump(0)["screen"]["windowState"], "minimized");
    EXPECT_EQ(out.Dump(1)["screen"]["windowState"], "normal");
    EXPECT_EQ(CountForms(out.Dump(1), "frmServCliente"), 1);
    EXPECT_EQ(out.Dump(2)["screen"]["windowState"], "normal");
    EXPECT_EQ(CountForms(out.Dump(2), "frmServCliente"), 1);
}

TEST_F(ShellTest, CloseDropsTheScreenAndTheNextOpenMakesANewOne)
{
    auto out = Run("open\nclose\ndump\nopen\ndump\nclose\nunload\ndump\n");
    ASSERT_EQ(out.exitCode, 0) << out.Text();
    json closed = out.Dump(0);
    EXPECT_FALSE(closed["globals"]["frmServCliente"].get<bool>());
    EXPECT_FALSE(closed["globals"]["boidcriado"].get<bool>());
    EXPECT_EQ(CountForms(closed, "frmServCliente"), 0);
    EXPECT_TRUE(closed["screen"].is_null());

    json reopened = out.Dump(1);
    EXPECT_TRUE(reopened["globals"]["boidcriado"].get<bool>());
    EXPECT_FALSE(reopened["globals"]["bopesq"].get<bool>());
    EXPECT_EQ(CountForms(reopened, "frmServCliente"), 1);

    json unloaded = out.Dump(2);
    EXPECT_FALSE(unloaded["package"].get<bool>());
    EXPECT_EQ(CountForms(unloaded, "frmServCliente"), 0);
}

TEST_F(ShellTest, ScriptErrorsAreReportedAndTheScriptGoesOn)
{
    auto out = Run("bogus\nfocus nothingHere\npick 0\nopen\nclick sbtEscolhido\ndump\n");
    ASSERT_EQ(out.exitCode, 0);
    EXPECT_EQ(out.All("script-error").size(), 3u) << out.Text();
    // A disabled button ignores the click: nothing was moved, nothing sent.
    EXPECT_EQ(std::count(out.Calls().begin(), out.Calls().end(), "ApCoServClie"), 0);
    EXPECT_TRUE(out.Dump()["globals"]["boidcriado"].get<bool>());
}

TEST_F(ShellTest, TheScreenOpensWhileTheServerIsDownAndSaysSoAtTheFirstCall)
{
    Server().Stop();
    auto out = Run("open\ndump\ntype 1\ntab\n");
    ASSERT_EQ(out.exitCode, 0);
    EXPECT_TRUE(out.Dump()["globals"]["boidcriado"].get<bool>()) << out.Text();
}

TEST_F(ShellTest, TheEnglishResourceModuleIsChosenByTheSessionLanguage)
{
    WriteSession({{"Language", "en"}});
    auto out = Run("open\nfocus lsbPossiveis\ndump\n");
    ASSERT_EQ(out.exitCode, 0) << out.Text();
    EXPECT_EQ(out.Dump()["screen"]["caption"], "Services by Client");
    EXPECT_EQ(out.Component("lblFilial")["caption"], "Branch");
    // Leaving the header with no client: the message comes from the English table.
    EXPECT_EQ(out.Errors(), (std::vector<std::string>{"The client must be given."}));

    WriteSession({{"Language", "pt_BR"}});
    out = Run("open\ndump\n");
    EXPECT_EQ(out.Dump()["screen"]["caption"], "Serviço por Cliente");
}
