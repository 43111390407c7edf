// Two operators on one client, each in a shell of their own against one
// application server: what one stores reaches the other's screen without a
// reload, with the other's selection and waiting rows kept.
#include "CommandTrace.h"

using trace::GridCodes;
using trace::Header;
using trace::ListItems;
using trace::ListOfServicesNotIn;

namespace {

json LineWith(const ShellOutput& out, const char* key)
{
    for (const json& line : out.lines) {
        if (line.is_object() && line.contains(key)) {
            return line;
        }
    }
    return json();
}

} // namespace

class LiveViewsTest : public ShellTest {
protected:
    LiveShell Live(const std::string& name) { return LiveShell(sessionPath_, dir_ + "/" + name + "-err.txt"); }
};

TEST_F(LiveViewsTest, AnotherOperatorsMovesReachTheScreenAndTheSelectionAndWaitingRowsStay)
{
    auto writer = Live("writer");
    auto watcher = Live("watcher");
    writer.Step(Header(1));
    // The watcher has 00005 selected.
    auto ready = watcher.Step(Header(1) + "listclick lsbPossiveis 4");
    ASSERT_EQ(ListItems(ready).size(), 5u) << ready.Text();

    writer.Step("listclick lsbPossiveis 3\nclick sbtEscolhido");
    auto seen = watcher.Step("wait 5000");
    EXPECT_EQ(LineWith(seen, "wait")["wait"], "update") << seen.Text();
    const json note = LineWith(seen, "note");
    ASSERT_TRUE(note.is_object()) << seen.Text();
    EXPECT_NE(note["note"].get<std::string>().find("00004 - Treinamento (inclusão)"), std::string::npos) << note;
    EXPECT_EQ(GridCodes(seen), (std::vector<std::string>{"00004"}));
    EXPECT_EQ(ListItems(seen), ListOfServicesNotIn({"00004"}));
    // 00005 is still the one selected, now entry 3.
    EXPECT_EQ(seen.Component("lsbPossiveis")["selected"], json::array({3}));
    EXPECT_EQ(seen.Component("cdsServClie")["changeCount"], 0);

    // Taken back by the writer: the watcher follows, and its own move after
    // that ends with the screen equal to the database.
    writer.Step("cellclick dbgPadrao 0\nclick sbtUmEsquerda");
    auto back = watcher.Step("wait 5000");
    EXPECT_TRUE(GridCodes(back).empty()) << back.Text();
    EXPECT_EQ(ListItems(back), ListOfServicesNotIn({}));
    auto own = watcher.Step("click sbtEscolhido");
    EXPECT_EQ(Assigned("0001", "C0002"), (std::vector<std::string>{"00005"}));
    EXPECT_EQ(GridCodes(own), Assigned("0001", "C0002"));

    // The writer, on the same client, sees the watcher's move in turn; a
    // wait with nothing to come ends at its time.
    EXPECT_EQ(LineWith(writer.Step("wait 5000"), "wait")["wait"], "update");
    EXPECT_EQ(LineWith(writer.Step("wait 300"), "wait")["wait"], "timeout");
}

TEST_F(LiveViewsTest, AfterTheServerRestartsTheScreenFollowsAgainFromItsFirstMove)
{
    auto writer = Live("writer");
    auto watcher = Live("watcher");
    writer.Step(Header(1));
    watcher.Step(Header(1));
    RestartServer();
    const std::string port = "session WebPort " + std::to_string(Server().Port()) + "\n";
    writer.Step(port);
    // The watcher's move opens a new session, which follows the client
    // from the move's reading of the views on.
    auto own = watcher.Step(port + "listclick lsbPossiveis 0\nclick sbtEscolhido");
    EXPECT_EQ(GridCodes(own), (std::vector<std::string>{"00001"})) << own.Text();
    writer.Step("listclick lsbPossiveis 1\nclick sbtEscolhido");
    auto seen = watcher.Step("wait 5000");
    EXPECT_EQ(LineWith(seen, "wait")["wait"], "update") << seen.Text();
    EXPECT_EQ(GridCodes(seen), Assigned("0001", "C0002"));
    EXPECT_EQ(ListItems(seen), ListOfServicesNotIn(Assigned("0001", "C0002")));
}

TEST_F(LiveViewsTest, AnUpdateWaitsForTheRowBeingEditedAndIsAppliedOnceTheEditEnds)
{
    auto writer = Live("writer");
    auto watcher = Live("watcher");
    writer.Step(Header(1));
    watcher.Step(Header(1) + "listclick lsbPossiveis 0\nclick sbtEscolhido");
    writer.Step("wait 2000");
    auto editing = watcher.Step("cellclick dbgPadrao 0\nkey x");
    ASSERT_EQ(editing.Component("cdsServClie")["state"], "edit") << editing.Text();

    writer.Step("listclick lsbPossiveis 1\nclick sbtEscolhido");
    auto held = watcher.Step("wait 600");
    EXPECT_EQ(LineWith(held, "wait")["wait"], "timeout") << held.Text();
    EXPECT_EQ(GridCodes(held), (std::vector<std::string>{"00001"}));
    auto after = watcher.Step("key Escape\nwait 2000");
    EXPECT_EQ(LineWith(after, "wait")["wait"], "update") << after.Text();
    EXPECT_EQ(GridCodes(after), Assigned("0001", "C0002"));
    EXPECT_EQ(ListItems(after), ListOfServicesNotIn(Assigned("0001", "C0002")));
}
