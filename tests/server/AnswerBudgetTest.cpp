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

TEST(AnswerBudget, AHolderKeepsToHalfAndToItsShareWhileOthersWaitAndAnEmptyHolderTakesWhatFits)
{
    AnswerBudget budget(16);
    ASSERT_TRUE(budget.Take("a", 7, milliseconds(0), kGoOn));
    ASSERT_TRUE(budget.Take("a", 1, milliseconds(0), kGoOn));
    EXPECT_FALSE(budget.Take("a", 1, milliseconds(0), kGoOn)); // beyond half, though it fits
    budget.Give("a", 2);
    // b holds nothing: what fits is taken at once, the rest of the budget.
    ASSERT_TRUE(budget.Take("b", 10, milliseconds(0), kGoOn));

    // c waits for 2; b gives 2 back; a (6, under half but over a share of
    // 16 / 3) gets none of it while c waits, and c does.
    auto c = std::async(std::launch::async, [&] { return budget.Take("c", 2, milliseconds(5000), kGoOn); });
    while (budget.Waiting() == 0) {
        std::this_thread::sleep_for(milliseconds(1));
    }
    budget.Give("b", 2);
    EXPECT_FALSE(budget.Take("a", 1, milliseconds(0), kGoOn));
    EXPECT_TRUE(c.get());
    EXPECT_EQ(budget.TakenBy("c"), 2u);
    EXPECT_EQ(budget.Taken(), 16u);

    // Given back in parts, as an answer is written; more than held is not
    // given, and a holder never seen gives nothing.
    budget.Give("b", 3);
    budget.Give("b", 6);
    budget.Give("d", 5);
    EXPECT_EQ(budget.TakenBy("b"), 0u);
    EXPECT_EQ(budget.Taken(), 8u);
    const std::atomic<bool> stop{true};
    EXPECT_FALSE(budget.Take("d", 16, milliseconds(5000), stop));
    EXPECT_EQ(budget.Waiting(), 0);
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
