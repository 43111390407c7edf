// An answer lost after the server committed: the change is in doubt. Before it
// is sent again or undone, the shell reads the server's assignments back and
// settles it: what the server holds is stored, the rest goes again. The
// operator is never told that a stored change was not stored.
#include "AnswerDroppingProxy.h"
#include "FaultTest.h"

using trace::Calls;
using trace::Errors;

class LostAnswerTest : public FaultTest {
protected:
    void SetUp() override
    {
        FaultTest::SetUp();
        proxy_ = std::make_unique<AnswerDroppingProxy>(Server().Port());
        session_["WebPort"] = std::to_string(proxy_->Port());
        WriteSession(session_);
    }
    void TearDown() override
    {
        proxy_.reset();
        FaultTest::TearDown();
    }
    std::unique_ptr<AnswerDroppingProxy> proxy_;
};

TEST_F(LostAnswerTest, AnInsertCommittedButNotAnsweredIsSettledBeforeTheNextChange)
{
    auto shell = NewShell("operator");
    auto ready = shell->Step(Header(1) + "\nlistclick lsbPossiveis 0");
    ASSERT_EQ(ListCodes(ready).size(), 5u) << ready.Text();

    proxy_->DropNextAnswerTo("ApCoServClie");
    auto failed = shell->Step("click sbtEscolhido");
    EXPECT_EQ(proxy_->Dropped(), 1);
    ExpectOneError(failed);
    ExpectUsable(failed);
    EXPECT_NE(Errors(failed.lines)[0].find("pode não ter sido gravada"), std::string::npos);
    // Stored on the server, in doubt on the screen.
    EXPECT_EQ(Assigned("0001", "C0002"), (std::vector<std::string>{"00001"}));
    EXPECT_EQ(failed.Component("cdsServClie")["doubt"], json::array({0}));

    // 00001 waits in the grid and is offered no more: 00002 is entry 0.
    EXPECT_EQ(ListCodes(failed).size(), 4u);
    auto next = shell->Step("listclick lsbPossiveis 0\nclick sbtEscolhido");
    EXPECT_TRUE(Errors(next.lines).empty()) << next.Text();
    EXPECT_EQ(Calls(next.lines).at(0), "GetServClie");
    EXPECT_EQ(PacketEntries(next.lines), (std::vector<std::string>{"inserted:00002"}));
    EXPECT_EQ(Assigned("0001", "C0002"), (std::vector<std::string>{"00001", "00002"}));
    EXPECT_EQ(AssignmentRows("C0002"), 2);
    ExpectScreenMatchesDatabase(next, "C0002");
}

TEST_F(LostAnswerTest, ADeletionCommittedButNotAnsweredIsSettledBeforeTheNextChange)
{
    auto shell = NewShell("operator");
    auto ready = shell->Step(Header(2) + "\ncellclick dbgPadrao 0");
    ASSERT_EQ(trace::GridCodes(ready).size(), 5u) << ready.Text();

    proxy_->DropNextAnswerTo("ApCoServClie");
    auto failed = shell->Step("click sbtUmEsquerda");
    EXPECT_EQ(proxy_->Dropped(), 1);
    ExpectOneError(failed);
    ExpectUsable(failed);
    EXPECT_EQ(Assigned("0001", "C0003"), (std::vector<std::string>{"00002", "00003", "00004", "00005"}));

    auto next = shell->Step("cellclick dbgPadrao 0\nclick sbtUmEsquerda");
    EXPECT_TRUE(Errors(next.lines).empty()) << next.Text();
    EXPECT_EQ(PacketEntries(next.lines), (std::vector<std::string>{"deleted:00002"}));
    EXPECT_EQ(Assigned("0001", "C0003"), (std::vector<std::string>{"00003", "00004", "00005"}));
    ExpectScreenMatchesDatabase(next, "C0003");
}

TEST_F(LostAnswerTest, ACancelOrAMoveBackAfterALostAnswerNeverHidesOrLeavesAStoredService)
{
    auto shell = NewShell("operator");
    shell->Step(Header(1));
    const std::string cancel = "focus dbgPadrao\ntype x\nkey Escape";

    // A cancel reads the server first: the stored insert stays, nothing is sent.
    proxy_->DropNextAnswerTo("ApCoServClie");
    ExpectOneError(shell->Step("listclick lsbPossiveis 0\nclick sbtEscolhido"));
    auto cancelled = shell->Step(cancel);
    EXPECT_TRUE(Errors(cancelled.lines).empty()) << cancelled.Text();
    EXPECT_EQ(Calls(cancelled.lines), (std::vector<std::string>{"GetServClie"}));
    EXPECT_EQ(trace::GridCodes(cancelled), (std::vector<std::string>{"00001"}));
    EXPECT_EQ(cancelled.Component("cdsServClie")["changeCount"], 0);
    EXPECT_EQ(ListCodes(cancelled), (std::vector<std::string>{"00002", "00003", "00004", "00005"}));

    // Moved back after its answer was lost, an insert is not cancelled out:
    // its removal goes, and the server holds nothing of it.
    proxy_->DropNextAnswerTo("ApCoServClie");
    ExpectOneError(shell->Step("focus lsbPossiveis\nlistclick lsbPossiveis 0\nclick sbtEscolhido"));
    ASSERT_EQ(Assigned("0001", "C0002"), (std::vector<std::string>{"00001", "00002"}));
    auto back = shell->Step("cellclick dbgPadrao 1\nclick sbtUmEsquerda");
    EXPECT_TRUE(Errors(back.lines).empty()) << back.Text();
    EXPECT_EQ(PacketEntries(back.lines), (std::vector<std::string>{"deleted:00002"}));
    EXPECT_EQ(Assigned("0001", "C0002"), (std::vector<std::string>{"00001"}));
    ExpectScreenMatchesDatabase(back, "C0002");

    // With the server gone, a cancel cannot know: the change in doubt stays.
    proxy_->DropNextAnswerTo("ApCoServClie");
    ExpectOneError(shell->Step("focus lsbPossiveis\nlistclick lsbPossiveis 0\nclick sbtEscolhido"));
    Server().Stop();
    auto kept = shell->Step(cancel);
    ExpectOneError(kept);
    EXPECT_NE(Errors(kept.lines)[0].find("podem já ter sido gravadas e não foram desfeitas"), std::string::npos);
    EXPECT_EQ(trace::GridCodes(kept), (std::vector<std::string>{"00001", "00002"}));
    EXPECT_EQ(kept.Component("cdsServClie")["doubt"], json::array({1}));
}

TEST_F(LostAnswerTest, ALostAnswerInTheMiddleOfMoveAllLeavesEveryServiceStoredOnce)
{
    AddServices(40);
    auto shell = NewShell("operator");
    shell->Step(Header(1));
    proxy_->DropNextAnswerTo("ApCoServClie");
    auto failed = shell->Step("click sbtTodos");
    ExpectOneError(failed);
    // The first packet was stored and its answer lost; the move ended there.
    EXPECT_EQ(Assigned("0001", "C0002"), (std::vector<std::string>{"00001"}));

    auto again = shell->Step("click sbtTodos");
    EXPECT_TRUE(Errors(again.lines).empty()) << again.Text();
    EXPECT_EQ(Assigned("0001", "C0002"), BranchCodes());
    EXPECT_EQ(AssignmentRows("C0002"), 40);
    ExpectScreenMatchesDatabase(again, "C0002");
}
