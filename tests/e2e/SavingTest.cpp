// Every change of the client's services goes to the server at once, one
// packet per posted or deleted row. A packet that never reaches the server
// stays in the change log and goes again with the next change, unless a
// cancel undoes it; a change the server refuses for good leaves the log, the
// rest goes again, and both views show the database. Whatever error ends a
// move command, the operator sees it once and the screen stays usable.
//
// The server is made to fail between two commands of one running shell: by
// taking a service out of the branch (the server then refuses the change
// that names it) or by stopping the server.
#include "CommandTrace.h"

using trace::Calls;
using trace::ChangePackets;
using trace::Errors;
using trace::GridCodes;
using trace::Header;
using trace::ListItems;
using trace::ListOfServicesNotIn;
using trace::PacketEntries;
using trace::Progress;
using trace::Rows;

namespace {

bool Enabled(const ShellOutput& out, const std::string& name)
{
    return out.Component(name)["enabled"].get<bool>();
}

} // namespace

class SavingTest : public ShellTest {
protected:
    // Takes a service out of branch 0001 (and out of every client that has
    // it), so that the server refuses a packet naming it.
    void DropService(const std::string& code)
    {
        Db().Execute("DELETE FROM SERVCLIE WHERE CDFILIAL = ? AND CDSERVFILI = ?", {"0001", code});
        Db().Execute("DELETE FROM SERVFILI WHERE CDFILIAL = ? AND CDSERVFILI = ?", {"0001", code});
    }
    void RestoreService(const std::string& code, const std::string& name)
    {
        Db().Execute("INSERT INTO SERVFILI VALUES (?, ?, ?)", {"0001", code, name});
    }
    // A new server on a new port; the running shell is told through its
    // session, which the connection reads when it opens again.
    std::string RestartAndTell()
    {
        RestartServer();
        return "session WebPort " + std::to_string(Server().Port()) + "\n";
    }
    LiveShell Live() { return LiveShell(sessionPath_, dir_ + "/live-err.txt"); }

    // The screen after an error: the standard toolbar as the screen sets it
    // (no insert, change, delete, confirm or cancel), the transfer buttons
    // recomputed from the list and the grid, the grid browsing.
    void ExpectUsable(const ShellOutput& out)
    {
        for (const char* name : {"sbtIncluir", "sbtAlterar", "sbtExcluir", "sbtConfirmar", "sbtCancelar"}) {
            EXPECT_FALSE(Enabled(out, name)) << name;
            EXPECT_FALSE(out.Dump()["screen"]["menu"][name].get<bool>()) << name;
        }
        bool listHasEntries = !ListItems(out).empty();
        bool gridHasRows = !GridCodes(out).empty();
        EXPECT_EQ(Enabled(out, "sbtEscolhido"), listHasEntries);
        EXPECT_EQ(Enabled(out, "sbtTodos"), listHasEntries);
        EXPECT_EQ(Enabled(out, "sbtUmEsquerda"), gridHasRows);
        EXPECT_EQ(Enabled(out, "sbtTodosEsquerda"), gridHasRows);
        EXPECT_EQ(out.Component("cdsServClie")["state"], "browse");
        EXPECT_EQ(out.Dump()["cursor"], 0);
    }
};

TEST_F(SavingTest, ARefusedInsertLeavesTheLogAndBothViewsShowTheDatabase)
{
    auto shell = Live();
    auto ready = shell.Step(Header(1) + "listclick lsbPossiveis 0");
    ASSERT_EQ(ListItems(ready).size(), 5u) << ready.Text();

    DropService("00001");
    auto failed = shell.Step("click sbtEscolhido");
    // Refused once, not sent again; the views are rebuilt from the server.
    EXPECT_EQ(Calls(failed.lines), (std::vector<std::string>{"ApCoServClie", "GetServico", "GetServClie"}));
    ASSERT_EQ(Errors(failed.lines).size(), 1u) << failed.Text();
    const std::string message = Errors(failed.lines)[0];
    EXPECT_NE(message.find("00001 - Consultoria"), std::string::npos) << message;
    EXPECT_NE(message.find("não tem o serviço 00001"), std::string::npos) << message;
    EXPECT_EQ(failed.Component("cdsServClie")["changeCount"], 0);
    EXPECT_TRUE(GridCodes(failed).empty());
    EXPECT_EQ(ListItems(failed), ListOfServicesNotIn({"00001"}));
    EXPECT_TRUE(Assigned("0001", "C0002").empty());
    ExpectUsable(failed);

    // The next move goes alone and is stored.
    auto next = shell.Step("listclick lsbPossiveis 0\nclick sbtEscolhido");
    EXPECT_TRUE(Errors(next.lines).empty()) << next.Text();
    EXPECT_EQ(PacketEntries(next.lines), (std::vector<std::string>{"inserted:00002"}));
    EXPECT_EQ(Assigned("0001", "C0002"), (std::vector<std::string>{"00002"}));
    EXPECT_EQ(GridCodes(next), Assigned("0001", "C0002"));
}

TEST_F(SavingTest, ARefusedChangeGoesAloneAndTheUnsentChangesBeforeItAreStored)
{
    auto shell = Live();
    shell.Step(Header(1));
    Server().Stop();
    auto lost = shell.Step("listclick lsbPossiveis 1\nclick sbtEscolhido");
    ASSERT_EQ(Errors(lost.lines).size(), 1u) << lost.Text();
    ASSERT_EQ(lost.Component("cdsServClie")["changeCount"], 1);

    const std::string tell = RestartAndTell();
    DropService("00003");
    // 00002 waits in the grid and is no longer offered: 00003 is entry 1.
    auto out = shell.Step(tell + "listclick lsbPossiveis 1\nclick sbtEscolhido");
    // The log's two inserts are refused for the second; the first goes again.
    EXPECT_EQ(PacketEntries(out.lines),
              (std::vector<std::string>{"inserted:00002", "inserted:00003", "inserted:00002"}));
    ASSERT_EQ(Errors(out.lines).size(), 1u) << out.Text();
    EXPECT_NE(Errors(out.lines)[0].find("00003"), std::string::npos) << Errors(out.lines)[0];
    EXPECT_EQ(Assigned("0001", "C0002"), (std::vector<std::string>{"00002"}));
    EXPECT_EQ(GridCodes(out), Assigned("0001", "C0002"));
    EXPECT_EQ(ListItems(out), ListOfServicesNotIn({"00002", "00003"}));
    EXPECT_EQ(out.Component("cdsServClie")["changeCount"], 0);
    ExpectUsable(out);
}

TEST_F(SavingTest, AnUnsentServiceIsInTheGridOnlyMarkedPendingAndGoesOnce)
{
    auto shell = Live();
    shell.Step(Header(1));
    Server().Stop();
    auto failed = shell.Step("listclick lsbPossiveis 4\nclick sbtEscolhido");
    ASSERT_EQ(Errors(failed.lines).size(), 1u) << failed.Text();
    EXPECT_EQ(GridCodes(failed), (std::vector<std::string>{"00005"}));
    EXPECT_EQ(failed.Component("cdsServClie")["pending"], json::array({0}));
    EXPECT_EQ(ListItems(failed), ListOfServicesNotIn({"00005"}));

    // Move-all with the server still gone fails at its first row, which
    // waits beside the first; neither is offered any more.
    auto again = shell.Step("click sbtTodos");
    ASSERT_EQ(Errors(again.lines).size(), 1u) << again.Text();
    EXPECT_EQ(GridCodes(again), (std::vector<std::string>{"00001", "00005"}));
    EXPECT_EQ(again.Component("cdsServClie")["pending"], json::array({0, 1}));
    EXPECT_EQ(ListItems(again), ListOfServicesNotIn({"00001", "00005"}));

    // A waiting insert taken back never reached the server: its service is
    // offered again in its place, unmarked, and nothing is left to send for it.
    auto back = shell.Step("cellclick dbgPadrao 1\nclick sbtUmEsquerda");
    ASSERT_EQ(Errors(back.lines).size(), 1u) << back.Text();
    EXPECT_EQ(GridCodes(back), (std::vector<std::string>{"00001"}));
    EXPECT_EQ(ListItems(back), ListOfServicesNotIn({"00001"}));
    EXPECT_EQ(back.Component("lsbPossiveis")["pending"], json::array());
    EXPECT_EQ(back.Component("cdsServClie")["changeCount"], 1);

    auto stored = shell.Step(RestartAndTell() + "click sbtTodos");
    EXPECT_TRUE(Errors(stored.lines).empty()) << stored.Text();
    EXPECT_EQ(Assigned("0001", "C0002"), trace::BranchServices());
    EXPECT_EQ(GridCodes(stored), trace::BranchServices());
    EXPECT_EQ(stored.Component("cdsServClie")["pending"], json::array());
}

TEST_F(SavingTest, AReloadWhileTheServerIsAwayKeepsTheWaitingChangesAndTheViews)
{
    auto shell = Live();
    shell.Step(Header(1));
    Server().Stop();
    auto moved = shell.Step("listclick lsbPossiveis 0\nclick sbtEscolhido");
    ASSERT_EQ(Errors(moved.lines).size(), 1u) << moved.Text();
    EXPECT_NE(Errors(moved.lines)[0].find("foi mantida e vai com a próxima"), std::string::npos) << moved.Text();

    // "Is it back?" and a double click with nothing selected both reload:
    // each says once that the change is kept, and changes nothing.
    for (const char* reload : {"focus dbgPadrao\nclick sbtVerificar", "focus lsbPossiveis\ndblclick lsbPossiveis"}) {
        auto out = shell.Step(reload);
        ASSERT_EQ(Errors(out.lines).size(), 1u) << reload << out.Text();
        const std::string told = Errors(out.lines)[0];
        EXPECT_NE(told.find("As alterações à espera (1) foram mantidas"), std::string::npos) << told;
        EXPECT_NE(told.find("00001 - Consultoria (inclusão)"), std::string::npos) << told;
        EXPECT_EQ(told.find("desfeitas"), std::string::npos) << told;
        EXPECT_EQ(GridCodes(out), (std::vector<std::string>{"00001"})) << reload;
        EXPECT_EQ(out.Component("cdsServClie")["pending"], json::array({0}));
        EXPECT_EQ(ListItems(out), ListOfServicesNotIn({"00001"})) << reload;
    }

    auto next = shell.Step(RestartAndTell() + "focus lsbPossiveis\nlistclick lsbPossiveis 0\nclick sbtEscolhido");
    EXPECT_TRUE(Errors(next.lines).empty()) << next.Text();
    EXPECT_EQ(Assigned("0001", "C0002"), (std::vector<std::string>{"00001", "00002"}));
    EXPECT_EQ(GridCodes(next), Assigned("0001", "C0002"));
}

TEST_F(SavingTest, AWaitingChangeGoesForItsClientBeforeAnotherIsLoadedAndARefusalNamesThatClient)
{
    auto shell = Live();
    shell.Step(Header(1));
    Server().Stop();
    ASSERT_EQ(Errors(shell.Step("listclick lsbPossiveis 3\nclick sbtEscolhido").lines).size(), 1u);
    ASSERT_EQ(Errors(shell.Step("listclick lsbPossiveis 3\nclick sbtEscolhido").lines).size(), 1u);

    // Another client: what can go is stored for the client it was made for,
    // and the refusal names that client.
    const std::string tell = RestartAndTell();
    DropService("00004");
    auto other = shell.Step(tell + "click btnCliente\npick 2\nfocus lsbPossiveis");
    ASSERT_EQ(Errors(other.lines).size(), 1u) << other.Text();
    const std::string told = Errors(other.lines)[0];
    EXPECT_NE(told.find("00004 - Treinamento - cliente Comércio Álvares Ltda, filial 0001"), std::string::npos) << told;
    EXPECT_EQ(Assigned("0001", "C0002"), (std::vector<std::string>{"00005"}));
    EXPECT_EQ(GridCodes(other), Assigned("0001", "C0003"));
    EXPECT_EQ(other.Component("cdsServClie")["changeCount"], 0);
}

TEST_F(SavingTest, ClosingWithChangesThatCannotGoAsksToSendAgainDiscardOrStay)
{
    auto shell = Live();
    shell.Step(Header(1));
    Server().Stop();
    ASSERT_EQ(Errors(shell.Step("listclick lsbPossiveis 4\nclick sbtEscolhido").lines).size(), 1u);
    // Back on another client's header, the server gone again.
    shell.Step(RestartAndTell() + "click btnCliente\npick 2");
    Server().Stop();

    auto question = [](const ShellOutput& out) {
        for (const json& line : out.lines) {
            if (line.contains("question")) {
                return line;
            }
        }
        return json();
    };
    auto asked = shell.Step("close");
    const json first = question(asked);
    ASSERT_TRUE(first.is_object()) << asked.Text();
    EXPECT_EQ(first["choices"].size(), 3u);
    EXPECT_NE(first["question"].get<std::string>().find(
                  "00005 - Suporte técnico (inclusão) - cliente Comércio Álvares Ltda, filial 0001"),
              std::string::npos)
        << first;
    // Stay: the screen and its waiting change are still there.
    auto stayed = shell.Step("answer 2");
    EXPECT_EQ(stayed.Component("cdsServClie")["changeCount"], 1);
    // Send again (still away), then discard: the screen closes, nothing stored.
    auto again = shell.Step("close\nanswer 0");
    EXPECT_TRUE(question(again).is_object()) << again.Text();
    auto discarded = shell.Step("answer 1");
    EXPECT_TRUE(discarded.Dump()["screen"].is_null()) << discarded.Text();
    EXPECT_TRUE(Assigned("0001", "C0002").empty());
}

TEST_F(SavingTest, ACancelUndoesAnUnsentInsertAndItIsNeverSent)
{
    auto shell = Live();
    shell.Step(Header(1) + "listclick lsbPossiveis 0");
    Server().Stop();
    auto failed = shell.Step("click sbtEscolhido");
    ASSERT_EQ(Errors(failed.lines).size(), 1u) << failed.Text();
    ASSERT_EQ(failed.Component("cdsServClie")["changeCount"], 1);

    // A key starts an edit of the unsent row; Escape cancels it, and with it
    // every change not yet sent.
    auto editing = shell.Step(RestartAndTell() + "focus dbgPadrao\ntype x");
    ASSERT_EQ(editing.Component("cdsServClie")["state"], "edit");
    auto cancelled = shell.Step("key Escape");
    EXPECT_TRUE(Calls(cancelled.lines).empty());
    EXPECT_EQ(cancelled.Component("cdsServClie")["state"], "browse");
    EXPECT_EQ(cancelled.Component("cdsServClie")["changeCount"], 0);
    EXPECT_TRUE(GridCodes(cancelled).empty());

    auto next = shell.Step("listclick lsbPossiveis 1\nclick sbtEscolhido");
    EXPECT_TRUE(Errors(next.lines).empty()) << next.Text();
    EXPECT_EQ(PacketEntries(next.lines), (std::vector<std::string>{"inserted:00002"}));
    EXPECT_EQ(Assigned("0001", "C0002"), (std::vector<std::string>{"00002"}));
    EXPECT_EQ(GridCodes(next), Assigned("0001", "C0002"));
    EXPECT_EQ(ListItems(next), ListOfServicesNotIn({"00002"}));
}

TEST_F(SavingTest, ADeletionThatNeverReachedTheServerGoesWithTheNextDeletion)
{
    auto shell = Live();
    auto ready = shell.Step(Header(2) + "cellclick dbgPadrao 0");
    ASSERT_EQ(GridCodes(ready).size(), 5u) << ready.Text();

    Server().Stop();
    auto failed = shell.Step("click sbtUmEsquerda");
    // The connection could not open again, so nothing went out.
    EXPECT_TRUE(Calls(failed.lines).empty()) << failed.Text();
    EXPECT_EQ(Errors(failed.lines).size(), 1u) << failed.Text();
    // Deleted here, not on the server: the service waits in the list,
    // marked, and the dump lists the waiting deletion.
    EXPECT_EQ(GridCodes(failed), (std::vector<std::string>{"00002", "00003", "00004", "00005"}));
    EXPECT_EQ(ListItems(failed), (std::vector<std::string>{"00001 - Consultoria"}));
    EXPECT_EQ(failed.Component("lsbPossiveis")["pending"], json::array({0}));
    EXPECT_EQ(failed.Component("cdsServClie")["deleted"].size(), 1u);
    EXPECT_EQ(failed.Component("cdsServClie")["changeCount"], 1);
    EXPECT_EQ(failed.Dump()["globals"]["stnmservico"], "Consultoria");
    ExpectUsable(failed);

    auto next = shell.Step(RestartAndTell() + "click sbtUmEsquerda");
    EXPECT_TRUE(Errors(next.lines).empty()) << next.Text();
    EXPECT_EQ(Calls(next.lines), trace::MoveBackCalls(true));
    EXPECT_EQ(PacketEntries(next.lines), (std::vector<std::string>{"deleted:00001", "deleted:00002"}));
    EXPECT_EQ(Assigned("0001", "C0003"), (std::vector<std::string>{"00003", "00004", "00005"}));
    EXPECT_EQ(GridCodes(next), Assigned("0001", "C0003"));
    EXPECT_EQ(ListItems(next), ListOfServicesNotIn({"00003", "00004", "00005"}));
    EXPECT_EQ(next.Component("cdsServClie")["changeCount"], 0);
}

TEST_F(SavingTest, ACancelBringsBackAnUnsentDeletion)
{
    auto shell = Live();
    shell.Step(Header(2) + "cellclick dbgPadrao 1");
    Server().Stop();
    auto failed = shell.Step("click sbtUmEsquerda");
    ASSERT_EQ(Errors(failed.lines).size(), 1u) << failed.Text();
    ASSERT_EQ(GridCodes(failed).size(), 4u);

    auto cancelled = shell.Step(RestartAndTell() + "focus dbgPadrao\ntype x\nkey Escape");
    EXPECT_TRUE(Calls(cancelled.lines).empty()) << cancelled.Text();
    EXPECT_EQ(GridCodes(cancelled), trace::BranchServices());
    EXPECT_EQ(cancelled.Component("cdsServClie")["changeCount"], 0);
    EXPECT_EQ(Assigned("0001", "C0003"), trace::BranchServices());

    // The next deletion carries only itself.
    auto next = shell.Step("cellclick dbgPadrao 4\nclick sbtUmEsquerda");
    EXPECT_EQ(PacketEntries(next.lines), (std::vector<std::string>{"deleted:00005"}));
    EXPECT_EQ(Assigned("0001", "C0003"), (std::vector<std::string>{"00001", "00002", "00003", "00004"}));
    EXPECT_EQ(GridCodes(next), Assigned("0001", "C0003"));
}

TEST_F(SavingTest, ARefusalInsideMoveAllClosesTheProgressAndTheScreenGoesOn)
{
    auto shell = Live();
    shell.Step(Header(1));
    DropService("00003");
    auto failed = shell.Step("click sbtTodos");
    // Two rows went; the third was refused, the views rebuilt, the command ended.
    EXPECT_EQ(Calls(failed.lines),
              (std::vector<std::string>{"ApCoServClie", "ApCoServClie", "ApCoServClie", "GetServico", "GetServClie"}));
    EXPECT_EQ(Progress(failed.lines), (std::vector<std::string>{"open", "close"}));
    ASSERT_EQ(Errors(failed.lines).size(), 1u) << failed.Text();
    EXPECT_EQ(failed.Dump()["globals"]["stServFili"], "00003");
    EXPECT_EQ(Assigned("0001", "C0002"), (std::vector<std::string>{"00001", "00002"}));
    EXPECT_EQ(GridCodes(failed), Assigned("0001", "C0002"));
    EXPECT_EQ(failed.Component("cdsServClie")["changeCount"], 0);
    EXPECT_EQ(ListItems(failed), ListOfServicesNotIn({"00001", "00002", "00003"}));
    ExpectUsable(failed);

    // boEventos is true again: a key in the grid starts an edit, and the
    // state change recomputes the transfer buttons, all off while editing.
    auto editing = shell.Step("focus dbgPadrao\ntype x");
    EXPECT_EQ(editing.Component("cdsServClie")["state"], "edit");
    for (const char* name : {"sbtEscolhido", "sbtTodos", "sbtUmEsquerda", "sbtTodosEsquerda"}) {
        EXPECT_FALSE(Enabled(editing, name)) << name;
    }
    auto posted = shell.Step("focus lsbPossiveis\nlistclick lsbPossiveis 1\nclick sbtEscolhido");
    EXPECT_TRUE(Errors(posted.lines).empty()) << posted.Text();
    EXPECT_EQ(PacketEntries(posted.lines), (std::vector<std::string>{"inserted:00005"}));
    EXPECT_EQ(Assigned("0001", "C0002"), (std::vector<std::string>{"00001", "00002", "00005"}));
    EXPECT_EQ(GridCodes(posted), Assigned("0001", "C0002"));
}

TEST_F(SavingTest, ACancelThatBringsBackTheOnlyRowLetsItBeMovedBack)
{
    auto shell = Live();
    shell.Step(Header(0) + "cellclick dbgPadrao 0");
    Server().Stop();
    auto failed = shell.Step("click sbtUmEsquerda");
    ASSERT_TRUE(GridCodes(failed).empty()) << failed.Text();
    // A key in the empty grid starts a new row, which is dropped at once;
    // the cancel brings back the row whose deletion was never sent.
    auto back = shell.Step(RestartAndTell() + "focus dbgPadrao\ntype x");
    EXPECT_EQ(GridCodes(back), (std::vector<std::string>{"00002"}));
    EXPECT_EQ(back.Component("cdsServClie")["changeCount"], 0);
    EXPECT_TRUE(Enabled(back, "sbtUmEsquerda"));
    ExpectUsable(back);
}

TEST_F(SavingTest, AFailedMoveAllBackClosesTheProgressAndCanBeRunAgain)
{
    auto shell = Live();
    shell.Step(Header(0));
    Server().Stop();
    auto failed = shell.Step("click sbtTodosEsquerda");
    EXPECT_TRUE(Calls(failed.lines).empty()) << failed.Text();
    EXPECT_EQ(Progress(failed.lines), (std::vector<std::string>{"open", "close"}));
    EXPECT_EQ(Errors(failed.lines).size(), 1u) << failed.Text();
    EXPECT_EQ(GridCodes(failed), (std::vector<std::string>{"00002"}));
    ExpectUsable(failed);

    auto next = shell.Step(RestartAndTell() + "click sbtTodosEsquerda");
    EXPECT_TRUE(Errors(next.lines).empty()) << next.Text();
    EXPECT_EQ(Calls(next.lines), trace::MoveAllBackCalls());
    EXPECT_EQ(Progress(next.lines), (std::vector<std::string>{"open", "close"}));
    EXPECT_TRUE(Assigned("0001", "C0001").empty());
    EXPECT_TRUE(GridCodes(next).empty());
    EXPECT_EQ(ListItems(next), ListOfServicesNotIn({}));
}

TEST_F(SavingTest, AMoveWhileTheGridHasTheFocusKeepsItsRow)
{
    // Entering the grid clears the selection of the list's current entry
    // only; the other selected entry is moved with the grid focused, and its
    // new row survives because the move inserts it.
    auto out = Run(Header(0) + "listclick lsbPossiveis 0\nlistclick lsbPossiveis 2 ctrl\nfocus dbgPadrao\ndump\n"
                               "click sbtEscolhido\ndump\n");
    ASSERT_EQ(out.exitCode, 0);
    ASSERT_EQ(out.Dump(0)["screen"]["activeControl"], "dbgPadrao");
    ASSERT_EQ(out.Component("lsbPossiveis", 0)["selected"], json::array({0}));
    auto command = trace::Segment(out, 0);
    EXPECT_EQ(Calls(command), trace::MoveSelectedCalls(1));
    auto packets = ChangePackets(command);
    ASSERT_EQ(packets.size(), 1u);
    auto rows = Rows(packets[0]);
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].values.at("CDFILIAL"), "0001");
    EXPECT_EQ(rows[0].values.at("CDSERVFILI"), "00001");
    EXPECT_EQ(Assigned("0001", "C0001"), (std::vector<std::string>{"00001", "00002"}));
    EXPECT_EQ(GridCodes(out), Assigned("0001", "C0001"));
}

TEST_F(SavingTest, LeavingTheGridAfterAKeyPostsTheUnchangedRowAndSendsNull)
{
    auto out = Run(Header(0) + "focus dbgPadrao\ntype x\ndump\nfocus lsbPossiveis\ndump\n");
    ASSERT_EQ(out.exitCode, 0);
    ASSERT_EQ(out.Component("cdsServClie", 0)["state"], "edit");
    auto leaving = trace::Segment(out, 0);
    // The key changed no value, so the post leaves the change log empty and
    // the call still goes, with Null.
    EXPECT_EQ(Calls(leaving), (std::vector<std::string>{"ApCoServClie"}));
    EXPECT_EQ(ChangePackets(leaving), std::vector<json>{json(nullptr)});
    EXPECT_TRUE(Errors(leaving).empty()) << out.Text();
    EXPECT_EQ(out.Component("cdsServClie")["state"], "browse");
    EXPECT_EQ(out.Component("cdsServClie")["changeCount"], 0);
    // The grid is read-only: the key changed nothing, on screen or stored.
    EXPECT_EQ(GridCodes(out), (std::vector<std::string>{"00002"}));
    EXPECT_EQ(Assigned("0001", "C0001"), (std::vector<std::string>{"00002"}));
}
