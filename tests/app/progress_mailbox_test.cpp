// The progress mailbox on one thread: what a take gives back after a run of
// posts, for bars that keep their latest position and bars that keep steps.

#include <gtest/gtest.h>

#include "core/app/progress_mailbox.h"

namespace emberline::app {
namespace {

using P = ProgressMailbox::Position;
constexpr int kData = 1003;
constexpr int kStage = 1004;

TEST(ProgressMailbox, KeepsTheLatestDataPositionAndEveryStageStepInPostingOrder) {
  const struct {
    const char* what;
    std::vector<P> posts;
    std::vector<P> taken;
  } cases[] = {
      {"nothing posted", {}, {}},
      {"a data run shrinks to its end", {{kData, 1}, {kData, 2}, {kData, 3}}, {{kData, 3}}},
      {"stage steps all stay, repeats included",
       {{kStage, 0}, {kStage, 0}, {kStage, 1}},
       {{kStage, 0}, {kStage, 0}, {kStage, 1}}},
      {"a data run shrinks up to each stage step",
       {{kData, 1}, {kData, 2}, {kStage, 8}, {kData, 3}, {kData, 4}, {kStage, 9}, {kData, 5}},
       {{kData, 2}, {kStage, 8}, {kData, 4}, {kStage, 9}, {kData, 5}}},
      {"bars that keep their latest are apart and keep their place",
       {{kData, 4}, {42, 1}, {kData, 5}, {42, 2}},
       {{kData, 5}, {42, 2}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    ProgressMailbox mailbox{kStage};
    for (const P& p : c.posts) mailbox.post(p.bar_id, p.position);
    EXPECT_EQ(mailbox.take(), c.taken);
    EXPECT_TRUE(mailbox.take().empty());
  }
}

TEST(ProgressMailbox, AStageBarNobodyTakesFromHoldsABoundedNumberOfStepsEndingInTheNewest) {
  ProgressMailbox mailbox{kStage};
  const int posts = static_cast<int>(ProgressMailbox::kMaxStepsPending) + 10;
  for (int i = 0; i < posts; ++i) mailbox.post(kStage, i);
  const auto taken = mailbox.take();
  ASSERT_EQ(taken.size(), ProgressMailbox::kMaxStepsPending);
  EXPECT_EQ(taken.front(), (P{kStage, 0}));
  EXPECT_EQ(taken.back(), (P{kStage, posts - 1}));
}

}  // namespace
}  // namespace emberline::app
