// The responsive wait, on the manual clock: where it starts, where it ends,
// across midnight, and that events run meanwhile.
#include <gtest/gtest.h>

#include "platform/services.h"
#include "platform/testservices.h"
#include "support/Attendre.h"
#include "tests/testing/fixture.h"

namespace vrn {
namespace {

class AttendreTest : public testing::AppFolderTest {
 protected:
  ManualClock& clock() { return svc->clock; }
  // Waits from the given time of day; returns the time of day at the end.
  double waitFrom(double start, double seconds) {
    clock().now = start;
    Attendre(seconds);
    return clock().now;
  }
};

TEST_F(AttendreTest, StartsFromTheNearestWholeSecond) {
  EXPECT_NEAR(waitFrom(10.4, 2), 12.0, 0.002);
  EXPECT_NEAR(waitFrom(10.6, 2), 13.0, 0.002);
  EXPECT_NEAR(waitFrom(36000.4, 1), 36001.0, 0.002);
}

TEST_F(AttendreTest, AHalfSecondRoundsToTheEvenSecond) {
  EXPECT_NEAR(waitFrom(10.5, 2), 12.0, 0.002);
  EXPECT_NEAR(waitFrom(11.5, 2), 14.0, 0.002);
}

TEST_F(AttendreTest, AHalfSecondWaitMayEndAtOnce) {
  clock().waited = 0;
  EXPECT_DOUBLE_EQ(waitFrom(20.0, 0), 20.0);
  EXPECT_DOUBLE_EQ(waitFrom(20.5, 0.5), 20.5) << "starts at 20, half a second already gone";
  EXPECT_EQ(clock().waited, 0.0);
  EXPECT_NEAR(waitFrom(20.4, 0.5), 20.5, 0.002);
}

TEST_F(AttendreTest, AWaitAcrossMidnightEnds) {
  EXPECT_NEAR(waitFrom(86399.3, 2), 1.0, 0.002);
  EXPECT_NEAR(waitFrom(86399.7, 2), 2.0, 0.002) << "starts at 86400, which is midnight";
  EXPECT_NEAR(waitFrom(86398.0, 1), 86399.0, 0.002);
}

TEST_F(AttendreTest, EventsRunThroughoutTheWait) {
  int turns = 0;
  double longest = 0, last = 0;
  clock().now = 100.0;
  last = clock().now;
  clock().onWait = [&] {
    ++turns;
    longest = std::max(longest, clock().now - last);
    last = clock().now;
  };
  Attendre(2);
  EXPECT_NEAR(clock().now, 102.0, 0.002);
  EXPECT_GE(turns, 20) << "the clock is read again at least every 0.1 s";
  EXPECT_LE(longest, 0.1 + 1e-9);
}

}  // namespace
}  // namespace vrn
