// Stopping move-all part way, and undoing the last move command, driven
// through the headless shell against a real application server: what the
// database holds afterwards, what was sent, and what the operator is shown.
#include "CommandTrace.h"

using trace::Calls;
using trace::Errors;
using trace::GridCodes;
using trace::Header;
using trace::ListItems;
using trace::ListOfServicesNotIn;
using trace::PacketEntries;
using trace::Progress;
using trace::Segment;

namespace {

std::vector<std::string> Notes(const std::vector<json>& lines)
{
    std::vector<std::string> notes;
    for (const auto& l : lines) {
        if (l.is_object() && l.contains("note")) {
            notes.push_back(l["note"].get<std::string>());
        }
    }
    return notes;
}

bool UndoOffered(const ShellOutput& out, int dump = -1)
{
    return out.Dump(dump)["screen"]["menu"]["sbtDesfazer"].get<bool>();
}

const char* const kRefused = "O último movimento não foi desfeito";

} // namespace

class UndoAndCancelTest : public ShellTest {
protected:
    LiveShell Live(const std::string& name) { return LiveShell(sessionPath_, dir_ + "/" + name + "-err.txt"); }

    // The screen shows what the database holds for the client.
    void ExpectScreenMatchesDatabase(const ShellOutput& out, const std::string& client)
    {
        auto assigned = Assigned("0001", client);
        EXPECT_EQ(GridCodes(out), assigned) << out.Text();
        EXPECT_EQ(ListItems(out), ListOfServicesNotIn(assigned)) << out.Text();
    }
};

// Comércio Álvares (C0002) has none of the branch's five services: move-all
// would add them all, and Cancel pressed once N are done stops it there.
TEST_F(UndoAndCancelTest, CancelInMoveAllStoresWhatWasSentAndLeavesTheRestOffered)
{
    struct Case {
        int cancelAfter;
        std::vector<std::string> stored;
        std::vector<std::string> notes;
    };
    const Case cases[] = {
        {0, {}, {"Interrompido: 0 de 5 serviços incluídos; os demais continuam na lista."}},
        {2, {"00001", "00002"}, {"Interrompido: 2 de 5 serviços incluídos; os demais continuam na lista."}},
        {5, trace::BranchServices(), {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("cancel " + std::to_string(c.cancelAfter));
        Db().Execute("DELETE FROM SERVCLIE WHERE CDCLIENTE = 'C0002'", {});
        auto out = Run(Header(1) + "dump\ncancel " + std::to_string(c.cancelAfter) +
                       "\nclick sbtTodos\ndump\nkey Ctrl+Z\ndump\n");
        ASSERT_EQ(out.exitCode, 0) << out.Text();
        auto command = Segment(out, 0);
        const int moved = static_cast<int>(c.stored.size());
        EXPECT_EQ(Calls(command), trace::MoveAllCalls(moved));
        EXPECT_EQ(Progress(command), moved < 5 ? (std::vector<std::string>{"open", "cancel", "close"})
                                               : (std::vector<std::string>{"open", "close"}));
        EXPECT_TRUE(Errors(command).empty()) << out.Text();
        EXPECT_EQ(Notes(command), c.notes);
        // The database holds what was sent; the grid shows it and the list
        // offers the rest.
        EXPECT_EQ(GridCodes(out, 1), c.stored);
        EXPECT_EQ(ListItems(out, 1), ListOfServicesNotIn(c.stored));
        EXPECT_EQ(UndoOffered(out, 1), moved > 0);

        // The undo takes back what the stopped move stored.
        EXPECT_TRUE(Assigned("0001", "C0002").empty());
        ExpectScreenMatchesDatabase(out, "C0002");
        EXPECT_FALSE(UndoOffered(out));
    }
}

// Ctrl+Z, or the menu entry, after each move command: the opposite changes
// go one service a packet, after a reading of the server's assignments, and
// the database is back as it was before the move.
TEST_F(UndoAndCancelTest, UndoBringsTheDatabaseBackAfterEachMoveCommand)
{
    struct Case {
        const char* name;
        int clientRow;
        const char* client;
        const char* move;
        const char* undo;
        std::vector<std::string> packets;
    };
    const Case cases[] = {
        {"move-back", 0, "C0001", "cellclick dbgPadrao 0\nclick sbtUmEsquerda", "key Ctrl+Z", {"inserted:00002"}},
        {"move-selected",
         0,
         "C0001",
         "listclick lsbPossiveis 1\nlistclick lsbPossiveis 2 ctrl\nclick sbtEscolhido",
         "click mniDesfazer",
         {"deleted:00004", "deleted:00003"}},
        {"move-all",
         0,
         "C0001",
         "click sbtTodos",
         "key Ctrl+Z",
         {"deleted:00005", "deleted:00004", "deleted:00003", "deleted:00001"}},
        {"move-all-back",
         2,
         "C0003",
         "click sbtTodosEsquerda",
         "key Ctrl+Z",
         {"inserted:00001", "inserted:00002", "inserted:00003", "inserted:00004", "inserted:00005"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto before = Assigned("0001", c.client);
        auto out = Run(Header(c.clientRow) + "dump\n" + c.move + "\ndump\n" + c.undo + "\ndump\n");
        ASSERT_EQ(out.exitCode, 0) << out.Text();
        ASSERT_FALSE(UndoOffered(out, 0));
        ASSERT_TRUE(UndoOffered(out, 1)) << out.Text();
        ASSERT_NE(GridCodes(out, 1), before);

        auto undo = Segment(out, 1);
        std::vector<std::string> calls{"GetServClie"};
        calls.insert(calls.end(), c.packets.size(), "ApCoServClie");
        calls.insert(calls.end(), {"GetServico", "GetServClie"});
        EXPECT_EQ(Calls(undo), calls);
        EXPECT_EQ(PacketEntries(undo), c.packets);
        EXPECT_EQ(Progress(undo), (std::vector<std::string>{"open", "close"}));
        EXPECT_TRUE(Errors(undo).empty()) << out.Text();
        EXPECT_EQ(Assigned("0001", c.client), before);
        ExpectScreenMatchesDatabase(out, c.client);
        EXPECT_FALSE(UndoOffered(out));
    }
}

// Another operator, in a shell of their own, changes one of the services of
// the first operator's last move: its undo sends nothing, names the service
// and leaves the other operator's work in the database.
TEST_F(UndoAndCancelTest, UndoIsRefusedWhereAnotherOperatorChangedTheMovesServicesSince)
{
    struct Case {
        const char* name;
        int clientRow;
        const char* client;
        const char* move;
        const char* other;
        // The first operator takes the other's change in live before the undo.
        bool seenLive;
        std::vector<std::string> after;
    };
    const Case cases[] = {
        {"a service of move-all taken back",
         1,
         "C0002",
         "click sbtTodos",
         "cellclick dbgPadrao 0\nclick sbtUmEsquerda",
         false,
         {"00002", "00003", "00004", "00005"}},
        {"a service of move-all-back given again",
         2,
         "C0003",
         "click sbtTodosEsquerda",
         "listclick lsbPossiveis 0\nclick sbtEscolhido",
         false,
         {"00001"}},
        {"a service of move-all taken back and given again", 1, "C0002", "click sbtTodos",
         "cellclick dbgPadrao 0\nclick sbtUmEsquerda\nlistclick lsbPossiveis 0\nclick sbtEscolhido", true,
         trace::BranchServices()},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Db().Execute("DELETE FROM SERVCLIE WHERE CDCLIENTE IN ('C0002', 'C0003')", {});
        for (const char* code : {"00001", "00002", "00003", "00004", "00005"}) {
            Db().Execute("INSERT INTO SERVCLIE (CDFILIAL, CDCLIENTE, CDSERVFILI) VALUES ('0001', 'C0003', ?)", {code});
        }
        auto first = Live("first");
        auto other = Live("other");
        auto moved = first.Step(Header(c.clientRow) + c.move);
        ASSERT_TRUE(UndoOffered(moved)) << moved.Text();
        other.Step(Header(c.clientRow) + c.other);
        ASSERT_EQ(Assigned("0001", c.client), c.after);
        if (c.seenLive) {
            first.Step("wait 5000");
        }

        auto undo = first.Step("key Ctrl+Z");
        ASSERT_EQ(Errors(undo.lines).size(), 1u) << undo.Text();
        const std::string error = Errors(undo.lines).front();
        EXPECT_EQ(error.rfind(kRefused, 0), 0u) << error;
        EXPECT_NE(error.find("00001 - Consultoria"), std::string::npos) << error;
        EXPECT_EQ(Calls(undo.lines), (std::vector<std::string>{"GetServClie", "GetServico", "GetServClie"}));
        EXPECT_EQ(Assigned("0001", c.client), c.after);
        ExpectScreenMatchesDatabase(undo, c.client);
        EXPECT_FALSE(UndoOffered(undo));
    }
}
