// The state of the commands as the focus moves between the header, the list
// and the grid; the grid's keys and focus rules; the search over the possible
// services, as an operator meets them through the headless shell.
#include "InProcessScreen.h"
#include "ShellHarness.h"

#include "host/IShellUi.h"
#include "platform/controls/TApplication.h"
#include "platform/controls/TDBGrid.h"
#include "platform/controls/TListBox.h"
#include "platform/controls/TSpeedButton.h"
#include "platform/core/Cp1252.h"
#include "platform/data/TDataSet.h"

#include <algorithm>

namespace {

bool Enabled(const ShellOutput& out, const std::string& name, int n = -1)
{
    return out.Component(name, n)["enabled"].get<bool>();
}

bool MenuEnabled(const ShellOutput& out, const std::string& button, int n = -1)
{
    return out.Dump(n)["screen"]["menu"][button].get<bool>();
}

std::string Focus(const ShellOutput& out, int n = -1)
{
    json active = out.Dump(n)["screen"]["activeControl"];
    return active.is_string() ? active.get<std::string>() : "";
}

json Selected(const ShellOutput& out, int n = -1)
{
    return out.Component("lsbPossiveis", n)["selected"];
}

bool HasOption(const ShellOutput& out, const std::string& option, int n = -1)
{
    auto options = out.Component("dbgPadrao", n)["options"];
    return std::find(options.begin(), options.end(), option) != options.end();
}

// The methods called after the (n-1)-th dump and up to the n-th one.
std::vector<std::string> CallsBefore(const ShellOutput& out, int n)
{
    std::vector<std::string> calls;
    int seen = 0;
    for (const auto& l : out.lines) {
        if (l.contains("dump")) {
            if (seen == n) {
                return calls;
            }
            ++seen;
            calls.clear();
        } else if (l.contains("call")) {
            calls.push_back(l["call"].get<std::string>());
        }
    }
    return calls;
}

int Count(const std::vector<std::string>& calls, const std::string& method)
{
    return static_cast<int>(std::count(calls.begin(), calls.end(), method));
}

const std::vector<std::string> kAlwaysOff = {"sbtIncluir",   "sbtAlterar",  "sbtExcluir",
                                             "sbtConfirmar", "sbtCancelar", "sbtImprimir"};
const std::vector<std::string> kHeaderControls = {"lblFilial",  "medCdFilial", "btpFilial",
                                                  "lblCliente", "medCliente",  "btnCliente"};
const std::vector<std::string> kTransferButtons = {"sbtEscolhido", "sbtTodos", "sbtUmEsquerda", "sbtTodosEsquerda"};

// The toolbar and its menu entries: only search and verify are ever offered,
// and each entry as its button.
void ExpectToolbar(const ShellOutput& out, int n, bool procurar, bool verificar)
{
    for (const auto& b : kAlwaysOff) {
        EXPECT_FALSE(Enabled(out, b, n)) << b << " in dump " << n;
        EXPECT_FALSE(MenuEnabled(out, b, n)) << b << " entry in dump " << n;
    }
    EXPECT_EQ(Enabled(out, "sbtProcurar", n), procurar) << "dump " << n;
    EXPECT_EQ(MenuEnabled(out, "sbtProcurar", n), procurar) << "dump " << n;
    EXPECT_EQ(Enabled(out, "sbtVerificar", n), verificar) << "dump " << n;
    EXPECT_EQ(MenuEnabled(out, "sbtVerificar", n), verificar) << "dump " << n;
}

void ExpectTransfer(const ShellOutput& out, int n, bool right, bool left)
{
    EXPECT_EQ(Enabled(out, "sbtEscolhido", n), right) << "dump " << n;
    EXPECT_EQ(Enabled(out, "sbtTodos", n), right) << "dump " << n;
    EXPECT_EQ(Enabled(out, "sbtUmEsquerda", n), left) << "dump " << n;
    EXPECT_EQ(Enabled(out, "sbtTodosEsquerda", n), left) << "dump " << n;
}

void ExpectHeaderEnabled(const ShellOutput& out, int n, bool enabled)
{
    for (const auto& c : kHeaderControls) {
        EXPECT_EQ(Enabled(out, c, n), enabled) << c << " in dump " << n;
    }
}

// Picks the n-th client of branch 0001 and leaves the header into the grid.
std::string ChooseClient(int row)
{
    return "click btnCliente\npick " + std::to_string(row) + "\nfocus dbgPadrao\n";
}

class CommandsTest : public ShellTest {
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

TEST_F(CommandsTest, ToolbarMenuAndTransferButtonsFollowTheFocus)
{
    auto out = Play("open\ndump\n" + ChooseClient(0) + "dump\n" +
                    "listclick lsbPossiveis 0\ndump\n"
                    "cellclick dbgPadrao 0\ndump\n"
                    "focus medCdFilial\ndump\n");
    ASSERT_EQ(out.exitCode, 0) << out.Text();
    // Header: nothing offered.
    ExpectToolbar(out, 0, false, false);
    ExpectTransfer(out, 0, false, false);
    // Grid: verify; both directions for a client with some services.
    EXPECT_EQ(Focus(out, 1), "dbgPadrao");
    ExpectToolbar(out, 1, false, true);
    ExpectTransfer(out, 1, true, true);
    // List: search instead of verify; the transfer buttons do not follow the
    // focus.
    EXPECT_EQ(Focus(out, 2), "lsbPossiveis");
    ExpectToolbar(out, 2, true, false);
    ExpectTransfer(out, 2, true, true);
    EXPECT_EQ(Focus(out, 3), "dbgPadrao");
    ExpectToolbar(out, 3, false, true);
    ExpectTransfer(out, 3, true, true);
    // Back in the header: nothing offered, nothing to move.
    ExpectToolbar(out, 4, false, false);
    ExpectTransfer(out, 4, false, false);
    EXPECT_TRUE(out.Component("lsbPossiveis", 4)["items"].empty());
    EXPECT_FALSE(out.Component("dtsPadrao", 4)["enabled"].get<bool>());
    EXPECT_TRUE(out.Errors().empty()) << out.Text();
}

TEST_F(CommandsTest, SearchIsNotOfferedWhenThereAreNoPossibleServices)
{
    // The client has every service: the list is empty wherever the focus is.
    auto out = Play("open\n" + ChooseClient(2) + "dump\nclick lsbPossiveis\ndump\nclick sbtProcurar\ndump\n");
    ASSERT_EQ(out.exitCode, 0) << out.Text();
    ExpectToolbar(out, 0, false, true);
    EXPECT_EQ(Focus(out, 1), "lsbPossiveis");
    ExpectToolbar(out, 1, false, false);
    ExpectTransfer(out, 1, false, true);
    EXPECT_TRUE(out.All("search").empty()) << out.Text();

    // Move-all empties the list under the focus: no search over nothing.
    auto all = Play("open\n" + ChooseClient(1) + "click lsbPossiveis\nclick sbtTodos\ndump\nclick sbtProcurar\n");
    ASSERT_EQ(all.exitCode, 0) << all.Text();
    EXPECT_EQ(Focus(all, 0), "lsbPossiveis");
    ExpectToolbar(all, 0, false, false);
    EXPECT_TRUE(all.All("search").empty()) << all.Text();
}

TEST_F(CommandsTest, EnteringTheGridClearsOnlyTheCurrentEntrysSelection)
{
    // The client has no services: the grid is entered by the keyboard.
    auto out = Play("open\n" + ChooseClient(1) +
                    "listclick lsbPossiveis 1\nlistclick lsbPossiveis 3 ctrl\ndump\n"
                    "focus dbgPadrao\ndump\n");
    ASSERT_EQ(out.exitCode, 0) << out.Text();
    EXPECT_EQ(Selected(out, 0), json::array({1, 3}));
    EXPECT_EQ(out.Component("lsbPossiveis", 0)["itemIndex"], 3);
    EXPECT_EQ(Selected(out, 1), json::array({1}));
    EXPECT_EQ(out.Component("lsbPossiveis", 1)["items"].size(), 5u);
}

TEST_F(CommandsTest, KeyInTheGridEditsTheRowLocksTheHeaderAndLeavingPostsIt)
{
    auto out = Play("open\n" + ChooseClient(0) +
                    "dump\n"
                    "key Space\ndump\n"
                    "key Tab\nkey Backspace\ndump\n"
                    "key x\ndump\n"
                    "listclick lsbPossiveis 0\ndump\n"
                    "cellclick dbgPadrao 0\nlistclick lsbPossiveis 1\ndump\n");
    ASSERT_EQ(out.exitCode, 0) << out.Text();
    json rows = out.Component("cdsServClie", 0)["rows"];

    // A space is swallowed; Tab and Backspace go to the grid; none edits.
    for (int n : {1, 2}) {
        EXPECT_EQ(out.Component("cdsServClie", n)["state"], "browse") << n;
        ExpectHeaderEnabled(out, n, true);
        ExpectTransfer(out, n, true, true);
        EXPECT_TRUE(CallsBefore(out, n).empty()) << out.Text();
    }

    // Any other key edits the current row: the header locks, nothing can be
    // moved, and the read-only grid changed no value.
    EXPECT_EQ(out.Component("cdsServClie", 3)["state"], "edit");
    EXPECT_EQ(out.Component("dtsPadrao", 3)["state"], "edit");
    ExpectHeaderEnabled(out, 3, false);
    ExpectTransfer(out, 3, false, false);
    ExpectToolbar(out, 3, false, true);
    EXPECT_EQ(out.Component("cdsServClie", 3)["rows"], rows);
    EXPECT_TRUE(CallsBefore(out, 3).empty()) << out.Text();

    // Leaving the grid posts the row: one packet to the server, Null since no
    // value changed; the header opens again and the buttons come back.
    auto posted = CallsBefore(out, 4);
    EXPECT_EQ(posted, std::vector<std::string>{"ApCoServClie"}) << out.Text();
    auto sent = out.All("call");
    auto ap = std::find_if(sent.begin(), sent.end(), [](const json& c) { return c["call"] == "ApCoServClie"; });
    ASSERT_NE(ap, sent.end());
    EXPECT_EQ((*ap)["args"], json::array({nullptr}));
    EXPECT_EQ(out.Component("cdsServClie", 4)["state"], "browse");
    EXPECT_EQ(out.Component("cdsServClie", 4)["changeCount"], 0);
    ExpectHeaderEnabled(out, 4, true);
    ExpectTransfer(out, 4, true, true);
    ExpectToolbar(out, 4, true, false);
    EXPECT_EQ(Assigned("0001", "C0001"), std::vector<std::string>{"00002"});

    // Leaving it while browsing sends nothing.
    EXPECT_TRUE(CallsBefore(out, 5).empty()) << out.Text();
    EXPECT_TRUE(out.Errors().empty()) << out.Text();
}

TEST_F(CommandsTest, CancellingTheEditOpensTheHeaderWithoutSending)
{
    auto out = Play("open\n" + ChooseClient(0) + "key 7\ndump\nkey Escape\ndump\nfocus medCdFilial\ndump\n");
    ASSERT_EQ(out.exitCode, 0) << out.Text();
    ExpectHeaderEnabled(out, 0, false);
    EXPECT_EQ(out.Component("cdsServClie", 1)["state"], "browse");
    ExpectHeaderEnabled(out, 1, true);
    ExpectTransfer(out, 1, true, true);
    EXPECT_EQ(Count(out.Calls(), "ApCoServClie"), 0) << out.Text();
    EXPECT_EQ(Focus(out, 2), "medCdFilial");
}

TEST_F(CommandsTest, SearchOverTheListSelectsTheFoundService)
{
    auto out = Play("open\n" + ChooseClient(0) +
                    "listclick lsbPossiveis 0\nclick sbtProcurar\ndump\n"
                    "search trein\ndump\n"
                    "search nada disso\ndump\n"
                    "search close\ndump\n");
    ASSERT_EQ(out.exitCode, 0) << out.Text();
    auto search = out.All("search");
    ASSERT_EQ(search.size(), 2u) << out.Text();
    EXPECT_EQ(search[0]["search"], "open");
    EXPECT_EQ(search[1]["search"], "close");
    EXPECT_EQ(out.Dump(0)["activeForm"], "frmProcurar");
    EXPECT_EQ(Selected(out, 0), json::array({0}));

    // The search moved the possible services to "00004 - Treinamento"; the
    // list follows: the entry that had the focus mark is no longer selected,
    // the found one is.
    EXPECT_EQ(out.Component("cdsServico", 1)["recNo"], 2);
    EXPECT_EQ(Selected(out, 1), json::array({2}));
    // Nothing found: nothing moves.
    EXPECT_EQ(out.Component("cdsServico", 2)["recNo"], 2);
    EXPECT_EQ(Selected(out, 2), json::array({2}));

    EXPECT_EQ(out.Dump(3)["activeForm"], "frmServCliente");
    EXPECT_EQ(Focus(out, 3), "lsbPossiveis");
    EXPECT_EQ(Selected(out, 3), json::array({2}));
    // A search over the list leaves the grid's options alone and asks the
    // server nothing.
    EXPECT_FALSE(HasOption(out, "dgAlwaysShowSelection", 3));
    EXPECT_EQ(out.Calls().size(), 4u) << out.Text();
    EXPECT_TRUE(out.Errors().empty()) << out.Text();
}

TEST_F(CommandsTest, ASearchThatMovesAgainKeepsOnlyTheLastServiceFoundSelected)
{
    // As the Qt search window does while the operator types.
    auto out = Play("open\n" + ChooseClient(0) +
                    "listclick lsbPossiveis 0\nclick sbtProcurar\nsearch trein\nsearch inst\nsearch close\ndump\n");
    ASSERT_EQ(out.exitCode, 0) << out.Text();
    EXPECT_EQ(Selected(out), json::array({1})) << out.Component("lsbPossiveis")["items"];
}

TEST_F(CommandsTest, SearchFromTheMenuFindsAShortCodeLine)
{
    // The line of a code shorter than five characters is built the same way
    // by the list and by the search, so the search finds it.
    Db().Execute("INSERT INTO SERVFILI VALUES (?, ?, ?)", {"0001", "A1", "Curto"});
    auto out = Play("open\n" + ChooseClient(1) +
                    "listclick lsbPossiveis 1\nclick mniProcurar\nsearch curto\nsearch close\ndump\n");
    ASSERT_EQ(out.exitCode, 0) << out.Text();
    auto items = out.Component("lsbPossiveis")["items"];
    ASSERT_EQ(items.size(), 6u) << out.Text();
    EXPECT_EQ(items[5], "A1    - Curto");
    EXPECT_EQ(Selected(out), json::array({5}));
}

TEST_F(CommandsTest, ListReachedWithoutAClickStillSearches)
{
    // Focus moved from the grid to the list without a click: the grid's exit
    // turns search on (its menu entry is left as it was), and with no entry
    // holding the focus mark the search only adds the found one.
    auto out = Play("open\n" + ChooseClient(1) +
                    "focus lsbPossiveis\ndump\nclick sbtProcurar\nsearch inst\nsearch close\ndump\n");
    ASSERT_EQ(out.exitCode, 0) << out.Text();
    EXPECT_EQ(Focus(out, 0), "lsbPossiveis");
    EXPECT_TRUE(Enabled(out, "sbtProcurar", 0));
    EXPECT_FALSE(MenuEnabled(out, "sbtProcurar", 0));
    EXPECT_EQ(out.Component("lsbPossiveis", 0)["itemIndex"], -1);
    EXPECT_EQ(out.All("search").size(), 2u) << out.Text();
    EXPECT_EQ(Selected(out, 1), json::array({2}));
    EXPECT_TRUE(out.Errors().empty()) << out.Text();
}

TEST_F(CommandsTest, GridShowsItsSelectionOnlyUntilItFirstLosesTheFocus)
{
    // The grid's own search is not offered while it has the focus, so
    // nothing puts the option back once an exit took it off.
    auto out = Play("open\ndump\n" + ChooseClient(0) + "dump\n" +
                    "listclick lsbPossiveis 0\ndump\n"
                    "cellclick dbgPadrao 0\nclick sbtProcurar\nclick mniProcurar\ndump\n");
    ASSERT_EQ(out.exitCode, 0) << out.Text();
    EXPECT_TRUE(HasOption(out, "dgAlwaysShowSelection", 0));
    EXPECT_TRUE(HasOption(out, "dgAlwaysShowSelection", 1));
    EXPECT_FALSE(HasOption(out, "dgAlwaysShowSelection", 2));
    EXPECT_TRUE(HasOption(out, "dgTabs", 2)) << "the other options stay";
    EXPECT_TRUE(HasOption(out, "dgConfirmDelete", 2));
    EXPECT_FALSE(HasOption(out, "dgAlwaysShowSelection", 3));
    EXPECT_TRUE(out.All("search").empty()) << out.Text();
    EXPECT_TRUE(out.Errors().empty()) << out.Text();
}

// Picks a fixed row in every lookup list and records each search window that
// is opened, with whether the grid kept showing its row meanwhile.
class RecordingUi : public IShellUi {
public:
    void ShowProgress(TComponent* /*owner*/, int /*kind*/, const std::string& /*text*/) override {}
    void HideProgress() override {}
    std::optional<int> PickRow(TComponent* /*sender*/, const std::string& /*title*/, TDataSet* /*dataSet*/) override
    {
        return pick;
    }
    void ShowEmptyLookup(TComponent* /*sender*/, const std::string& /*text*/) override {}
    void Search(TDataSet* dataSet) override
    {
        searched.push_back(dataSet);
        gridShowedSelection.push_back(grid != nullptr &&
                                      grid->Options().count(TDBGridOption::dgAlwaysShowSelection) != 0);
    }

    int pick = 0;
    TDBGrid* grid = nullptr;
    std::vector<TDataSet*> searched;
    std::vector<bool> gridShowedSelection;
};

// The grid's own search. The toolbar never offers it (search is on only while
// the list has the focus), so these cases run the handler the button is
// bound to directly, on the screen loaded into the test process.
class CommandsGridSearchTest : public InProcessScreen {
protected:
    void SetUp() override
    {
        InProcessScreen::SetUp();
        previousUi_ = IShellUi::SetCurrent(&ui_);
    }
    void TearDown() override
    {
        InProcessScreen::TearDown();
        IShellUi::SetCurrent(previousUi_);
    }

    // Opens the screen, picks the client of the lookup's row and leaves the
    // header into the grid, then moves to the list and back, so that the
    // grid's exit has taken its selection option off.
    void ChooseClientAndReturnToTheGrid(int row)
    {
        ui_.pick = row;
        Open();
        grid_ = Get<TDBGrid>("dbgPadrao");
        list_ = Get<TListBox>("lsbPossiveis");
        procurar_ = Get<TSpeedButton>("sbtProcurar");
        ASSERT_NE(grid_, nullptr);
        ASSERT_NE(list_, nullptr);
        ASSERT_NE(procurar_, nullptr);
        ui_.grid = grid_;
        auto* lookup = Get<TSpeedButton>("btnCliente");
        Application().Dispatch([lookup] { lookup->OperatorClick(); });
        for (TWinControl* c : std::initializer_list<TWinControl*>{grid_, list_, grid_}) {
            Application().Dispatch([c] { c->SetFocus(); });
        }
        ASSERT_TRUE(grid_->Focused());
        ASSERT_TRUE(errors_.empty()) << errors_.front();
    }

    bool ShowsSelection() const { return grid_->Options().count(TDBGridOption::dgAlwaysShowSelection) != 0; }

    RecordingUi ui_;
    IShellUi* previousUi_ = nullptr;
    TDBGrid* grid_ = nullptr;
    TListBox* list_ = nullptr;
    TSpeedButton* procurar_ = nullptr;
};

TEST_F(CommandsGridSearchTest, SearchOutsideTheListRunsOverTheGridShowingItsRowUntilItsExit)
{
    ChooseClientAndReturnToTheGrid(0);
    EXPECT_FALSE(ShowsSelection());
    EXPECT_FALSE(procurar_->Enabled());

    Application().Dispatch([this] { procurar_->Click(); });
    ASSERT_EQ(ui_.searched.size(), 1u);
    EXPECT_EQ(ui_.searched[0], Get<TDataSet>("cdsServClie"));
    EXPECT_TRUE(ui_.gridShowedSelection[0]);
    EXPECT_TRUE(ShowsSelection());
    EXPECT_TRUE(errors_.empty());

    Application().Dispatch([this] { list_->SetFocus(); });
    EXPECT_FALSE(ShowsSelection());
    EXPECT_TRUE(grid_->Options().count(TDBGridOption::dgTabs) != 0) << "the other options stay";

    // From the list the same handler searches the possible services and
    // leaves the grid's option alone.
    Application().Dispatch([this] { procurar_->Click(); });
    ASSERT_EQ(ui_.searched.size(), 2u);
    EXPECT_EQ(ui_.searched[1], Get<TDataSet>("cdsServico"));
    EXPECT_FALSE(ShowsSelection());
}

TEST_F(CommandsGridSearchTest, SearchOverAnEmptyGridIsRefusedWithItsRowAlreadyShown)
{
    ChooseClientAndReturnToTheGrid(1);
    ASSERT_TRUE(Get<TDataSet>("cdsServClie")->IsEmpty());
    Application().Dispatch([this] { procurar_->Click(); });
    EXPECT_TRUE(ui_.searched.empty());
    EXPECT_EQ(errors_, std::vector<std::string>{Cp1252::FromUtf8("Não há dados para procurar.")});
    EXPECT_TRUE(ShowsSelection());
}

} // namespace
