// The back-and-forth picture animations and their shared counters.
#include <gtest/gtest.h>

#include <vector>

#include "platform/controls.h"
#include "support/animDI.h"

namespace vrn {
namespace {

using Step = void (*)(PictureBox*, int);

class AnimationTest : public ::testing::Test {
 protected:
  void SetUp() override { resetAnimationCountersForTests(); }
  void TearDown() override { resetAnimationCountersForTests(); }

  // Positions after each of `ticks` calls.
  static std::vector<int> run(Step step, PictureBox& picture, int ticks, int pas = 50) {
    std::vector<int> out;
    for (int i = 0; i < ticks; ++i) {
      step(&picture, pas);
      out.push_back(picture.Left());
    }
    return out;
  }

  // The positions where the walk changes direction, and a check that every
  // tick moved exactly one step.
  static std::vector<int> turns(int start, const std::vector<int>& positions, int pas = 50) {
    std::vector<int> out;
    int prev = start;
    int dir = 0;
    for (int x : positions) {
      const int d = x - prev;
      EXPECT_EQ(std::abs(d), pas) << "from " << prev << " to " << x;
      const int nd = d > 0 ? 1 : -1;
      if (dir != 0 && nd != dir) out.push_back(prev);
      dir = nd;
      prev = x;
    }
    return out;
  }

  static PictureBox* at(PictureBox& p, int left) {
    p.Move(left, 4200, 495, 255);
    return &p;
  }
};

TEST_F(AnimationTest, ScanAnimationBouncesBetween990And2640) {
  PictureBox picture;
  at(picture, 240);
  const std::vector<int> pos = run(AnimerVaEtVient1, picture, 500);
  // Right from 240 one step per tick: the first 48 ticks reach 2640.
  for (int i = 0; i < 48; ++i) EXPECT_EQ(pos[i], 240 + 50 * (i + 1));
  const std::vector<int> t = turns(240, pos);
  ASSERT_GE(t.size(), 6u);
  for (size_t i = 0; i < t.size(); ++i) EXPECT_EQ(t[i], i % 2 == 0 ? 2640 : 990) << "turn " << i;
}

TEST_F(AnimationTest, SearchAnimationWalksLeftTo210ThenBounces) {
  PictureBox picture;
  at(picture, 3960);
  const std::vector<int> pos = run(AnimerVaEtVient2, picture, 600);
  EXPECT_EQ(pos[0], 3910);  // left first
  const std::vector<int> t = turns(3960, pos);
  ASSERT_GE(t.size(), 5u);
  for (size_t i = 0; i < t.size(); ++i) EXPECT_EQ(t[i], i % 2 == 0 ? 210 : 4010) << "turn " << i;
}

TEST_F(AnimationTest, RightWalkEndsAfterOneStepMoreThanTheLeftWalk) {
  // Away from the right limit the turn comes from the step count alone, so
  // each round reaches one step further than the last.
  PictureBox picture;
  at(picture, 1000);
  const std::vector<int> t = turns(1000, run(AnimerVaEtVient2, picture, 300));
  const std::vector<int> expected = {200, 1050, 200, 1100, 200, 1150, 200};
  ASSERT_GE(t.size(), expected.size());
  EXPECT_EQ(std::vector<int>(t.begin(), t.begin() + expected.size()), expected);
}

TEST_F(AnimationTest, CountersCarryOnIntoTheNextJob) {
  PictureBox picture;
  at(picture, 1000);
  // First job: 16 steps left to 200, then 4 of the 17 steps right.
  std::vector<int> first = run(AnimerVaEtVient2, picture, 20);
  EXPECT_EQ(first[15], 200);
  EXPECT_EQ(first.back(), 400);
  // The next job goes on from there: the right walk ends at 1050 as it
  // would have, instead of turning left again from 400.
  std::vector<int> second = run(AnimerVaEtVient2, picture, 14);
  for (int i = 0; i < 13; ++i) EXPECT_EQ(second[i], 450 + 50 * i);
  EXPECT_EQ(second[13], 1000);
}

TEST_F(AnimationTest, BothAnimationsShareTheirCounters) {
  PictureBox scan;
  PictureBox search;
  at(scan, 240);
  at(search, 3960);
  // A scan tick leaves the counters in the middle of a right walk...
  AnimerVaEtVient1(&scan, 50);
  EXPECT_EQ(scan.Left(), 290);
  // ...so the search animation starts by walking right, and turns at 4010
  // (past its right limit) instead of walking left from 3960.
  EXPECT_EQ(run(AnimerVaEtVient2, search, 4), (std::vector<int>{4010, 3960, 3910, 3860}));

  resetAnimationCountersForTests();
  at(search, 3960);
  EXPECT_EQ(run(AnimerVaEtVient2, search, 2), (std::vector<int>{3910, 3860}));
}

TEST_F(AnimationTest, PictureBeyondTheRightLimitWalksLeft) {
  PictureBox picture;
  at(picture, 6000);
  const std::vector<int> pos = run(AnimerVaEtVient1, picture, 120);
  // Straight down to the left limit, then a full right walk to 2640.
  for (int i = 0; i < 100; ++i) EXPECT_EQ(pos[i], 6000 - 50 * (i + 1));
  EXPECT_EQ(turns(6000, pos), (std::vector<int>{1000}));
  EXPECT_EQ(pos.back(), 1000 + 50 * 20);
}

}  // namespace
}  // namespace vrn
