// An answer lost after the server committed: the shell believes the change
// unsent and sends it again with the next one. The resent packet must do no
// harm: no duplicate row, no error, the screen in line with the database.
#include "AnswerDroppingProxy.h"
#include "FaultTest.h"

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

TEST_F(LostAnswerTest, AnInsertCommittedButNotAnsweredIsResentHarmlessly)
{
    auto shell = NewShell("operator");
    auto ready = shell->Step(Header(1) + "\nlistclick lsbPossiveis 0");
    ASSERT_EQ(ListCodes(ready).size(), 5u) << ready.Text();

    proxy_->DropNextAnswerTo("ApCoServClie");
    auto failed = shell->Step("click sbtEscolhido");
    EXPECT_EQ(proxy_->Dropped(), 1);
    ExpectOneError(failed);
    ExpectUsable(failed);
    // Stored on the server, unsent for the screen.
    EXPECT_EQ(Assigned("0001", "C0002"), (std::vector<std::string>{"00001"}));
    EXPECT_EQ(failed.Component("cdsServClie")["changeCount"], 1);

    // 00001 waits in the grid and is offered no more: 00002 is entry 0.
    EXPECT_EQ(ListCodes(failed).size(), 4u);
    auto next = shell->Step("listclick lsbPossiveis 0\nclick sbtEscolhido");
    EXPECT_TRUE(Errors(next.lines).empty()) << next.Text();
    EXPECT_EQ(PacketEntries(next.lines), (std::vector<std::string>{"inserted:00001", "inserted:00002"}));
    EXPECT_EQ(Assigned("0001", "C0002"), (std::vector<std::string>{"00001", "00002"}));
    EXPECT_EQ(AssignmentRows("C0002"), 2);
    ExpectScreenMatchesDatabase(next, "C0002");
}

TEST_F(LostAnswerTest, ADeletionCommittedButNotAnsweredIsResentHarmlessly)
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
    EXPECT_EQ(PacketEntries(next.lines), (std::vector<std::string>{"deleted:00001", "deleted:00002"}));
    EXPECT_EQ(Assigned("0001", "C0003"), (std::vector<std::string>{"00003", "00004", "00005"}));
    ExpectScreenMatchesDatabase(next, "C0003");
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
