// The application server killed outright in the middle of a long move-all.
// Every service whose call was answered is stored, at most the one in flight
// besides; the operator sees one error and a usable screen; once the server
// is back, the next change carries what was left unsent and the rebuild
// shows the database.
#include "FaultTest.h"

#include <algorithm>

using trace::Errors;

namespace {

constexpr int kServices = 500;
constexpr int kKillAfterCall = 200;

} // namespace

class ServerKillTest : public FaultTest {};

TEST_F(ServerKillTest, AKillDuringMoveAllLosesNothingAnsweredAndTheNextChangeResendsTheRest)
{
    AddServices(kServices);
    auto shell = NewShell("operator");
    auto ready = shell->Step(Header(1));
    ASSERT_EQ(ListCodes(ready).size(), static_cast<size_t>(kServices)) << ready.Text();
    ASSERT_TRUE(Assigned("0001", "C0002").empty());

    // Read the move as it goes and kill the server once it has been asked
    // for the kKillAfterCall-th service.
    ASSERT_TRUE(shell->Send("click sbtTodos\ndump"));
    ShellOutput failed;
    int calls = 0;
    while (auto line = shell->NextLine()) {
        failed.lines.push_back(*line);
        if (line->is_object() && line->value("call", "") == "ApCoServClie" && ++calls == kKillAfterCall) {
            Server().Kill();
        }
        if (line->is_object() && line->contains("dump")) {
            break;
        }
    }
    ASSERT_TRUE(failed.Dump().is_object()) << "the shell stopped answering\n" << failed.Text();
    EXPECT_TRUE(ScriptTrouble(failed.lines).empty()) << failed.Text();

    // One packet per service, each holding one insert, in list order.
    auto sent = PacketEntries(failed.lines);
    ASSERT_GE(sent.size(), static_cast<size_t>(kKillAfterCall));
    auto all = BranchCodes();
    for (size_t i = 0; i < sent.size(); ++i) {
        ASSERT_EQ(sent[i], "inserted:" + all[i]) << i;
    }
    ExpectOneError(failed);
    EXPECT_EQ(trace::Progress(failed.lines), (std::vector<std::string>{"open", "close"}));
    ExpectUsable(failed);

    // Stored: every answered call, perhaps the one in flight, nothing after.
    auto stored = Assigned("0001", "C0002");
    EXPECT_GE(stored.size() + 1, sent.size());
    EXPECT_LE(stored.size(), sent.size());
    EXPECT_EQ(stored, std::vector<std::string>(all.begin(), all.begin() + static_cast<long>(stored.size())));
    EXPECT_EQ(static_cast<int>(stored.size()), AssignmentRows("C0002"));

    // The row whose call lost its answer stays posted, in doubt. The grid
    // keeps its rows in code order: that row last.
    EXPECT_EQ(failed.Component("cdsServClie")["changeCount"], 1);
    auto grid = trace::GridCodes(failed);
    ASSERT_EQ(grid.size(), sent.size());
    const std::string unsent = grid.back();
    EXPECT_EQ("inserted:" + unsent, sent.back());
    EXPECT_EQ(failed.Component("cdsServClie")["doubt"], json::array({grid.size() - 1}));
    EXPECT_EQ(grid, std::vector<std::string>(all.begin(), all.begin() + static_cast<long>(grid.size())));

    // The list offers only what the grid does not hold.
    const auto offered = trace::ListItems(failed);
    EXPECT_EQ(offered.size(), all.size() - grid.size());

    // The server comes back; the operator moves the last service of the
    // list. The row in doubt is settled first: sent again with it unless
    // the server had stored it.
    RestartServer();
    auto next = shell->Step("session WebPort " + std::to_string(Server().Port()) + "\nlistclick lsbPossiveis " +
                            std::to_string(offered.size() - 1) + "\nclick sbtEscolhido");
    EXPECT_TRUE(Errors(next.lines).empty()) << next.Text();
    EXPECT_TRUE(ScriptTrouble(next.lines).empty()) << next.Text();
    std::vector<std::string> entries{"inserted:" + unsent, "inserted:" + all.back()};
    if (stored.size() == sent.size()) {
        entries.erase(entries.begin());
    }
    EXPECT_EQ(PacketEntries(next.lines), entries);

    // Exactly the grid's rows and the new one are stored, each once.
    auto expected = grid;
    expected.push_back(all.back());
    EXPECT_EQ(Assigned("0001", "C0002"), expected);
    ExpectScreenMatchesDatabase(next, "C0002");
}

TEST_F(ServerKillTest, AKillBetweenCommandsIsReportedOnceAndTheScreenGoesOnAfterTheRestart)
{
    auto shell = NewShell("operator");
    auto ready = shell->Step(Header(2) + "\ncellclick dbgPadrao 0");
    ASSERT_EQ(trace::GridCodes(ready).size(), 5u) << ready.Text();

    Server().Kill();
    auto failed = shell->Step("click sbtTodosEsquerda");
    ExpectOneError(failed);
    ExpectUsable(failed);
    EXPECT_EQ(Assigned("0001", "C0003").size(), 5u);

    RestartServer();
    auto next = shell->Step("session WebPort " + std::to_string(Server().Port()) + "\nclick sbtTodosEsquerda");
    EXPECT_TRUE(Errors(next.lines).empty()) << next.Text();
    EXPECT_TRUE(Assigned("0001", "C0003").empty());
    ExpectScreenMatchesDatabase(next, "C0003");
}
