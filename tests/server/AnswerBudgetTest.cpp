// The answer budget: shared fairly between holders while others wait, never
// closed to a holder that holds nothing, and reserving for a method what its
// answers have needed of late.
#include "server/AnswerBudget.h"

#include <gtest/gtest.h>

#include <future>
#include <thread>

namespace {
using std::chrono::milliseconds;
const std::atomic<bool> kGoOn{false};
} // namespace

TEST(AnswerBudget, AHolderOverItsShareWaitsBehindAnotherAndAnEmptyHolderTakesWhatFits)
{
    AnswerBudget budget(16);
    ASSERT_TRUE(budget.Take("a", 7, milliseconds(0), kGoOn));
    ASSERT_TRUE(budget.Take("a", 7, milliseconds(0), kGoOn)); // no one waits: beyond a share
    // b holds nothing: what fits is taken at once.
    EXPECT_TRUE(budget.Take("b", 2, milliseconds(0), kGoOn));
    budget.Give("b", 2);

    // b waits for 4; while it does, a (14 of 16, a share being 8) gets no
    // more, though 2 would fit.
    auto b = std::async(std::launch::async, [&] { return budget.Take("b", 4, milliseconds(5000), kGoOn); });
    while (budget.TakenBy("b") == 0 && b.wait_for(milliseconds(0)) != std::future_status::ready) {
        if (!budget.Take("a", 2, milliseconds(20), kGoOn)) {
            break;
        }
        budget.Give("a", 2); // taken before b began to wait
    }
    EXPECT_FALSE(budget.Take("a", 2, milliseconds(100), kGoOn));
    budget.Give("a", 7);
    EXPECT_TRUE(b.get());
    EXPECT_EQ(budget.TakenBy("a"), 7u);
    EXPECT_EQ(budget.TakenBy("b"), 4u);
    EXPECT_EQ(budget.Taken(), 11u);

    // Given back in parts, as an answer is written; more than held is not
    // given, and a holder never seen gives nothing.
    budget.Give("b", 3);
    budget.Give("b", 3);
    budget.Give("c", 5);
    EXPECT_EQ(budget.Taken(), 7u);
    const std::atomic<bool> stop{true};
    EXPECT_FALSE(budget.Take("c", 16, milliseconds(5000), stop));
}

TEST(AnswerBudget, AMethodReservesTheWholeBoundUntilItsAnswersShowTheyNeedLess)
{
    AnswerBudget budget(1 << 20);
    EXPECT_EQ(budget.Estimate("GetServico"), 1u << 20);
    size_t previous = budget.Estimate("GetServico");
    for (int call = 0; call < 30 && previous > 4096; ++call) {
        budget.Answered("GetServico", 4096);
        EXPECT_EQ(budget.Estimate("GetServico"), std::max<size_t>(4096, previous / 2));
        previous = budget.Estimate("GetServico");
    }
    EXPECT_EQ(previous, 4096u);
    budget.Answered("GetServico", 700000);
    EXPECT_EQ(budget.Estimate("GetServico"), 700000u);
    budget.Answered("GetServico", 5u << 20);
    EXPECT_EQ(budget.Estimate("GetServico"), 1u << 20); // never over the budget
    EXPECT_EQ(budget.Estimate("GetCliente"), 1u << 20);
}
