// The branch and client header as an operator works it through the headless
// shell against the real application server: the branch filled at show, the
// branch and client checks on leaving an edit and on leaving the header, the
// two lookups, the client's mask, and a session tied to one branch.
#include "ShellHarness.h"

#include <algorithm>

namespace {

// The lines printed after the (n-1)-th dump and up to the n-th one (n = 0:
// from the start), so that a step's calls and messages can be told apart.
std::vector<json> Before(const ShellOutput& out, int n)
{
    std::vector<json> lines;
    int seen = 0;
    for (const auto& l : out.lines) {
        if (l.contains("dump")) {
            if (seen == n) {
                return lines;
            }
            ++seen;
            lines.clear();
            continue;
        }
        lines.push_back(l);
    }
    return lines;
}

std::vector<json> CallsBefore(const ShellOutput& out, int n)
{
    std::vector<json> calls;
    for (const auto& l : Before(out, n)) {
        if (l.contains("call")) {
            calls.push_back(l);
        }
    }
    return calls;
}

std::vector<std::string> ErrorsBefore(const ShellOutput& out, int n)
{
    std::vector<std::string> errors;
    for (const auto& l : Before(out, n)) {
        if (l.contains("error")) {
            errors.push_back(l["error"].get<std::string>());
        }
    }
    return errors;
}

std::string Text(const ShellOutput& out, const std::string& name, int n = -1)
{
    return out.Component(name, n)["text"].get<std::string>();
}

bool Enabled(const ShellOutput& out, const std::string& name, int n = -1)
{
    return out.Component(name, n)["enabled"].get<bool>();
}

std::string Focus(const ShellOutput& out, int n = -1)
{
    json active = out.Dump(n)["screen"]["activeControl"];
    return active.is_string() ? active.get<std::string>() : "";
}

int CountCalls(const ShellOutput& out, const std::string& method)
{
    auto calls = out.Calls();
    return static_cast<int>(std::count(calls.begin(), calls.end(), method));
}

const std::vector<std::string> kHeaderControls = {"lblFilial",  "medCdFilial", "btpFilial",
                                                  "lblCliente", "medCliente",  "btnCliente"};
const std::vector<std::string> kTransferButtons = {"sbtEscolhido", "sbtTodos", "sbtUmEsquerda", "sbtTodosEsquerda"};

// The screen as entering the header leaves it: nothing to move, the grid
// blank, the left list empty.
void ExpectHeaderEditing(const ShellOutput& out, int n = -1)
{
    EXPECT_TRUE(out.Component("lsbPossiveis", n)["items"].empty()) << out.Text();
    EXPECT_FALSE(out.Component("dtsPadrao", n)["enabled"].get<bool>());
    for (const auto& b : kTransferButtons) {
        EXPECT_FALSE(Enabled(out, b, n)) << b;
    }
}

class HeaderTest : public ShellTest {
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

TEST_F(HeaderTest, ShortBranchCodeIsFilledOutOnExitAndTheClientEmptied)
{
    auto out = Play("open\n"
                    "click btnCliente\npick 0\ndump\n"
                    "focus medCdFilial\ntype 2\ndump\n"
                    "tab\ndump\n"
                    "focus medCdFilial\ntype 1\ntab\ndump\n");
    ASSERT_EQ(out.exitCode, 0) << out.Text();
    EXPECT_EQ(Text(out, "medCliente", 0), "11144477735");
    EXPECT_EQ(Text(out, "edtCliente", 0), "Ana Souza");

    // Typing a new code empties the branch name and the whole client at once.
    EXPECT_EQ(Text(out, "medCdFilial", 1), "2");
    EXPECT_EQ(Text(out, "edtNmFilial", 1), "");
    EXPECT_EQ(Text(out, "medCliente", 1), "");
    EXPECT_EQ(Text(out, "edtCliente", 1), "");

    // Leaving the edit fills the code out to four characters and shows the
    // branch's name from the local database, without asking the server.
    EXPECT_EQ(Text(out, "medCdFilial", 2), "0002");
    EXPECT_EQ(Text(out, "edtNmFilial", 2), "Filial Campinas");
    EXPECT_EQ(Text(out, "medCliente", 2), "");
    EXPECT_EQ(Focus(out, 2), "medCliente");
    EXPECT_TRUE(CallsBefore(out, 2).empty()) << out.Text();

    EXPECT_EQ(Text(out, "medCdFilial", 3), "0001");
    EXPECT_EQ(Text(out, "edtNmFilial", 3), "Matriz São Paulo");
    EXPECT_TRUE(out.Errors().empty()) << out.Text();
}

TEST_F(HeaderTest, LeavingTheHeaderWithoutABranchAsksForOneAndChecksNoClient)
{
    // A picked client makes leaving the client edit check nothing, so the only
    // check left is the header's own.
    auto out = Play("open\nclick btnCliente\npick 0\n"
                    "focus medCdFilial\nkey Backspace\nfocus medCliente\ndump\n"
                    "type 1114\nfocus dbgPadrao\ndump\n");
    ASSERT_EQ(out.exitCode, 0) << out.Text();
    // Leaving the branch edit empty says nothing.
    EXPECT_EQ(Text(out, "medCdFilial", 0), "");
    EXPECT_TRUE(ErrorsBefore(out, 0).empty()) << out.Text();

    EXPECT_EQ(ErrorsBefore(out, 1), std::vector<std::string>{"Filial deve ser informada."});
    EXPECT_TRUE(CallsBefore(out, 1).empty()) << "no client check, no loading: " << out.Text();
    EXPECT_EQ(Focus(out, 1), "medCdFilial");
    EXPECT_EQ(Text(out, "medCliente", 1), "1114");
    ExpectHeaderEditing(out, 1);
}

TEST_F(HeaderTest, UnknownBranchIsRefusedOnLeavingTheEditAndTheHeader)
{
    auto out = Play("open\nfocus medCdFilial\ntype 9\ntab\ndump\nfocus dbgPadrao\ndump\n");
    ASSERT_EQ(out.exitCode, 0) << out.Text();
    // The edit's own check does not require a branch but refuses an unknown one.
    EXPECT_EQ(ErrorsBefore(out, 0), std::vector<std::string>{"Filial não cadastrada."});
    EXPECT_EQ(Text(out, "medCdFilial", 0), "0009");
    EXPECT_EQ(Text(out, "edtNmFilial", 0), "");
    EXPECT_EQ(Focus(out, 0), "medCdFilial");

    // Leaving the header from that edit fails at the edit: the header's own
    // checks do not run, the server is never asked.
    EXPECT_EQ(ErrorsBefore(out, 1), std::vector<std::string>{"Filial não cadastrada."});
    EXPECT_EQ(Focus(out, 1), "medCdFilial");
    EXPECT_TRUE(out.Calls().empty()) << out.Text();
    ExpectHeaderEditing(out, 1);
}

TEST_F(HeaderTest, ValidBranchWithAnUnknownClientShowsTheBranchAndKeepsTheListsEmpty)
{
    // A module that starts on the current branch, whose name is not shown at
    // show: it appears once the branch is checked.
    WriteSession({{"ModuloAtiv", "3"}, {"FiliProc", "0002"}});
    auto out = Play("open\ndump\nfocus medCliente\ntype 9999\nfocus dbgPadrao\ndump\n");
    ASSERT_EQ(out.exitCode, 0) << out.Text();
    EXPECT_EQ(Text(out, "edtNmFilial", 0), "");

    EXPECT_EQ(ErrorsBefore(out, 1), std::vector<std::string>{"Não há cliente cadastrado para filial informada."});
    auto calls = CallsBefore(out, 1);
    ASSERT_EQ(calls.size(), 1u) << out.Text();
    EXPECT_EQ(calls[0]["call"], "GetCliente");
    EXPECT_EQ(calls[0]["args"], json::array({"0002", "9999"}));
    EXPECT_EQ(Text(out, "edtNmFilial", 1), "Filial Campinas");
    EXPECT_EQ(Text(out, "medCliente", 1), "9999");
    EXPECT_EQ(Text(out, "edtCliente", 1), "");
    EXPECT_EQ(Focus(out, 1), "medCliente");
    EXPECT_TRUE(out.Component("cdsCliente", 1)["rows"].empty());
    ExpectHeaderEditing(out, 1);
}

TEST_F(HeaderTest, LeavingTheHeaderChecksTheClientAgainEvenAfterAPick)
{
    // After a pick the client edit checks nothing on its own; the header does,
    // required, and stops there when the number is unknown or missing.
    auto out = Play("open\nclick btnCliente\npick 0\n"
                    "focus medCliente\ntype 9999\nfocus dbgPadrao\ndump\n"
                    "focus medCliente\nkey Backspace\nfocus dbgPadrao\ndump\n");
    ASSERT_EQ(out.exitCode, 0) << out.Text();
    EXPECT_EQ(ErrorsBefore(out, 0), std::vector<std::string>{"Não há cliente cadastrado para filial informada."});
    auto calls = CallsBefore(out, 0);
    ASSERT_EQ(calls.size(), 2u) << out.Text();
    EXPECT_EQ(calls[1]["call"], "GetCliente");
    EXPECT_EQ(calls[1]["args"], json::array({"0001", "9999"}));
    EXPECT_EQ(Focus(out, 0), "medCliente");
    EXPECT_EQ(Text(out, "edtNmFilial", 0), "Matriz São Paulo");
    ExpectHeaderEditing(out, 0);

    EXPECT_EQ(ErrorsBefore(out, 1), std::vector<std::string>{"Cliente deve ser informado."});
    EXPECT_TRUE(CallsBefore(out, 1).empty()) << out.Text();
    EXPECT_EQ(Focus(out, 1), "medCliente");
    ExpectHeaderEditing(out, 1);
    EXPECT_EQ(CountCalls(out, "GetServico") + CountCalls(out, "GetServClie"), 0);
}

TEST_F(HeaderTest, PickedClientIsShownAndTrustedUntilTheHeaderIsLeft)
{
    auto out = Play("open\nclick btnCliente\npick 1\ndump\n"
                    "focus medCliente\nfocus medCdFilial\ndump\n"
                    "focus dbgPadrao\ndump\n"
                    "focus medCliente\ntype 52998224725\nfocus medCdFilial\ndump\n"
                    "focus dbgPadrao\ndump\n");
    ASSERT_EQ(out.exitCode, 0) << out.Text();
    // The lookup asks for every client of the branch and lists them.
    auto lookups = out.All("lookup");
    ASSERT_EQ(lookups.size(), 1u) << out.Text();
    EXPECT_EQ(lookups[0]["lookup"], "btnCliente");
    EXPECT_EQ(lookups[0]["rows"].size(), 3u);
    auto calls = CallsBefore(out, 0);
    ASSERT_EQ(calls.size(), 1u) << out.Text();
    EXPECT_EQ(calls[0]["args"], json::array({"0001", ""}));

    // The picked client: whole number and name, the edit's mask as it was.
    EXPECT_TRUE(out.Dump(0)["globals"]["bopesq"].get<bool>());
    EXPECT_EQ(Text(out, "medCliente", 0), "11222333000181");
    EXPECT_EQ(Text(out, "edtCliente", 0), "Comércio Álvares Ltda");
    EXPECT_EQ(out.Component("medCliente", 0)["editMask"], "9999;0; ");
    EXPECT_EQ(Focus(out, 0), "medCdFilial") << "a lookup never moves the focus";

    // Leaving the client edit after a pick asks the server nothing.
    EXPECT_TRUE(CallsBefore(out, 1).empty()) << out.Text();
    EXPECT_EQ(Text(out, "edtCliente", 1), "Comércio Álvares Ltda");

    // Leaving the header checks the picked number: the company's mask.
    calls = CallsBefore(out, 2);
    ASSERT_EQ(calls.size(), 3u) << out.Text();
    EXPECT_EQ(calls[0]["call"], "GetCliente");
    EXPECT_EQ(calls[0]["args"], json::array({"0001", "11222333000181"}));
    EXPECT_EQ(calls[1]["args"], json::array({"0001", "C0002"}));
    EXPECT_EQ(out.Component("medCliente", 2)["editMask"], "99.999.999/9999-99;0;_");
    EXPECT_EQ(out.Component("medCliente", 2)["displayText"], "11.222.333/0001-81");

    // A number typed afterwards is not checked on leaving the edit: no name.
    EXPECT_TRUE(CallsBefore(out, 3).empty()) << out.Text();
    EXPECT_EQ(Text(out, "medCliente", 3), "52998224725");
    EXPECT_EQ(Text(out, "edtCliente", 3), "");

    // Leaving the header checks it, shows its name and gives its mask.
    calls = CallsBefore(out, 4);
    ASSERT_EQ(calls.size(), 3u) << out.Text();
    EXPECT_EQ(calls[0]["args"], json::array({"0001", "52998224725"}));
    EXPECT_EQ(calls[1]["args"], json::array({"0001", "C0003"}));
    EXPECT_EQ(Text(out, "edtCliente", 4), "Zeca Todos");
    EXPECT_EQ(out.Component("medCliente", 4)["editMask"], "999.999.999-99;0;_");
    EXPECT_EQ(out.Component("medCliente", 4)["displayText"], "529.982.247-25");
    EXPECT_TRUE(out.Errors().empty()) << out.Text();
}

// Typing in the open lookup narrows it to the rows whose number or name
// holds the text, case and accents ignored; a pick counts in the rows left.
TEST_F(HeaderTest, TypingInTheClientLookupNarrowsItAndPicksAmongTheRowsLeft)
{
    auto out = Run("open\nclick btnCliente\ntype ALVA\ntype res\npick 0\ndump\n"
                   "click btnCliente\ntype 7\npick 2\npick 1\ndump\n"
                   "click btnCliente\ntype zzz\nkey Enter\nkey Backspace\nkey Escape\ndump\n");
    ASSERT_EQ(out.exitCode, 0) << out.Text();
    auto lookups = out.All("lookup");
    ASSERT_EQ(lookups.size(), 8u) << out.Text();
    EXPECT_EQ(lookups[0]["rows"].size(), 3u);
    EXPECT_EQ(lookups[1]["filter"], "ALVA");
    EXPECT_EQ(lookups[2]["filter"], "ALVAres");
    ASSERT_EQ(lookups[2]["rows"].size(), 1u);
    EXPECT_EQ(lookups[2]["rows"][0], lookups[0]["rows"][1]);
    EXPECT_EQ(Text(out, "medCliente", 0), "11222333000181");

    // "7" is in two numbers: the second row left is the branch's third client.
    ASSERT_EQ(lookups[4]["rows"].size(), 2u);
    EXPECT_EQ(lookups[4]["rows"][1], lookups[3]["rows"][2]);
    EXPECT_EQ(out.All("script-error").size(), 1u) << "pick 2 is past the rows left";
    EXPECT_EQ(Text(out, "medCliente", 1), "52998224725");

    // Nothing left: Enter picks nothing; Backspace widens; Escape cancels.
    EXPECT_TRUE(lookups[6]["rows"].empty());
    EXPECT_EQ(lookups[7]["filter"], "zz");
    EXPECT_EQ(Text(out, "medCliente", 2), "52998224725");
}

TEST_F(HeaderTest, TypedClientIsCheckedOnLeavingTheEditAndAgainOnLeavingTheHeader)
{
    // A client whose number fits the layout's four-digit mask.
    Db().Execute("INSERT INTO CLIENTE VALUES (?, ?, ?, ?, ?)", {"0001", "C0004", "F", "1234", "Dora Quatro"});
    auto out = Play("open\nfocus medCliente\ntype 1234\nfocus medCdFilial\ndump\n"
                    "focus medCliente\ntab\ndump\n");
    ASSERT_EQ(out.exitCode, 0) << out.Text();
    auto calls = CallsBefore(out, 0);
    ASSERT_EQ(calls.size(), 1u) << out.Text();
    EXPECT_EQ(calls[0]["call"], "GetCliente");
    EXPECT_EQ(calls[0]["args"], json::array({"0001", "1234"}));
    EXPECT_EQ(Text(out, "edtCliente", 0), "Dora Quatro");
    EXPECT_EQ(out.Component("medCliente", 0)["editMask"], "999.999.999-99;0;_");
    EXPECT_FALSE(out.Dump(0)["globals"]["bopesq"].get<bool>());

    // Tabbing out of the client edit leaves the header too: the edit's check,
    // then the header's, then one rebuild for the client's code.
    std::vector<std::string> methods;
    for (const auto& c : CallsBefore(out, 1)) {
        methods.push_back(c["call"].get<std::string>());
    }
    EXPECT_EQ(methods, (std::vector<std::string>{"GetCliente", "GetCliente", "GetServico", "GetServClie"}));
    EXPECT_EQ(CallsBefore(out, 1).back()["args"], json::array({"0001", "C0004"}));
    EXPECT_EQ(Focus(out, 1), "dbgPadrao");
    EXPECT_EQ(out.Component("lsbPossiveis", 1)["items"].size(), 5u);
    EXPECT_TRUE(out.Errors().empty()) << out.Text();
}

TEST_F(HeaderTest, TypedClientNumberIsTakenWholeWithOrWithoutItsPunctuation)
{
    // The layout's mask has four digits: the edit still takes a whole number
    // of either kind, drops its punctuation, and shows it under its kind's
    // mask once the client is found.
    for (const char* typed : {"111.444.777-35", "11144477735"}) {
        SCOPED_TRACE(typed);
        auto out = Play(std::string("open\nfocus medCliente\ntype ") + typed + "\ntab\ndump\n");
        ASSERT_EQ(out.exitCode, 0) << out.Text();
        auto calls = CallsBefore(out, 0);
        ASSERT_GE(calls.size(), 1u) << out.Text();
        EXPECT_EQ(calls[0]["args"], json::array({"0001", "11144477735"}));
        EXPECT_TRUE(out.Errors().empty()) << out.Text();
        EXPECT_EQ(out.Component("medCliente")["editMask"], "999.999.999-99;0;_");
        EXPECT_EQ(out.Component("medCliente")["displayText"], "111.444.777-35");
        EXPECT_EQ(Text(out, "edtCliente"), "Ana Souza");
    }
}

TEST_F(HeaderTest, ClientMaskFollowsThePersonKindOfEachCheckedClient)
{
    auto out = Play("open\nclick btnCliente\npick 0\nfocus dbgPadrao\ndump\n"
                    "focus medCdFilial\nclick btnCliente\npick 1\nfocus dbgPadrao\ndump\n");
    ASSERT_EQ(out.exitCode, 0) << out.Text();
    EXPECT_EQ(out.Component("medCliente", 0)["editMask"], "999.999.999-99;0;_");
    EXPECT_EQ(out.Component("medCliente", 0)["displayText"], "111.444.777-35");
    EXPECT_EQ(Text(out, "edtCliente", 0), "Ana Souza");
    EXPECT_EQ(out.Component("medCliente", 1)["editMask"], "99.999.999/9999-99;0;_");
    EXPECT_EQ(out.Component("medCliente", 1)["displayText"], "11.222.333/0001-81");
    EXPECT_EQ(Text(out, "edtCliente", 1), "Comércio Álvares Ltda");
    EXPECT_TRUE(out.Errors().empty()) << out.Text();
}

TEST_F(HeaderTest, BranchLookupListsEveryBranchAndWritesCodeThenName)
{
    auto out = Play("open\nclick btnCliente\npick 0\nclick btpFilial\npick 2\ndump\ntab\ndump\n");
    ASSERT_EQ(out.exitCode, 0) << out.Text();
    auto lookups = out.All("lookup");
    ASSERT_EQ(lookups.size(), 2u) << out.Text();
    EXPECT_EQ(lookups[1]["lookup"], "btpFilial");
    ASSERT_EQ(lookups[1]["rows"].size(), 3u);
    EXPECT_EQ(lookups[1]["rows"][0][0], "0001");
    EXPECT_EQ(lookups[1]["rows"][2][0], "0003");
    // The branch list comes from the local database: only the client lookup
    // asked the server.
    EXPECT_EQ(out.Calls(), std::vector<std::string>{"GetCliente"});
    EXPECT_EQ(Text(out, "medCdFilial", 0), "0003");
    EXPECT_EQ(Text(out, "edtNmFilial", 0), "Filial Sem Serviços");
    EXPECT_EQ(Text(out, "medCliente", 0), "") << "a new branch empties the client";
    EXPECT_EQ(Text(out, "edtCliente", 0), "");
    EXPECT_EQ(Text(out, "edtNmFilial", 1), "Filial Sem Serviços");
    EXPECT_TRUE(out.Errors().empty()) << out.Text();
}

TEST_F(HeaderTest, ClientLookupWithoutClientsShowsItsEmptyListError)
{
    // An empty branch is passed on as it is; the same for a branch without
    // clients.
    auto out = Play("open\nfocus medCdFilial\nkey Backspace\nclick btnCliente\n"
                    "focus medCdFilial\ntype 3\ntab\nclick btnCliente\ndump\n");
    ASSERT_EQ(out.exitCode, 0) << out.Text();
    auto calls = out.All("call");
    ASSERT_EQ(calls.size(), 2u) << out.Text();
    EXPECT_EQ(calls[0]["args"], json::array({"", ""}));
    EXPECT_EQ(calls[1]["args"], json::array({"0003", ""}));
    auto empty = out.All("lookup-empty");
    ASSERT_EQ(empty.size(), 2u) << out.Text();
    EXPECT_EQ(empty[0]["lookup-empty"], "Não há Cliente cadastrado para a filial informada.");
    EXPECT_TRUE(out.All("lookup").empty());
    EXPECT_FALSE(out.Dump()["globals"]["bopesq"].get<bool>());
    EXPECT_EQ(Text(out, "medCliente"), "");
}

struct ModuleCase {
    std::string module;
    std::string branch;
    std::string name;
};

void PrintTo(const ModuleCase& c, std::ostream* os)
{
    *os << "module " << c.module;
}

class HeaderModuleTest : public ShellTest, public ::testing::WithParamInterface<ModuleCase> {
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

TEST_P(HeaderModuleTest, BranchShownAtShowDependsOnTheActiveModule)
{
    // The current branch differs from the invoicing branch, so the two cases
    // are told apart; the module is set the way the shell does, before open.
    WriteSession({{"FiliProc", "0002"}, {"FiliProcFat", "0001"}});
    auto out = Play("session ModuloAtiv " + GetParam().module + "\nopen\ndump\n");
    ASSERT_EQ(out.exitCode, 0) << out.Text();
    EXPECT_EQ(Text(out, "medCdFilial"), GetParam().branch);
    EXPECT_EQ(Text(out, "edtNmFilial"), GetParam().name);
    EXPECT_EQ(Text(out, "medCliente"), "");
    EXPECT_EQ(Focus(out), "medCdFilial");
    // The branch is not checked at show.
    EXPECT_TRUE(out.Calls().empty()) << out.Text();
    EXPECT_TRUE(out.Errors().empty()) << out.Text();
    for (const auto& c : kHeaderControls) {
        EXPECT_TRUE(Enabled(out, c)) << c;
    }
}

INSTANTIATE_TEST_SUITE_P(HeaderModules, HeaderModuleTest,
                         ::testing::Values(ModuleCase{"15", "0001", "Matriz São Paulo"},
                                           ModuleCase{"14", "0001", "Matriz São Paulo"},
                                           ModuleCase{"16", "0001", "Matriz São Paulo"}, ModuleCase{"3", "0002", ""},
                                           ModuleCase{"17", "0002", ""}, ModuleCase{"13", "0002", ""}),
                         [](const auto& info) { return "Module" + info.param.module; });

TEST_F(HeaderTest, OtherModuleOnTheInvoicingBranchKeepsItsName)
{
    WriteSession({{"ModuloAtiv", "3"}, {"FiliProc", "0001"}, {"FiliProcFat", "0001"}});
    auto out = Play("open\ndump\n");
    ASSERT_EQ(out.exitCode, 0) << out.Text();
    EXPECT_EQ(Text(out, "medCdFilial"), "0001");
    EXPECT_EQ(Text(out, "edtNmFilial"), "Matriz São Paulo");
}

TEST_F(HeaderTest, SessionTiedToOneBranchLocksTheHeaderFromShowOn)
{
    WriteSession({{"ModuFili", "1"}});
    auto out = Play("open\ndump\nkey x\nkey Space\ndump\nopen\ndump\n");
    ASSERT_EQ(out.exitCode, 0) << out.Text();
    for (int n = 0; n < 3; ++n) {
        for (const auto& c : kHeaderControls) {
            EXPECT_FALSE(Enabled(out, c, n)) << c << " in dump " << n;
        }
        // The focus never was in the header, yet the screen is in the state
        // that entering it gives: the activation ran the header's enter.
        EXPECT_EQ(std::count(kHeaderControls.begin(), kHeaderControls.end(), Focus(out, n)), 0) << Focus(out, n);
        ExpectHeaderEditing(out, n);
    }
    EXPECT_EQ(Text(out, "medCdFilial", 0), "0001");
    EXPECT_EQ(Text(out, "edtNmFilial", 0), "Matriz São Paulo");
    EXPECT_EQ(Text(out, "medCliente", 0), "");
    EXPECT_TRUE(out.Calls().empty()) << out.Text();
    EXPECT_TRUE(out.Errors().empty()) << out.Text();
}

TEST_F(HeaderTest, EnteringTheHeaderAgainEmptiesTheListsUntilItIsLeft)
{
    auto out = Play("open\nclick btnCliente\npick 0\nfocus dbgPadrao\ndump\n"
                    "focus medCliente\ndump\n"
                    "focus dbgPadrao\ndump\n");
    ASSERT_EQ(out.exitCode, 0) << out.Text();
    EXPECT_EQ(out.Component("lsbPossiveis", 0)["items"].size(), 4u);
    EXPECT_TRUE(out.Component("dtsPadrao", 0)["enabled"].get<bool>());
    ExpectHeaderEditing(out, 1);
    EXPECT_TRUE(CallsBefore(out, 1).empty()) << out.Text();
    // Leaving checks the branch and the client again, then rebuilds.
    std::vector<std::string> methods;
    for (const auto& c : CallsBefore(out, 2)) {
        methods.push_back(c["call"].get<std::string>());
    }
    EXPECT_EQ(methods, (std::vector<std::string>{"GetCliente", "GetServico", "GetServClie"}));
    EXPECT_EQ(out.Component("lsbPossiveis", 2)["items"].size(), 4u);
    EXPECT_TRUE(out.Component("dtsPadrao", 2)["enabled"].get<bool>());
}

// A lookup used while the lists are shown takes the focus into the header,
// which empties the lists: no move can act on a client the header does not
// show, and leaving the header loads the lists of the one it shows.
TEST_F(HeaderTest, ACancelledClientLookupOverTheListsMovesNothingForAnotherClient)
{
    auto out = Run("open\nclick btnCliente\npick 1\nfocus lsbPossiveis\ndump\n"
                   "click btnCliente\npick cancel\ndump\n"
                   "listclick lsbPossiveis 0\nclick sbtEscolhido\nfocus lsbPossiveis\ndump\n"
                   "listclick lsbPossiveis 0\nclick sbtEscolhido\ndump\n");
    ASSERT_EQ(out.exitCode, 0) << out.Text();
    ASSERT_EQ(out.Component("lsbPossiveis", 0)["items"].size(), 5u) << out.Text();
    EXPECT_EQ(Focus(out, 1), "medCliente");
    ExpectHeaderEditing(out, 1);
    EXPECT_EQ(Text(out, "edtCliente", 1), "Comércio Álvares Ltda");
    EXPECT_EQ(CountCalls(out, "ApCoServClie"), 1) << out.Text();
    EXPECT_EQ(Text(out, "edtCliente", 2), "Comércio Álvares Ltda");
    EXPECT_EQ(out.Component("lsbPossiveis", 2)["items"].size(), 5u);
    EXPECT_EQ(Assigned("0001", "C0002"), std::vector<std::string>{"00001"});
    EXPECT_EQ(Assigned("0001", "C0001"), std::vector<std::string>{"00002"});
    EXPECT_TRUE(out.Errors().empty()) << out.Text();
}

TEST_F(HeaderTest, ABranchPickedOverTheListsStoresNothingForAClientOfTheSameCodeThere)
{
    // Client codes repeat across branches: branch 0002 has a C0002 too, and
    // its own service 00001.
    Db().Execute("INSERT INTO CLIENTE VALUES (?, ?, ?, ?, ?)", {"0002", "C0002", "F", "11144477735", "Outra Pessoa"});
    auto out = Run("open\nclick btnCliente\npick 1\nfocus lsbPossiveis\n"
                   "click btpFilial\npick 1\ndump\n"
                   "listclick lsbPossiveis 0\nclick sbtEscolhido\nclick sbtTodos\nfocus lsbPossiveis\ndump\n");
    ASSERT_EQ(out.exitCode, 0) << out.Text();
    EXPECT_EQ(Text(out, "medCdFilial", 0), "0002");
    EXPECT_EQ(Text(out, "medCliente", 0), "");
    EXPECT_EQ(Focus(out, 0), "medCdFilial");
    ExpectHeaderEditing(out, 0);
    EXPECT_EQ(ErrorsBefore(out, 1), std::vector<std::string>{"Cliente deve ser informado."});
    ExpectHeaderEditing(out, 1);
    EXPECT_EQ(CountCalls(out, "ApCoServClie"), 0) << out.Text();
    EXPECT_TRUE(Assigned("0002", "C0002").empty());
}

} // namespace
