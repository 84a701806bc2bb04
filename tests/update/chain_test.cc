// The chain's order, its stop rule and the order of its rollback, with
// stand-in steps: which steps run from a level, and which rollbacks follow a
// failure.
#include "update/chain.h"

#include <gtest/gtest.h>

#include <set>
#include <vector>

namespace dbup::update {
namespace {

struct Recorder {
  std::vector<int> ran;
  std::vector<int> rolled_back;
  int fail_at = 0;  // the step that fails
  bool fail_after_flag = false;
  std::set<int> already_done;  // steps that find nothing to do

  bool Run(int level, RollbackFlags* flags_out = nullptr) {
    RollbackFlags flags;
    const bool ok = RunChain(
        Catalogue(), level, flags,
        [&](const StepRow& row, bool& flag) {
          ran.push_back(row.number);
          flag = false;
          if (already_done.count(row.number) != 0) return true;
          if (row.number == fail_at) {
            flag = fail_after_flag;
            return false;
          }
          // Add-if-missing steps never set their flag.
          flag = row.form != Form::kAddIfMissing;
          return true;
        },
        [&](const StepRow& row) { rolled_back.push_back(row.number); });
    if (flags_out != nullptr) *flags_out = flags;
    return ok;
  }
};

TEST(ChainTest, StartsAtTheFirstStepAtOrAboveTheLevel) {
  struct Case {
    int level;
    int first;
    size_t count;
  };
  const Case kCases[] = {{203, 203, 1},  {202, 202, 2},  {91, 92, 88}, {97, 100, 85},
                         {150, 150, 47}, {149, 150, 47}, {204, 0, 0}};
  for (const Case& c : kCases) {
    Recorder r;
    EXPECT_TRUE(r.Run(c.level)) << c.level;
    ASSERT_EQ(r.ran.size(), c.count) << c.level;
    if (c.count > 0) {
      EXPECT_EQ(r.ran.front(), c.first) << c.level;
      EXPECT_EQ(r.ran.back(), 203);
    }
    EXPECT_TRUE(r.rolled_back.empty());
  }
}

TEST(ChainTest, AFailureBeforeTheFlagStopsTheRunWithoutRollback) {
  Recorder r;
  r.fail_at = 92;
  EXPECT_FALSE(r.Run(91));
  EXPECT_EQ(r.ran, std::vector<int>{92});
  EXPECT_TRUE(r.rolled_back.empty());
}

TEST(ChainTest, RollsBackEveryFlaggedStepNewestFirstSkippingFlaglessOnes) {
  Recorder r;
  r.fail_at = 150;
  r.fail_after_flag = true;
  EXPECT_FALSE(r.Run(91));
  EXPECT_EQ(r.ran.back(), 150);  // nothing after the failed step runs
  std::vector<int> expected;
  for (const StepRow& row : Catalogue()) {
    if (row.number <= 150 && row.number != 106 && row.number != 113) {
      expected.insert(expected.begin(), row.number);
    }
  }
  EXPECT_EQ(r.rolled_back, expected);
  EXPECT_EQ(r.rolled_back.front(), 150);
  EXPECT_EQ(r.rolled_back.back(), 92);
}

TEST(ChainTest, StepsThatFoundTheirWorkDoneAreNotRolledBack) {
  Recorder r;
  r.fail_at = 203;
  r.fail_after_flag = false;
  r.already_done = {200, 201};
  EXPECT_FALSE(r.Run(200));
  EXPECT_EQ(r.ran, (std::vector<int>{200, 201, 202, 203}));
  EXPECT_EQ(r.rolled_back, std::vector<int>{202});
}

TEST(ChainTest, EveryStepAlreadyDoneSucceedsWithNoFlag) {
  Recorder r;
  for (const StepRow& row : Catalogue()) r.already_done.insert(row.number);
  RollbackFlags flags;
  EXPECT_TRUE(r.Run(91, &flags));
  EXPECT_EQ(r.ran.size(), 88u);
  for (bool f : flags) EXPECT_FALSE(f);
}

TEST(ChainTest, FlagsFromAnEarlierRunDoNotLeakIntoTheNext) {
  RollbackFlags flags(Catalogue().size(), true);
  std::vector<int> rolled_back;
  const bool ok = RunChain(
      Catalogue(), 203, flags, [](const StepRow&, bool& flag) { return !(flag = false); },
      [&](const StepRow& row) { rolled_back.push_back(row.number); });
  EXPECT_TRUE(ok);
  for (bool f : flags) EXPECT_FALSE(f);
  RollbackUpdates(Catalogue(), flags,
                  [&](const StepRow& row) { rolled_back.push_back(row.number); });
  EXPECT_TRUE(rolled_back.empty());
}

}  // namespace
}  // namespace dbup::update
