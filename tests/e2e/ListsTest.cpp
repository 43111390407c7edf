// The two views of the services, loaded from the real application server when
// the header is left and when the verify command runs: the branch's services
// the client does not have, as list lines, and the client's services in the
// grid. Every rebuild costs exactly one GetServico followed by one GetServClie.
#include "ShellHarness.h"

#include <algorithm>

namespace {

std::vector<std::string> Items(const ShellOutput& out, int n = -1)
{
    std::vector<std::string> items;
    json list = out.Component("lsbPossiveis", n);
    for (const auto& i : list["items"]) {
        items.push_back(i.get<std::string>());
    }
    return items;
}

// The client's services as the grid's data set holds them: code, name.
std::vector<std::pair<std::string, std::string>> Assignments(const ShellOutput& out, int n = -1)
{
    std::vector<std::pair<std::string, std::string>> rows;
    json grid = out.Component("cdsServClie", n);
    for (const auto& r : grid["rows"]) {
        rows.emplace_back(r[1].get<std::string>(), r[3].get<std::string>());
    }
    return rows;
}

bool Enabled(const ShellOutput& out, const std::string& name, int n = -1)
{
    return out.Component(name, n)["enabled"].get<bool>();
}

// Each rebuild is GetServico then GetServClie for the same branch and client,
// one right after the other: no call of either kind stands alone.
void ExpectRebuildsInPairs(const ShellOutput& out)
{
    auto calls = out.All("call");
    for (size_t i = 0; i < calls.size(); ++i) {
        if (calls[i]["call"] == "GetServico") {
            ASSERT_LT(i + 1, calls.size()) << out.Text();
            EXPECT_EQ(calls[i + 1]["call"], "GetServClie") << out.Text();
            EXPECT_EQ(calls[i + 1]["args"], calls[i]["args"]);
        } else if (calls[i]["call"] == "GetServClie") {
            ASSERT_GT(i, 0u) << out.Text();
            EXPECT_EQ(calls[i - 1]["call"], "GetServico") << out.Text();
        }
    }
}

int Rebuilds(const ShellOutput& out)
{
    auto calls = out.Calls();
    return static_cast<int>(std::count(calls.begin(), calls.end(), "GetServico"));
}

// Picks the n-th client of branch 0001 and leaves the header into the grid.
std::string ChooseClient(int row)
{
    return "open\nclick btnCliente\npick " + std::to_string(row) + "\nfocus dbgPadrao\n";
}

class ListsTest : public ShellTest {
protected:
    // Runs the script; a command the shell could not carry out means the
    // script does not do what the test says.
    ShellOutput Play(const std::string& script)
    {
        ShellOutput out = Run(script);
        EXPECT_TRUE(out.All("script-error").empty()) << out.Text();
        return out;
    }
};

TEST_F(ListsTest, LeavingTheHeaderLoadsBothViewsForTheCheckedClient)
{
    auto out = Play(ChooseClient(0) + "dump\n");
    ASSERT_EQ(out.exitCode, 0) << out.Text();
    EXPECT_EQ(out.Calls(), (std::vector<std::string>{"GetCliente", "GetCliente", "GetServico", "GetServClie"}));
    auto calls = out.All("call");
    // The branch code from the edit, the client code (not the number) from
    // the checked client.
    EXPECT_EQ(calls[2]["args"], json::array({"0001", "C0001"}));
    EXPECT_EQ(calls[3]["args"], json::array({"0001", "C0001"}));
    EXPECT_EQ(Items(out), (std::vector<std::string>{"00001 - Consultoria", "00003 - Instalação", "00004 - Treinamento",
                                                    "00005 - Suporte técnico"}));
    EXPECT_EQ(Assignments(out), (std::vector<std::pair<std::string, std::string>>{{"00002", "Manutenção"}}));
    EXPECT_TRUE(out.Component("dtsPadrao")["enabled"].get<bool>());
    EXPECT_EQ(out.Component("dtsPadrao")["state"], "browse");
    for (const char* b : {"sbtEscolhido", "sbtTodos", "sbtUmEsquerda", "sbtTodosEsquerda"}) {
        EXPECT_TRUE(Enabled(out, b)) << b;
    }
    EXPECT_TRUE(out.Errors().empty()) << out.Text();
}

TEST_F(ListsTest, ClientWithEveryServiceHasAnEmptyList)
{
    auto out = Play(ChooseClient(2) + "dump\n");
    ASSERT_EQ(out.exitCode, 0) << out.Text();
    EXPECT_TRUE(Items(out).empty());
    EXPECT_TRUE(out.Component("cdsServico")["rows"].empty());
    ASSERT_EQ(Assignments(out).size(), 5u);
    EXPECT_EQ(Assignments(out)[4], (std::pair<std::string, std::string>{"00005", "Suporte técnico"}));
    // Nothing to add, everything can go back.
    EXPECT_FALSE(Enabled(out, "sbtEscolhido"));
    EXPECT_FALSE(Enabled(out, "sbtTodos"));
    EXPECT_TRUE(Enabled(out, "sbtUmEsquerda"));
    EXPECT_TRUE(Enabled(out, "sbtTodosEsquerda"));
    EXPECT_EQ(Rebuilds(out), 1);
    ExpectRebuildsInPairs(out);
}

TEST_F(ListsTest, ClientWithoutServicesSeesEveryServiceOfTheBranch)
{
    auto out = Play(ChooseClient(1) + "dump\n");
    ASSERT_EQ(out.exitCode, 0) << out.Text();
    EXPECT_EQ(Items(out), (std::vector<std::string>{"00001 - Consultoria", "00002 - Manutenção", "00003 - Instalação",
                                                    "00004 - Treinamento", "00005 - Suporte técnico"}));
    EXPECT_TRUE(Assignments(out).empty());
    EXPECT_TRUE(Enabled(out, "sbtEscolhido"));
    EXPECT_TRUE(Enabled(out, "sbtTodos"));
    EXPECT_FALSE(Enabled(out, "sbtUmEsquerda"));
    EXPECT_FALSE(Enabled(out, "sbtTodosEsquerda"));
    EXPECT_EQ(Rebuilds(out), 1);
    ExpectRebuildsInPairs(out);
}

TEST_F(ListsTest, OtherBranchShowsItsOwnServicesOnly)
{
    auto out = Play("open\nfocus medCdFilial\ntype 2\ntab\nclick btnCliente\npick 0\nfocus dbgPadrao\ndump\n");
    ASSERT_EQ(out.exitCode, 0) << out.Text();
    auto calls = out.All("call");
    ASSERT_EQ(calls.size(), 4u) << out.Text();
    EXPECT_EQ(calls[2]["args"], json::array({"0002", "C0101"}));
    EXPECT_EQ(Items(out), std::vector<std::string>{"00001 - Limpeza"});
    EXPECT_TRUE(Assignments(out).empty());
}

TEST_F(ListsTest, VerifyingTwiceRebuildsTheSameListWithoutDoubles)
{
    auto out = Play(ChooseClient(0) + "dump\nclick sbtVerificar\ndump\nclick mniVerificar\ndump\n");
    ASSERT_EQ(out.exitCode, 0) << out.Text();
    EXPECT_EQ(Rebuilds(out), 3);
    ExpectRebuildsInPairs(out);
    EXPECT_EQ(out.Calls().size(), 2u + 6u) << "two client checks, then three pairs: " << out.Text();
    EXPECT_EQ(Items(out, 1), Items(out, 0));
    EXPECT_EQ(Items(out, 2), Items(out, 0));
    EXPECT_EQ(Items(out, 2).size(), 4u);
    EXPECT_EQ(Assignments(out, 2), Assignments(out, 0));
    EXPECT_TRUE(out.Component("dtsPadrao", 2)["enabled"].get<bool>());
    EXPECT_TRUE(Enabled(out, "sbtUmEsquerda", 2));
}

TEST_F(ListsTest, VerifyIsOnlyOfferedInTheGrid)
{
    // From the list the command is off: the click is ignored and nothing is
    // asked of the server.
    auto out = Play(ChooseClient(0) + "listclick lsbPossiveis 0\nclick sbtVerificar\nclick mniVerificar\ndump\n");
    ASSERT_EQ(out.exitCode, 0) << out.Text();
    EXPECT_EQ(Rebuilds(out), 1);
    EXPECT_EQ(Items(out).size(), 4u);
    EXPECT_EQ(out.Component("lsbPossiveis")["selected"], json::array({0}));
}

TEST_F(ListsTest, LinesFollowTheServerOrderWithCodeSeparatorAndName)
{
    // A forty-character name, a one-character name and a code shorter than
    // the five characters the lines are laid out for.
    Db().Execute("INSERT INTO SERVFILI VALUES (?, ?, ?)",
                 {"0001", "00007", "Manutenção preventiva de equipamentos AB"});
    Db().Execute("INSERT INTO SERVFILI VALUES (?, ?, ?)", {"0001", "00006", "X"});
    Db().Execute("INSERT INTO SERVFILI VALUES (?, ?, ?)", {"0001", "A1", "Curto"});
    auto out = Play(ChooseClient(1) + "dump\n");
    ASSERT_EQ(out.exitCode, 0) << out.Text();
    auto items = Items(out);
    auto rows = out.Component("cdsServico")["rows"];
    ASSERT_EQ(items.size(), rows.size());
    ASSERT_EQ(items.size(), 8u) << out.Text();
    // One line per row, in the order the server delivered the rows.
    for (size_t i = 0; i < rows.size(); ++i) {
        std::string code = rows[i][0].get<std::string>();
        EXPECT_EQ(items[i].substr(0, code.size()), code) << items[i];
    }
    EXPECT_EQ(items[5], "00006 - X");
    EXPECT_EQ(items[6], "00007 - Manutenção preventiva de equipamentos AB");
    // The short code is filled out so that its name starts where every other
    // line's does.
    EXPECT_EQ(items[7], "A1    - Curto");
    EXPECT_EQ(items[7].find(" - "), items[0].find(" - "));
    EXPECT_TRUE(out.Errors().empty()) << out.Text();
}

TEST_F(ListsTest, FailedCheckOnLeavingTheHeaderLoadsNothing)
{
    auto out = Play("open\nfocus medCdFilial\ntype 9\nfocus dbgPadrao\ndump\n"
                    "focus medCdFilial\ntype 1\nfocus medCliente\ntype 9999\nfocus dbgPadrao\ndump\n");
    ASSERT_EQ(out.exitCode, 0) << out.Text();
    EXPECT_EQ(Rebuilds(out), 0) << out.Text();
    EXPECT_EQ(out.Calls(), std::vector<std::string>{"GetCliente"});
    EXPECT_TRUE(Items(out, 0).empty());
    EXPECT_TRUE(Items(out, 1).empty());
    EXPECT_FALSE(out.Component("dtsPadrao", 1)["enabled"].get<bool>());
}

TEST_F(ListsTest, ChangingTheClientRebuildsForTheNewOne)
{
    auto out = Play(ChooseClient(0) + "dump\nfocus medCdFilial\nclick btnCliente\npick 2\nfocus dbgPadrao\ndump\n");
    ASSERT_EQ(out.exitCode, 0) << out.Text();
    EXPECT_EQ(Rebuilds(out), 2);
    ExpectRebuildsInPairs(out);
    auto calls = out.All("call");
    EXPECT_EQ(calls.back()["args"], json::array({"0001", "C0003"}));
    EXPECT_EQ(Items(out, 0).size(), 4u);
    EXPECT_TRUE(Items(out, 1).empty()) << "the old client's lines are gone";
    EXPECT_EQ(Assignments(out, 1).size(), 5u);
}

} // namespace
