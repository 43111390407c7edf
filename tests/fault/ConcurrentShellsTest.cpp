// Two operators, each in a shell of their own, moving services of the same
// client at the same moment. Nothing is stored twice or lost, and once both
// screens rebuild they show the database.
#include "FaultTest.h"

#include <algorithm>
#include <thread>

using trace::Errors;

namespace {

// Leaving the header again makes the screen rebuild both views from the
// server.
const char* kRebuild = "focus medCdFilial\nfocus lsbPossiveis";

} // namespace

class ConcurrentShellsTest : public FaultTest {};

TEST_F(ConcurrentShellsTest, TwoMoveAllsOfOneClientStoreEachServiceOnce)
{
    AddServices(120);
    auto first = NewShell("first");
    auto second = NewShell("second");
    ASSERT_EQ(ListCodes(first->Step(Header(1))).size(), 120u);
    ASSERT_EQ(ListCodes(second->Step(Header(1))).size(), 120u);

    ShellOutput a;
    ShellOutput b;
    std::thread other([&] { b = second->Step("click sbtTodos"); });
    a = first->Step("click sbtTodos");
    other.join();

    EXPECT_TRUE(Errors(a.lines).empty()) << a.Text();
    EXPECT_TRUE(Errors(b.lines).empty()) << b.Text();
    EXPECT_EQ(Assigned("0001", "C0002"), BranchCodes());
    EXPECT_EQ(AssignmentRows("C0002"), 120);
    // Each screen rebuilt at its own end; the one that finished last shows
    // the final state already, and after a rebuild both do.
    ExpectScreenMatchesDatabase(first->Step(kRebuild), "C0002");
    ExpectScreenMatchesDatabase(second->Step(kRebuild), "C0002");
}

TEST_F(ConcurrentShellsTest, MovesToAndFromOneClientAtOnceLeaveBothScreensOnTheDatabase)
{
    AddServices(60);
    auto first = NewShell("first");
    auto second = NewShell("second");
    first->Step(Header(2));
    second->Step(Header(2));

    // One operator takes every service back one by one while the other
    // moves every service to the client, three times over.
    for (int round = 0; round < 3; ++round) {
        ShellOutput a;
        ShellOutput b;
        std::thread other([&] {
            std::string back;
            for (int i = 0; i < 5; ++i) {
                back += "cellclick dbgPadrao 0\nclick sbtUmEsquerda\n";
            }
            b = second->Step(back);
        });
        a = first->Step("click sbtTodos");
        other.join();
        EXPECT_TRUE(ScriptTrouble(a.lines).empty()) << a.Text();
        // A move-all that met the other's deletion may find its own rows
        // gone; what matters is that whatever either stored is stored once.
        auto stored = Assigned("0001", "C0003");
        EXPECT_EQ(static_cast<int>(stored.size()), AssignmentRows("C0003"));
        for (const auto& packet : PacketEntries(a.lines)) {
            // Every service the first operator sent is stored unless the
            // second operator's later deletion took it away.
            std::string code = packet.substr(packet.find(':') + 1);
            bool deletedByOther = false;
            for (const auto& entry : PacketEntries(b.lines)) {
                deletedByOther = deletedByOther || entry == "deleted:" + code;
            }
            if (!deletedByOther) {
                EXPECT_TRUE(std::binary_search(stored.begin(), stored.end(), code)) << code;
            }
        }
    }
    ExpectScreenMatchesDatabase(first->Step(kRebuild), "C0003");
    ExpectScreenMatchesDatabase(second->Step(kRebuild), "C0003");
}
